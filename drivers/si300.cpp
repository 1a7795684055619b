// The SI300 library: it finds its printer itself (the port mapped as SI300, else USB) or takes a network
// address, and prints tag text.
#include <algorithm>
#include <string>

#include "common.h"
#include "escpos.h"

using namespace imp::drivers;

const char* imp::drivers::library_name() {
  return "SI300";
}

namespace {
int32_t g_qr_size = 4;
}  // namespace

// 0 when the printer was found (its port opened), 1 when not.
IMP_DRIVER_ENTRY int32_t SI300_eBuscarPortaVelocidade() {
  return entry(
      "SI300_eBuscarPortaVelocidade", [] { return std::string(); },
      []() -> int32_t {
        open_port().reset();  // not found: no port open
        Target t = mapped_or_usb("SI300");
        touch(t);
        open_port() = std::move(t);
        return 0;
      },
      1);
}

IMP_DRIVER_ENTRY int32_t SI300_iImprimirTexto(const char* text, int32_t n) {
  return entry(
      "SI300_iImprimirTexto", [&] { return arguments(quoted(text), n); },
      [&]() -> int32_t { return text ? write_open(escpos::tags(text)) : 0; });
}

IMP_DRIVER_ENTRY int32_t SI300_iAcionarGaveta() {
  return entry(
      "SI300_iAcionarGaveta", [] { return std::string(); }, [] { return write_open(escpos::kDrawerPulse); });
}

IMP_DRIVER_ENTRY int32_t SI300_fecharPorta() {
  return entry(
      "SI300_fecharPorta", [] { return std::string(); },
      []() -> int32_t {
        open_port().reset();
        return 1;
      });
}

// In page mode (ESC L) the QR code and the text beside it, then the page printed (FF) and back to standard
// mode (ESC S). Error correction M.
IMP_DRIVER_ENTRY int32_t SI300_iImprimeQRCode_TextoDireita(const char* data, const char* sideText) {
  return entry(
      "SI300_iImprimeQRCode_TextoDireita", [&] { return arguments(quoted(data), quoted(sideText)); },
      [&]() -> int32_t {
        if (!data || !sideText) return 0;
        const std::string code = escpos::qr(data, g_qr_size, 1);
        if (code.empty()) return 0;
        return write_open("\x1b\x4c" + code + escpos::tags(sideText) + "\x0c\x1b\x53");
      });
}

// "127.0.0.1:6001" is the network printer socket://127.0.0.1:6001 (port 9100 when not given). 1 when it
// took the connection.
IMP_DRIVER_ENTRY int32_t SI300_setIP_Porta(const char* address) {
  return entry(
      "SI300_setIP_Porta", [&] { return arguments(quoted(address)); },
      [&]() -> int32_t {
        open_port().reset();
        if (!address) return 0;
        auto t = resolve_address(address);
        if (!t) return 0;
        touch(*t);
        open_port() = std::move(*t);
        return 1;
      });
}

IMP_DRIVER_ENTRY int32_t SI300_Criar_NovoDispositivo() {
  return entry(
      "SI300_Criar_NovoDispositivo", [] { return std::string(); }, [] { return 1; });
}

// The module size of the QR codes that follow (the module uses 3, 4 and 7); 0 outside 1..16.
IMP_DRIVER_ENTRY int32_t SI300_setSize_Qrcode(int32_t size) {
  return entry(
      "SI300_setSize_Qrcode", [&] { return arguments(size); },
      [&]() -> int32_t {
        if (size < 1 || size > 16) return 0;
        g_qr_size = size;
        return 1;
      });
}
