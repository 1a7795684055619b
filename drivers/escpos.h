// ESC/POS byte sequences the stand-ins write, and the text tags of the tag-printing entries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace imp::drivers::escpos {

// ESC p 0: a 100 ms pulse on drawer pin 2, then 500 ms off.
inline constexpr std::string_view kDrawerPulse{"\x1b\x70\x00\x32\xfa", 5};

// Three line feeds so the last printed line passes the cutter, then GS V: mode 0 a full cut, any other a
// partial one.
std::string cut(int32_t mode);

// GS ( k: model 2, module size (1..16), error correction (0 L, 1 M, 2 Q, 3 H; clamped), the data stored, then
// printed. Empty when the data is empty or longer than a symbol holds.
std::string qr(std::string_view data, int32_t moduleSize, int32_t errorCorrection);

// GS k 73 (CODE128): data not starting with a code set ('{') is printed in code set B. Empty when the data is
// empty or longer than 255 bytes.
std::string code128(std::string_view data);

// An uncompressed 1-bit or 24-bit BMP as a GS v 0 raster image (24-bit pixels darker than 128 print black).
// Empty when the file cannot be read or is no such BMP.
std::string raster_of_bmp(std::string_view bmp);
std::string raster_of_bmp_file(const std::filesystem::path& file);

// The text tags: <ce> centred, <c> condensed, <e> expanded, <b> bold (each closed by its </...>), <l></l> a
// line feed, <sl>N</sl> N line feeds, <gui></gui> a cut, <g></g> a drawer pulse,
// <qrcode>DATA<lmodulo>N</lmodulo></qrcode> a QR code (module size N, 4 without <lmodulo>; error correction
// M) and <ibmp>PATH</ibmp> a BMP file. Unknown tags and every other byte (control bytes too) pass unchanged;
// so does a tag whose content is not what it takes (<sl>x</sl>). An image that cannot be read prints nothing.
std::string tags(std::string_view text);

}  // namespace imp::drivers::escpos
