// The Daruma QR generator: a QR code as a 1-bit BMP file, for layouts that print images.
#include <qrencode.h>

#include <memory>
#include <string>

#include "common.h"
#include "platform/safefile.h"

using namespace imp::drivers;

const char* imp::drivers::library_name() {
  return "QrCode_DarumaFramework";
}

namespace {

constexpr int kPixelsPerModule = 4;
constexpr int kQuietModules = 4;

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// The symbol as a 1-bit BMP: palette index 0 white, 1 black; rows bottom-up, each padded to 4 bytes.
std::string bmp_of(const QRcode& qr) {
  const int modules = qr.width + 2 * kQuietModules;
  const auto side = static_cast<std::uint32_t>(modules * kPixelsPerModule);
  const std::uint32_t stride = (side + 31) / 32 * 4;
  const std::uint32_t pixels_at = 14 + 40 + 8;
  std::string out;
  out += "BM";
  put32(out, pixels_at + stride * side);
  put32(out, 0);
  put32(out, pixels_at);
  put32(out, 40);  // BITMAPINFOHEADER
  put32(out, side);
  put32(out, side);  // positive: bottom-up
  put16(out, 1);
  put16(out, 1);
  put32(out, 0);  // uncompressed
  put32(out, stride * side);
  put32(out, 3780);  // 96 dpi
  put32(out, 3780);
  put32(out, 2);
  put32(out, 2);
  out.append("\xFF\xFF\xFF\x00", 4);
  out.append("\x00\x00\x00\x00", 4);
  std::string row(stride, '\0');
  for (std::uint32_t line = 0; line < side; ++line) {
    const int y = static_cast<int>(side - 1 - line) / kPixelsPerModule - kQuietModules;  // module row, from the top
    std::fill(row.begin(), row.end(), '\0');
    for (std::uint32_t px = 0; px < side; ++px) {
      const int x = static_cast<int>(px) / kPixelsPerModule - kQuietModules;
      const bool black = x >= 0 && y >= 0 && x < qr.width && y < qr.width && (qr.data[y * qr.width + x] & 1);
      if (black) row[px / 8] = static_cast<char>(row[px / 8] | (0x80 >> (px % 8)));
    }
    out += row;
  }
  return out;
}

}  // namespace

// Byte mode, error correction M, the smallest version that holds the data. 0 when the data is empty or too
// long, or the file cannot be written.
IMP_DRIVER_ENTRY int32_t GerarQrCodeBMP_Daruma(const char* bmpFile, const char* data) {
  return entry(
      "GerarQrCodeBMP_Daruma", [&] { return arguments(quoted(bmpFile), quoted(data)); },
      [&]() -> int32_t {
        if (!bmpFile || !*bmpFile || !data || !*data) return 0;
        std::unique_ptr<QRcode, decltype(&QRcode_free)> qr(QRcode_encodeString8bit(data, 0, QR_ECLEVEL_M),
                                                           &QRcode_free);
        if (!qr) return 0;
        imp::safefile::write_atomic(file_path(bmpFile), bmp_of(*qr), false);
        return 1;
      });
}
