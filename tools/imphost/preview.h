// `imphost preview`: the receipt a thermal printer prints from the raw bytes a port, a network printer or a
// spooler queue received (Windows-1252 text with ESC/POS commands), drawn as an image.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/raster.h"

namespace imphost {

// The dots across the printable width of 80 mm paper at 203 dpi: 48 columns of font A.
constexpr int kReceiptWidth = 576;
constexpr int kMinReceiptWidth = 64, kMaxReceiptWidth = 4096;

// The page `width` dots wide (kMinReceiptWidth..kMaxReceiptWidth, else std::invalid_argument), as long as what
// the bytes print plus a small margin and never empty. Any bytes are safe: unknown commands are skipped, a
// command cut short at the end is dropped, and a page longer than a few metres stops growing. Text is drawn with
// "Lucida Console" (imp::Error when the font is missing).
imp::raster::Image render_receipt(std::string_view bytes, int width = kReceiptWidth);

// Where the preview of a printed file goes: beside it, its whole name plus ".preview.png" (printers/LPT1.prn ->
// printers/LPT1.prn.preview.png), so it never takes the name of a spooler's own PNG job.
std::filesystem::path preview_path(const std::filesystem::path& printed);
bool is_preview_file(const std::filesystem::path& file);

// Renders `bytes` and writes the PNG to `png`; returns the page. Throws on failure.
imp::raster::Image write_preview(std::string_view bytes, const std::filesystem::path& png, int width = kReceiptWidth);

// `imphost preview FILE [--png OUT] [--width PX]`: 0, or 1 with the reason on `err`.
int run_preview(const std::filesystem::path& file, std::filesystem::path png, int width, std::ostream& out,
                std::ostream& err);

}  // namespace imphost
