// The Daruma framework: no port argument; it prints to the port mapped as DARUMA, else to USB.
#include <string>

#include "common.h"
#include "escpos.h"

using namespace imp::drivers;

const char* imp::drivers::library_name() {
  return "DarumaFrameWork";
}

namespace {
std::string g_product = "DUAL";
}  // namespace

IMP_DRIVER_ENTRY int32_t eDefinirProduto_Daruma(const char* product) {
  return entry(
      "eDefinirProduto_Daruma", [&] { return arguments(quoted(product)); },
      [&]() -> int32_t {
        if (!product) return 0;
        g_product = product;
        return 1;
      });
}

// Tag text (escpos::tags); `n` is ignored. 0 when the write fails: the module then reloads the framework
// and tries again.
IMP_DRIVER_ENTRY int32_t iImprimirTexto_DUAL_DarumaFramework(const char* text, int32_t n) {
  return entry(
      "iImprimirTexto_DUAL_DarumaFramework", [&] { return arguments(quoted(text), n); },
      [&]() -> int32_t {
        if (!text) return 0;
        write(mapped_or_usb("DARUMA"), escpos::tags(text));
        return 1;
      });
}

// *status: 1 the drawer is open, 0 closed, -1 unknown (see drawer_status). The trace shows the value stored
// as &VALUE.
IMP_DRIVER_ENTRY int32_t rStatusGaveta_DUAL_DarumaFramework(int32_t* status) {
  return entry(
      "rStatusGaveta_DUAL_DarumaFramework",
      [&] {
        if (!status) return std::string("NULL");
        std::string out(1, '&');
        return out.append(std::to_string(*status));
      },
      [&]() -> int32_t {
        if (!status) return 0;
        *status = drawer_status(mapped_or_usb("DARUMA"));
        return 1;
      });
}
