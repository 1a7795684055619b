#include "output/mp100_line.h"

#include <exception>

#include "host/port_config.h"
#include "platform/cp1252.h"
#include "platform/log.h"
#include "platform/port.h"

namespace imp {

std::string EscreveSerial_MP100(std::string_view port, std::string_view text) {
  try {
    if (port.empty()) throw std::runtime_error("Porta da impressora não informada"_cp);
    port::write_serial(host::PortConfig(), port, text, kMp100WriteTimeoutMs);
    return {};
  } catch (const std::exception& e) {
    log::LogErroImpNaoFiscal("MP-100 porta " + std::string(port) + ": " + e.what());
    return e.what();
  }
}

std::string FormataBematech_MP100(std::string_view text, std::string_view port) {
  constexpr std::size_t kPiece = 1000;
  for (std::size_t at = 0; at < text.size(); at += kPiece)
    if (std::string why = EscreveSerial_MP100(port, text.substr(at, kPiece)); !why.empty()) return why;
  return {};
}

}  // namespace imp
