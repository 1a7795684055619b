// The MP2032 library: the shared port entries (shared_entries.cpp), stored images and the drawer status.
#include <algorithm>
#include <string>

#include "common.h"

using namespace imp::drivers;

const char* imp::drivers::library_name() {
  return "Mp2032";
}

// The stand-in keeps no images in the printer's memory: defining them is accepted and writes nothing, and
// PrintNVBitmap prints whatever the printer itself holds under that number.
IMP_DRIVER_ENTRY int32_t DefineNVBitmap(int32_t count, const char* files) {
  return entry(
      "DefineNVBitmap", [&] { return arguments(count, quoted(files)); }, [] { return 1; });
}

// FS p n m: stored image n (1..255) in mode m (0 normal, 1 double width, 2 double height, 3 both).
IMP_DRIVER_ENTRY int32_t PrintNVBitmap(int32_t image, int32_t mode) {
  return entry(
      "PrintNVBitmap", [&] { return arguments(image, mode); },
      [&]() -> int32_t {
        const char out[] = {0x1C, 0x70, static_cast<char>(std::clamp(image, 1, 255)),
                            static_cast<char>(std::clamp(mode, 0, 3))};
        return write_open(std::string_view(out, sizeof out));
      });
}

#ifndef IMP_MP2032_WITHOUT_DRAWER_STATUS
// 1 the drawer is open, 0 closed, -1 unknown (no port open, a port that cannot answer, no answer).
IMP_DRIVER_ENTRY int32_t Le_Status_Gaveta() {
  return entry(
      "Le_Status_Gaveta", [] { return std::string(); },
      []() -> int32_t { return open_port() ? drawer_status(*open_port()) : -1; }, -1);
}
#endif
