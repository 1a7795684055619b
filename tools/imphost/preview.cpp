#include "preview.h"

#include <qrencode.h>
#include <zint.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "platform/cp1252.h"
#include "platform/error.h"

namespace imphost {

namespace fs = std::filesystem;
namespace raster = imp::raster;

namespace {

constexpr unsigned char kEsc = 0x1B, kGs = 0x1D, kFs = 0x1C, kDle = 0x10;

// Character cells in dots: font A, and font B (the small one, also the condensed print of ESC SI).
struct Cell {
  int width, height;
};
constexpr Cell kFontA{12, 24}, kFontB{9, 17};
constexpr int kDefaultSpacing = 30;        // ESC 2: 1/6 inch at 180 dots an inch
constexpr int kMargin = 8;                 // white above the first line and below the last thing printed
constexpr int kMinHeight = 16;             // the page of bytes that print nothing
constexpr long kMaxPagePixels = 1L << 24;  // about 3.6 m of 80 mm paper; the page stops growing there
constexpr long kMaxLinePixels = 1L << 22;  // what one line may hold before it is printed (CR overprints)
constexpr std::size_t kMaxTabs = 32, kMaxNulData = 255;

enum class Align { Left, Centre, Right };

std::vector<int> default_tabs() {
  std::vector<int> tabs;
  for (int col = 8; col < 256; col += 8) tabs.push_back(col);
  return tabs;
}

// What the printer keeps between commands; ESC @ brings it back.
struct Modes {
  bool small = false;
  bool bold = false;
  int underline = 0;  // dots under the cell
  int wide = 1, tall = 1;
  int spacing = kDefaultSpacing;
  Align align = Align::Left;
  int left = 0;                            // GS L, dots
  std::vector<int> tabs = default_tabs();  // columns
  int bar_height = 162, bar_module = 3;    // GS h, GS w
  int hri = 0;                             // GS H: 1 above, 2 below, 3 both
  bool hri_small = false;                  // GS f
  int qr_module = 3;                       // GS ( k fn 67
  QRecLevel qr_level = QR_ECLEVEL_L;       // fn 69
};

// Ink to draw: black pixels on white, the rest left as it is.
struct Item {
  int x;
  raster::Image ink;
};

// The line being filled: it is drawn when it ends, aligned as it was when its first item came.
struct Line {
  std::vector<Item> items;
  int x = 0, width = 0;
  long pixels = 0;
  Align align = Align::Left;
  bool wide = false;  // ESC SO: double width to the end of the line
};

unsigned char u8(std::string_view s, std::size_t k) {
  return static_cast<unsigned char>(s[k]);
}

bool is_black(const raster::Image& img, int x, int y) {
  return img.at(x, y) == raster::kBlack;
}

raster::Image stretch(const raster::Image& src, int sx, int sy) {
  raster::Image out(src.width * sx, src.height * sy);
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x)
      if (is_black(src, x, y)) out.fill(x * sx, y * sy, (x + 1) * sx, (y + 1) * sy, raster::kBlack);
  return out;
}

// The text and bars of a GS k CODE128: "{A", "{B" and "{C" choose the code set (in C each byte is two
// digits), "{{" is a brace, the other function codes print nothing.
std::string code128_text(std::string_view data) {
  std::string text;
  bool set_c = false;
  for (std::size_t k = 0; k < data.size(); ++k) {
    const unsigned char c = u8(data, k);
    if (c == '{' && k + 1 < data.size()) {
      const char f = data[++k];
      if (f == 'C') set_c = true;
      if (f == 'A' || f == 'B') set_c = false;
      if (f == '{') text += '{';
      continue;
    }
    if (set_c) {
      if (c < 100) text += {static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10)};
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

// The modules of a bar code, as libzint encodes it (one pixel a module); empty when it refuses the data.
std::vector<bool> bar_modules(int symbology, const std::string& data) {
  std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> symbol(ZBarcode_Create(), ZBarcode_Delete);
  if (!symbol || data.empty()) return {};
  symbol->symbology = symbology;
  symbol->scale = 0.5f;
  symbol->height = 10;
  symbol->show_hrt = 0;
  symbol->output_options |= BARCODE_NO_QUIET_ZONES;
  if (ZBarcode_Encode_and_Buffer(symbol.get(), reinterpret_cast<const unsigned char*>(data.data()),
                                 static_cast<int>(data.size()), 0) >= ZINT_ERROR ||
      !symbol->bitmap || symbol->bitmap_height < 1)
    return {};
  std::vector<bool> modules(static_cast<std::size_t>(std::max(symbol->bitmap_width, 0)));
  for (std::size_t x = 0; x < modules.size(); ++x) modules[x] = symbol->bitmap[x * 3] < 128;  // the top row
  return modules;
}

// The fonts of the receipts, opened once: "Lucida Console" (DejaVu Sans Mono here), as the bitmap pages.
const raster::Font& receipt_font(bool small, bool bold) {
  static std::mutex mutex;
  static std::optional<raster::Font> fonts[2][2];
  std::lock_guard lock(mutex);
  std::optional<raster::Font>& font = fonts[small][bold];
  if (!font) font.emplace("Lucida Console", (small ? kFontB : kFontA).height, bold);
  return *font;
}

class Receipt {
 public:
  explicit Receipt(int width)
      : width_(width), max_height_(static_cast<int>(kMaxPagePixels / width)), page_(width, 512), pen_(kMargin) {}

  void print(std::string_view in) {
    std::size_t i = 0;
    while (i < in.size()) {
      const std::string_view s = in.substr(i);
      const unsigned char b = u8(s, 0);
      std::size_t n = 1;
      switch (b) {
        case kEsc: n = escape(s); break;
        case kGs: n = group(s); break;
        case kFs: n = s.size() < 2 ? 0 : s[1] == 'p' ? 4 : 2; break;  // FS p n m: a stored logo, not ours
        case kDle:
          if (s.size() >= 2 && (s[1] == 0x04 || s[1] == 0x05)) n = 3;  // DLE EOT n, DLE ENQ n: status
          if (s.size() >= 2 && s[1] == 0x14) n = 5;                    // DLE DC4 fn m t
          break;
        case '\n': end_line(); break;
        case '\r':
          if (s.size() < 2 || s[1] != '\n') line_.x = 0;  // a lone CR returns: what follows overprints
          break;
        case '\t': tab(); break;
        case '\f':
          if (!line_.items.empty()) end_line();
          break;
        case 0x0E: line_.wide = true; break;     // SO
        case 0x14: line_.wide = false; break;    // DC4
        case 0x0F: modes_.small = true; break;   // SI
        case 0x12: modes_.small = false; break;  // DC2
        default:
          if (b >= 0x20 && b != 0x7F) put(static_cast<char>(b));
      }
      if (n == 0 || n > s.size()) break;  // a command cut short by the end of the bytes
      i += n;
    }
  }

  raster::Image finish() {
    if (!line_.items.empty()) end_line();
    page_.set_height(std::clamp(bottom_ + kMargin, kMinHeight, max_height_));
    return std::move(page_);
  }

 private:
  // ESC commands; the length taken, 0 when the bytes end inside it.
  std::size_t escape(std::string_view s) {
    if (s.size() < 2) return 0;
    switch (s[1]) {
      case '@':
        modes_ = Modes{};
        line_.wide = false;
        return 2;
      case 0x0F: modes_.small = true; return 2;
      case 0x0E: line_.wide = true; return 2;
      case 0x14: line_.wide = false; return 2;
      case 'E':
        // ESC E n, or a bare ESC E (bold on, ESC F off) when the next byte is no such parameter.
        if (s.size() >= 3 && (u8(s, 2) <= 1 || s[2] == '0' || s[2] == '1')) {
          modes_.bold = s[2] & 1;
          return 3;
        }
        modes_.bold = true;
        return 2;
      case 'F': modes_.bold = false; return 2;
      case 'm':
      case 'i': cut(); return 2;
      case '2': modes_.spacing = kDefaultSpacing; return 2;
      case 'D': return tabs(s);
      case '*': return bit_image(s);
      default: break;
    }
    std::size_t params = 0;
    switch (s[1]) {
      case '!':
      case '3':
      case 'a':
      case 'M':
      case '-':
      case 'd':
      case 'J':
      case 'G':
      case 't':
      case 'v':
      case 'T':
      case ' ':
      case '%':
      case '=':
      case '?':
      case 'R':
      case 'U':
      case 'V':
      case '{':
      case 'r': params = 1; break;
      case '$':
      case '\\':
      case 'c': params = 2; break;
      case 'p': params = 3; break;  // the cash drawer's pulse
      case 'W': params = 8; break;  // the print area of page mode
      default: return 2;            // ESC and its letter
    }
    if (s.size() < 2 + params) return 0;
    const unsigned char n = u8(s, 2);
    const bool small_number = n <= 2 || (n >= '0' && n <= '2');
    switch (s[1]) {
      case '!':
        modes_.small = n & 0x01;
        modes_.bold = n & 0x08;
        modes_.tall = n & 0x10 ? 2 : 1;
        modes_.wide = n & 0x20 ? 2 : 1;
        modes_.underline = n & 0x80 ? 1 : 0;
        break;
      case '3': modes_.spacing = n; break;
      case 'a':
        if (small_number) modes_.align = static_cast<Align>(n & 3);
        break;
      case 'M':
        if (small_number) modes_.small = (n & 3) != 0;
        break;
      case '-':
        if (small_number) modes_.underline = n & 3;
        break;
      case 'G': modes_.bold = n & 1; break;
      case 'd': feed_lines(n); break;
      case 'J': end_line(n); break;
      default: break;
    }
    return 2 + params;
  }

  // GS commands; the length taken, 0 when the bytes end inside it.
  std::size_t group(std::string_view s) {
    if (s.size() < 2) return 0;
    const unsigned char c = u8(s, 1);
    if (c == '(') {  // GS ( x pL pH and pL + 256 pH bytes
      if (s.size() < 5) return 0;
      const std::size_t length = u8(s, 3) | std::size_t{u8(s, 4)} << 8;
      if (s.size() - 5 < length) return 0;
      if (s[2] == 'k') symbol_function(s.substr(5, length));
      return 5 + length;
    }
    if (c == 'k') return barcode(s);
    if (s.size() < 3) return 0;
    const unsigned char n = u8(s, 2);
    switch (c) {
      case '!':
        modes_.wide = (n >> 4 & 7) + 1;
        modes_.tall = (n & 7) + 1;
        return 3;
      case 'V': {  // cut; m 65 and 66 feed n dots first
        const std::size_t length = n == 65 || n == 66 ? 4 : 3;
        if (s.size() < length) return 0;
        cut();
        return length;
      }
      case 'h': modes_.bar_height = n; return 3;
      case 'w': modes_.bar_module = std::clamp<int>(n, 1, 6); return 3;
      case 'H': modes_.hri = n & 3; return 3;
      case 'f': modes_.hri_small = n & 1; return 3;
      case 'v': return n == '0' ? raster_image(s) : 3;
      case '8': {  // GS 8 L p1..p4 and that many bytes
        if (n != 'L') return 3;
        if (s.size() < 7) return 0;
        const uint64_t length =
            u8(s, 3) | uint64_t{u8(s, 4)} << 8 | uint64_t{u8(s, 5)} << 16 | uint64_t{u8(s, 6)} << 24;
        if (s.size() - 7 < length) return 0;
        return 7 + static_cast<std::size_t>(length);
      }
      case 'L':
        if (s.size() < 4) return 0;
        modes_.left = std::min(n | u8(s, 3) << 8, width_ - kFontA.width);
        return 4;
      case 'W':
      case 'P':
      case 0xF9: return s.size() < 4 ? 0 : 4;  // print area, motion units, a maker's setting
      default: return 3;                       // GS, its letter and one byte
    }
  }

  // ESC D n1..nk NUL: the tab stops, in columns.
  std::size_t tabs(std::string_view s) {
    std::vector<int> stops;
    std::size_t k = 2;
    for (; k < s.size() && s[k] != '\0' && stops.size() < kMaxTabs; ++k) stops.push_back(u8(s, k));
    if (k == s.size()) return 0;
    modes_.tabs = std::move(stops);
    return s[k] == '\0' ? k + 1 : k;
  }

  void tab() {
    const int cell = (modes_.small ? kFontB : kFontA).width * wide();
    for (int col : modes_.tabs) {
      if (col * cell > line_.x) {
        if (col * cell <= area()) line_.x = col * cell;
        return;
      }
    }
  }

  int wide() const { return std::max(modes_.wide, line_.wide ? 2 : 1); }
  int area() const { return width_ - modes_.left; }
  bool full() const { return pen_ >= max_height_; }

  int offset(Align align, int w) const {
    if (align == Align::Centre) return std::max(0, (area() - w) / 2);
    if (align == Align::Right) return std::max(0, area() - w);
    return 0;
  }

  void put(char c) {
    if (full()) return;  // below the end of the page nothing prints
    const raster::Image& base = glyph(c, modes_.small, modes_.bold);
    raster::Image ink = wide() == 1 && modes_.tall == 1 ? base : stretch(base, wide(), modes_.tall);
    if (modes_.underline) ink.fill(0, ink.height - modes_.underline, ink.width, ink.height, raster::kBlack);
    place(std::move(ink));
  }

  // Adds to the line; what does not fit on it starts the next one, as on paper.
  void place(raster::Image ink) {
    const long pixels = static_cast<long>(ink.width) * ink.height;
    if (!line_.items.empty() && (line_.x + ink.width > area() || line_.pixels + pixels > kMaxLinePixels)) end_line();
    if (line_.items.empty()) line_.align = modes_.align;
    const int w = ink.width;
    line_.items.push_back({line_.x, std::move(ink)});
    line_.pixels += pixels;
    line_.x += w;
    line_.width = std::max(line_.width, line_.x);
  }

  // Prints the line, its items standing on one base line, and feeds by the line spacing (`feed` dots when
  // given), at least the height of what it printed.
  void end_line(std::optional<int> feed = std::nullopt) {
    int ink = 0;
    for (const Item& item : line_.items) ink = std::max(ink, item.ink.height);
    if (!line_.items.empty() && !full()) {
      const int x = modes_.left + offset(line_.align, line_.width);
      for (const Item& item : line_.items) blit(item.ink, x + item.x, pen_ + ink - item.ink.height);
      bottom_ = std::max(bottom_, std::min(pen_ + ink, max_height_));
    }
    advance(std::max(feed.value_or(modes_.spacing), ink));
    line_ = Line{};
  }

  void feed_lines(int n) {
    if (!line_.items.empty()) {
      end_line();
      n = std::max(n - 1, 0);
    }
    advance(n * modes_.spacing);
  }

  void advance(int dots) { pen_ = static_cast<int>(std::min<long>(long{pen_} + std::max(dots, 0), max_height_)); }

  void ensure(int bottom) {
    if (bottom > page_.height && page_.height < max_height_)
      page_.set_height(std::min(max_height_, std::max(bottom, page_.height * 2)));
  }

  void blit(const raster::Image& ink, int x, int y) {
    ensure(std::min(y + ink.height, max_height_));
    for (int r = 0; r < ink.height && y + r < page_.height; ++r)
      for (int col = 0; col < ink.width; ++col)
        if (is_black(ink, col, r)) page_.set(x + col, y + r, raster::kBlack);
  }

  // An image printed on its own below the line, with the alignment in force.
  void block(const raster::Image& img) {
    if (!line_.items.empty()) end_line();
    if (full() || img.height == 0) return;
    blit(img, modes_.left + offset(modes_.align, img.width), pen_);
    bottom_ = std::max(bottom_, std::min(pen_ + img.height, max_height_));
    advance(img.height);
  }

  void cut() {
    if (!line_.items.empty()) end_line();
    if (full()) return;
    const int y = pen_ + 6;
    ensure(std::min(y + 2, max_height_));
    for (int x = 0; x < width_; x += 16) page_.fill(x, y, x + 10, y + 2, raster::kBlack);
    bottom_ = std::max(bottom_, std::min(y + 2, max_height_));
    advance(14);
  }

  const raster::Image& glyph(char c, bool small, bool bold) {
    const auto key = std::make_tuple(c, small, bold);
    if (auto it = glyphs_.find(key); it != glyphs_.end()) return it->second;
    const Cell cell = small ? kFontB : kFontA;
    const raster::Font& font = receipt_font(small, bold);
    raster::Image img(cell.width, cell.height);
    // Each character centred in its cell, so that columns line up whatever the face's advance.
    font.draw(img, (cell.width - font.char_width(c)) / 2, 0, std::string_view(&c, 1));
    return glyphs_.emplace(key, std::move(img)).first->second;
  }

  // ESC * m nL nH: a row of columns 8 dots high (m 0, 1) or 24 (m 32, 33), printed in the line.
  std::size_t bit_image(std::string_view s) {
    if (s.size() < 5) return 0;
    const unsigned char m = u8(s, 2);
    const std::size_t columns = u8(s, 3) | std::size_t{u8(s, 4)} << 8;
    const std::size_t depth = m == 32 || m == 33 ? 3 : 1;  // bytes a column
    if (s.size() - 5 < columns * depth) return 0;
    if (full()) return 5 + columns * depth;
    const int sx = m == 0 || m == 32 ? 2 : 1, sy = depth == 1 ? 3 : 1;  // single density: dots twice as wide
    const int shown = static_cast<int>(std::min<std::size_t>(columns, static_cast<std::size_t>(area() / sx)));
    raster::Image img(shown * sx, static_cast<int>(depth) * 8 * sy);
    for (int col = 0; col < shown; ++col)
      for (std::size_t bit = 0; bit < depth * 8; ++bit)
        if (u8(s, 5 + static_cast<std::size_t>(col) * depth + bit / 8) & (0x80 >> bit % 8))
          img.fill(col * sx, static_cast<int>(bit) * sy, (col + 1) * sx, (static_cast<int>(bit) + 1) * sy,
                   raster::kBlack);
    if (shown > 0) place(std::move(img));
    return 5 + columns * depth;
  }

  // GS v 0 m xL xH yL yH: a raster image, 1 bit a dot, rows of x bytes; m doubles width (1) and height (2).
  std::size_t raster_image(std::string_view s) {
    if (s.size() < 8) return 0;
    const unsigned char m = u8(s, 3);
    const std::size_t row_bytes = u8(s, 4) | std::size_t{u8(s, 5)} << 8, rows = u8(s, 6) | std::size_t{u8(s, 7)} << 8;
    if (s.size() - 8 < row_bytes * rows) return 0;
    if (full()) return 8 + row_bytes * rows;
    const int sx = m & 1 ? 2 : 1, sy = m & 2 ? 2 : 1;
    const int w = static_cast<int>(std::min<std::size_t>(row_bytes * 8 * sx, static_cast<std::size_t>(area())));
    const int h = static_cast<int>(std::min<std::size_t>(rows * sy, static_cast<std::size_t>(max_height_)));
    raster::Image img(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::size_t dx = static_cast<std::size_t>(x / sx), dy = static_cast<std::size_t>(y / sy);
        if (u8(s, 8 + dy * row_bytes + dx / 8) & (0x80 >> dx % 8)) img.set(x, y, raster::kBlack);
      }
    block(img);
    return 8 + row_bytes * rows;
  }

  // GS ( k: the QR code's functions (cn 49): module size, error level, the data kept, and its print.
  void symbol_function(std::string_view p) {
    if (p.size() < 2 || p[0] != 49) return;
    const unsigned char fn = u8(p, 1);
    if (fn == 81) return print_qr(qr_data_, modes_.qr_level);
    if (p.size() < 3) return;
    const unsigned char n = u8(p, 2);
    if (fn == 67 && n >= 1 && n <= 16) modes_.qr_module = n;
    if (fn == 69 && (n <= 3 || (n >= 48 && n <= 51)))
      modes_.qr_level = std::array{QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H}[n & 3];
    if (fn == 80) qr_data_ = std::string(p.substr(3));
  }

  void print_qr(const std::string& data, QRecLevel level) {
    if (!line_.items.empty()) end_line();
    if (data.empty() || full()) return;
    const auto key = std::make_tuple(data, level, modes_.qr_module);
    if (key != qr_key_) {  // the same code printed again is encoded once
      // As the printer does, digits and capitals take the QR code's denser modes; data holding NUL goes as bytes.
      std::unique_ptr<QRcode, void (*)(QRcode*)> code(
          data.find('\0') == std::string::npos
              ? QRcode_encodeString(data.c_str(), 0, level, QR_MODE_8, 1)
              : QRcode_encodeData(static_cast<int>(data.size()), reinterpret_cast<const unsigned char*>(data.data()), 0,
                                  level),
          QRcode_free);
      const int m = modes_.qr_module, w = code ? code->width : 0;
      qr_image_ = raster::Image(w * m, w * m);  // empty: more than a symbol holds, nothing printed
      for (int y = 0; y < w; ++y)
        for (int x = 0; x < w; ++x)
          if (code->data[y * w + x] & 1) qr_image_.fill(x * m, y * m, (x + 1) * m, (y + 1) * m, raster::kBlack);
      qr_key_ = key;
    }
    block(qr_image_);
  }

  // GS k m: a bar code, its data ended by NUL (m 0..6) or counted (m 65..73, n bytes).
  std::size_t barcode(std::string_view s) {
    if (s.size() < 3) return 0;
    const unsigned char m = u8(s, 2);
    std::string_view data;
    std::size_t length = 0;
    if (m < 65) {
      const std::size_t nul = s.substr(0, 3 + kMaxNulData + 1).find('\0', 3);
      if (nul == std::string_view::npos) return s.size() > 3 + kMaxNulData ? 3 : 0;  // no end: the data is text
      data = s.substr(3, nul - 3), length = nul + 1;
    } else {
      if (s.size() < 4 || s.size() - 4 < u8(s, 3)) return 0;
      data = s.substr(4, u8(s, 3)), length = 4 + u8(s, 3);
    }
    draw_barcode(m, data);
    return length;
  }

  void draw_barcode(unsigned char m, std::string_view data) {
    if (!line_.items.empty()) end_line();
    if (full()) return;
    // m 11 is a QR code whose data begins with its error level and a mode letter: "LA,https://...".
    if (m == 11) {
      if (data.size() < 3 || data[2] != ',') return;
      const std::string_view levels = "LMQH";
      const auto level = levels.find(data[0]);
      if (level != std::string_view::npos) print_qr(std::string(data.substr(3)), static_cast<QRecLevel>(level));
      return;
    }
    std::string text(data);
    std::vector<int> symbologies;
    switch (m) {
      case 0:
      case 65: symbologies = {BARCODE_UPCA, BARCODE_UPCA_CHK}; break;
      case 1:
      case 66: symbologies = {BARCODE_UPCE, BARCODE_UPCE_CHK}; break;
      case 2:
      case 67:
      case 3:
      case 68: symbologies = {BARCODE_EANX, BARCODE_EANX_CHK}; break;
      case 4:
      case 69:
        symbologies = {BARCODE_CODE39};
        if (text.size() >= 2 && text.front() == '*' && text.back() == '*') text = text.substr(1, text.size() - 2);
        break;
      case 5:
      case 70: symbologies = {BARCODE_C25INTER}; break;
      case 6:
      case 71: symbologies = {BARCODE_CODABAR}; break;
      case 72: symbologies = {BARCODE_CODE93}; break;
      case 73:
        symbologies = {BARCODE_CODE128};
        text = code128_text(data);
        break;
      default: return;
    }
    std::vector<bool> modules;
    for (int symbology : symbologies)
      if (modules.empty()) modules = bar_modules(symbology, text);
    if (modules.empty()) return;  // data the symbology does not take prints nothing

    const int module = modes_.bar_module, bars_height = std::max(modes_.bar_height, 1);
    const Cell cell = modes_.hri_small ? kFontB : kFontA;
    const int above = modes_.hri & 1 ? cell.height : 0, below = modes_.hri & 2 ? cell.height : 0;
    const int full_width = static_cast<int>(modules.size()) * module;
    raster::Image img(std::min(full_width, area()), above + bars_height + below);
    for (std::size_t k = 0; k < modules.size(); ++k)
      if (modules[k])
        img.fill(static_cast<int>(k) * module, above, (static_cast<int>(k) + 1) * module, above + bars_height,
                 raster::kBlack);
    std::string hri;
    for (char c : text)
      if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) hri += c;
    const int hri_x = (full_width - static_cast<int>(hri.size()) * cell.width) / 2;
    for (int y : {modes_.hri & 1 ? 0 : -1, modes_.hri & 2 ? above + bars_height : -1}) {
      if (y < 0) continue;
      for (std::size_t k = 0; k < hri.size(); ++k)
        img.draw(glyph(hri[k], modes_.hri_small, false), hri_x + static_cast<int>(k) * cell.width, y);
    }
    block(img);
  }

  const int width_, max_height_;
  raster::Image page_;
  int pen_;         // the top of the next line
  int bottom_ = 0;  // below the last thing printed
  Modes modes_;
  Line line_;
  std::map<std::tuple<char, bool, bool>, raster::Image> glyphs_;
  std::string qr_data_;
  std::tuple<std::string, QRecLevel, int> qr_key_{"", QR_ECLEVEL_L, 0};
  raster::Image qr_image_;
};

}  // namespace

raster::Image render_receipt(std::string_view bytes, int width) {
  if (width < kMinReceiptWidth || width > kMaxReceiptWidth)
    throw std::invalid_argument("a receipt is " + std::to_string(kMinReceiptWidth) + " to " +
                                std::to_string(kMaxReceiptWidth) + " dots wide, not " + std::to_string(width));
  Receipt receipt(width);
  receipt.print(bytes);
  return receipt.finish();
}

fs::path preview_path(const fs::path& printed) {
  fs::path png = printed;
  png += ".preview.png";
  return png;
}

bool is_preview_file(const fs::path& file) {
  const std::string name = file.filename().string();
  constexpr std::string_view kSuffix = ".preview.png";
  return name.size() > kSuffix.size() && name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

raster::Image write_preview(std::string_view bytes, const fs::path& png, int width) {
  raster::Image page = render_receipt(bytes, width);
  const std::string data = raster::encode_png(page);
  std::ofstream out(png, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + png.string());
  return page;
}

int run_preview(const fs::path& file, fs::path png, int width, std::ostream& out, std::ostream& err) {
  std::error_code ec;
  std::ifstream in(file, std::ios::binary);
  std::string bytes;
  if (in && !fs::is_directory(file, ec))
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in || in.bad() || fs::is_directory(file, ec)) {
    err << "imphost: cannot read " << file.string() << "\n";
    return 1;
  }
  if (png.empty()) png = preview_path(file);
  try {
    const raster::Image page = write_preview(bytes, png, width);
    out << png.string() << " (" << page.width << "x" << page.height << ")\n";
    return 0;
  } catch (const imp::Error& e) {  // the platform's messages are Windows-1252
    err << "imphost: " << png.string() << ": " << imp::cp1252::to_utf8(e.what()) << "\n";
  } catch (const std::exception& e) {
    err << "imphost: " << png.string() << ": " << e.what() << "\n";
  }
  return 1;
}

}  // namespace imphost
