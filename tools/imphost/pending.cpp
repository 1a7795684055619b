#include "pending.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "values.h"

namespace imphost {

namespace {

// A text the library returned (Windows-1252), released after reading.
std::string take(const Library& lib, char* text) {
  std::string s = text ? text : "";
  if (text) lib.free(text);
  return s;
}

template <typename F>
F entry(const Library& lib, const char* name) {
  auto f = reinterpret_cast<F>(lib.symbol(name));
  if (!f) throw std::runtime_error(std::string("the library does not export ") + name);
  return f;
}

std::string to_cp1252(const std::string& utf8) {
  auto s = utf8_to_cp1252(utf8);
  if (!s) throw std::runtime_error("text outside Windows-1252: " + utf8);
  return *s;
}

}  // namespace

int run_pending(const Library& lib, const std::filesystem::path& host_dir, const PendingCommand& cmd, std::ostream& out,
                std::ostream& err) {
  lib.set_host_dir(host_dir.string().c_str());
  lib.initialize();
  int code = 0;
  try {
    if (cmd.action == "list") {
      const auto list = nlohmann::json::parse(take(lib, entry<char* (*)()>(lib, "imp_pending_list")()));
      if (list.empty()) out << "no kept tickets\n";
      for (const auto& t : list)
        out << t["id"].get<std::string>() << "  " << t["time"].get<std::string>() << "  port "
            << t["port"].get<std::string>() << "  model " << t["model"].get<std::string>() << "  "
            << t["kind"].get<std::string>() << "  " << t["bytes"].get<std::size_t>() << " bytes  "
            << t["failure"].get<std::string>() << "\n";
    } else if (cmd.action == "reprint") {
      char* report = nullptr;
      const std::string id = to_cp1252(cmd.id), port = to_cp1252(cmd.port);
      const int32_t n = entry<int32_t (*)(const char*, const char*, char**)>(lib, "imp_pending_reprint")(
          id.c_str(), port.c_str(), &report);
      const std::string lines = cp1252_to_utf8(take(lib, report));
      out << lines << n << " reprinted\n";
      // Every ticket asked for must have reached its printer.
      for (std::size_t at = 0, nl; (nl = lines.find('\n', at)) != std::string::npos; at = nl + 1)
        if (nl - at < 4 || lines.compare(nl - 4, 4, ": ok") != 0) code = 1;
    } else if (cmd.action == "drop") {
      const std::string id = to_cp1252(cmd.id);
      if (entry<int32_t (*)(const char*)>(lib, "imp_pending_drop")(id.c_str()) == 1) {
        out << cmd.id << " dropped\n";
      } else {
        err << "imphost: no kept ticket " << cmd.id << "\n";
        code = 1;
      }
    }
  } catch (const std::exception& e) {
    err << "imphost: " << e.what() << "\n";
    code = 2;
  }
  lib.finalize();
  return code;
}

}  // namespace imphost
