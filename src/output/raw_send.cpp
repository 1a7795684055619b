#include "output/raw_send.h"

#include <filesystem>
#include <string>

#include "host/port_config.h"
#include "output/print_path.h"
#include "output/spool.h"
#include "platform/cp1252.h"
#include "platform/dataset.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/port.h"

namespace imp {
namespace {

// The share the mapping table \Dados\Cadastros\cdsMapeamento.cds names for an LPT port ("" when none).
std::string mapped_share(std::string_view port) {
  const std::filesystem::path file = hostdir::resolve("\\Dados\\Cadastros\\cdsMapeamento.cds");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return {};
  ClientDataSet mapping;
  mapping.LoadFromFile(file);
  Field* address = mapping.FindField("DSENDPORTA");
  const bool found = mapping.FindField("CDPORTAIMPR") && address &&
                     mapping.Locate("CDPORTAIMPR", {Variant(std::string(port))}, {.caseInsensitive = true});
  return found ? address->AsString() : std::string();
}

void spool(std::string_view share, std::string_view document, std::string_view bytes) {
  if (SendSpool(share, "", "", document, bytes, false, true) < 1)
    throw Error(std::string("o spooler não recebeu a impressão em "_cp).append(share));
}

}  // namespace

void SendRaw(std::string_view model, std::string_view destination, std::string_view document, std::string_view bytes) {
  if (destination.empty()) throw Error("Porta da impressora não informada"_cp);
  if (destination.find('\\') != std::string_view::npos) return spool(destination, document, bytes);
  if (destination.find("LPT") != std::string_view::npos && DoPortMapping(model, destination)) {
    const std::string share = mapped_share(destination);
    if (!share.empty()) return spool(share, "QuivaneDoc", bytes);
  }
  port::write(host::PortConfig(), destination, bytes);
}

}  // namespace imp
