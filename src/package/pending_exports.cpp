// Exported access to the kept tickets: list, reprint, drop.
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "imp00000.h"
#include "module/globals.h"
#include "output/kept_tickets.h"
#include "output/print_path.h"
#include "package/frame.h"
#include "platform/abi_variant.h"
#include "platform/cp1252.h"

using namespace imp;

namespace {

bool same_port(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

extern "C" {

IMP_API char* imp_pending_list(void) {
  char* r = package::guarded<char*>("imp_pending_list", nullptr, [] {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const kept::Pending& p : kept::list())
      list.push_back({{"id", p.id},
                      {"port", cp1252::to_utf8(p.port)},
                      {"model", cp1252::to_utf8(p.model)},
                      {"kind", cp1252::to_utf8(p.kind)},
                      {"time", p.time},
                      {"failure", cp1252::to_utf8(p.failure)},
                      {"bytes", p.bytes}});
    return abi::dup_text(list.dump());
  });
  return r ? r : abi::dup_text("[]");
}

IMP_API int32_t imp_pending_reprint(const char* id, const char* port, char** report) {
  if (report) *report = nullptr;
  std::string lines;
  const int32_t done = package::guarded<int32_t>("imp_pending_reprint", 0, [&]() -> int32_t {
    const std::string wanted(abi::text_arg(id)), onPort(abi::text_arg(port));
    std::lock_guard lock(*globals::cs.load());  // one document at a time on a printer, reprints too
    int32_t n = 0;
    bool any = false;
    for (const kept::Pending& p : kept::list()) {
      if (!wanted.empty() ? p.id != wanted : !onPort.empty() && !same_port(p.port, onPort)) continue;
      any = true;
      std::string error;
      if (ReimprimePendente(p.id, error)) {
        ++n;
        lines += p.id + ": ok\n";
      } else {
        lines += p.id + ": " + error + "\n";
      }
    }
    if (!any && !wanted.empty()) lines += wanted + ": não há impressão pendente com esse identificador\n"_cp;
    return n;
  });
  if (report) *report = abi::dup_text(lines);
  return done;
}

IMP_API int32_t imp_pending_drop(const char* id) {
  return package::guarded<int32_t>("imp_pending_drop", 0,
                                   [&]() -> int32_t { return kept::drop(abi::text_arg(id)) ? 1 : 0; });
}

}  // extern "C"
