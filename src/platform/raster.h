// The raster canvas of the printers that print each ticket as one rendered image: a 32-bit image, text drawn
// in the system's fonts (fontconfig + FreeType), and BMP and PNG files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace imp::raster {

constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;  // 0xAARRGGBB

// A 32-bit image, rows top-down.
struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;

  Image() = default;
  Image(int w, int h, uint32_t fill = kWhite);
  uint32_t at(int x, int y) const;                        // kWhite outside the image
  void set(int x, int y, uint32_t c);                     // ignored outside
  void fill(int x0, int y0, int x1, int y1, uint32_t c);  // [x0,x1) x [y0,y1), clipped
  void set_height(int h);                                 // cuts, or grows with white
  void draw(const Image& src, int x, int y);              // copies src in at (x, y), clipped
  Image scaled(double factor) const;                      // nearest neighbour, proportions kept
};

// A font as the documents ask for it: a family name as on Windows ("Lucida Console", "Arial", ...), a cell
// height in pixels and bold. "Lucida Console" is drawn with DejaVu Sans Mono and "Arial" with Liberation
// Sans; other names are looked up as they are. A name fontconfig cannot find (it silently answers with
// another family) is an imp::Error.
// The glyphs are sized so that the face's line height (ascender - descender) fills the cell, with the
// baseline at the ascender. Bold uses the family's bold face, else emboldens the outlines.
// One font may be shared between threads. A moved-from font may only be assigned or destroyed.
class Font {
 public:
  Font(const std::string& family, int cellHeight, bool bold);
  ~Font();
  Font(Font&&) noexcept;
  Font& operator=(Font&&) noexcept;

  int height() const;                      // the cell height asked for
  int width(std::string_view text) const;  // advance width of a Windows-1252 text, pixels
  int char_width(char c) const;            // one character
  // Draws the text in black with the cell's top-left corner at (x, y). Receipt printers print two tones: a
  // pixel the glyph covers by half or more becomes black, the others stay as they are. Control bytes (below
  // 0x20, and 0x7F) draw nothing and take no width.
  void draw(Image& img, int x, int y, std::string_view text) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Uncompressed 1-, 24- and 32-bit BMP files; imp::Error when the file cannot be read or is none of these.
Image read_bmp(const std::filesystem::path& file);
// A 32-bit BI_RGB file, rows bottom-up, replaced at once; imp::Error on failure.
void write_bmp(const Image& img, const std::filesystem::path& file);

// RGBA, 8 bits a channel; imp::Error when libpng refuses (an empty image).
std::string encode_png(const Image& img);
// imp::Error on bytes that are not a PNG image.
Image decode_png(std::string_view bytes);

}  // namespace imp::raster
