// imphost's receipt preview: any bytes a printer may be sent draw a page as wide as asked and a few pixels high
// at least, never a crash, a read past the end or a page without bound.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "preview.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const imp::raster::Image page =
      imphost::render_receipt(std::string_view(reinterpret_cast<const char*>(data), size), imphost::kReceiptWidth);
  if (page.width != imphost::kReceiptWidth || page.height <= 0 ||
      page.pixels.size() != static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.height))
    __builtin_trap();
  return 0;
}
