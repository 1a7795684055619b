// The Epson library: the shared port entries (shared_entries.cpp), tag text, the drawer and the serial speed.
#include <string>

#include "common.h"
#include "escpos.h"

using namespace imp::drivers;

const char* imp::drivers::library_name() {
  return "InterfaceEpsonNF";
}

namespace {
int32_t g_baud = 9600;
}  // namespace

// The speed is kept for the library's contract only: a serial port keeps the speed the system gave it
// (stty), the stand-in never changes a line's settings.
IMP_DRIVER_ENTRY int32_t ConfiguraTaxaSerial(int32_t baud) {
  return entry(
      "ConfiguraTaxaSerial", [&] { return arguments(baud); },
      [&]() -> int32_t {
        g_baud = baud;
        return 1;
      });
}

IMP_DRIVER_ENTRY int32_t ImprimeTextoTag(const char* text) {
  return entry(
      "ImprimeTextoTag", [&] { return arguments(quoted(text)); },
      [&]() -> int32_t { return text ? write_open(escpos::tags(text)) : 0; });
}

IMP_DRIVER_ENTRY int32_t AcionaGaveta() {
  return entry(
      "AcionaGaveta", [] { return std::string(); }, [] { return write_open(escpos::kDrawerPulse); });
}
