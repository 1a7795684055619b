#include "output/bitmap_page.h"

#include <zint.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "module/globals.h"
#include "output/device_ops.h"
#include "output/models.h"
#include "output/vendor_libs.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/raster.h"
#include "platform/rtl.h"

namespace imp {
namespace {

using models::code_of;

void Log(const std::string& text) {
  log::LogErroImpNaoFiscal(text);
}

std::string S(std::string_view s) {
  return std::string(s);
}

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The page of a bitmap model: the canvas printed as one image, and the mirror image saved beside it.
struct Page {
  bool open = false;  // "the printer is printing": a page begun and not ended
  raster::Image canvas;
  std::optional<raster::Image> mirror;  // BitMapCupom
  int penY = 0;
};

std::recursive_mutex g_mutex;
Page g_page;

std::filesystem::path working_folder() {
  const std::filesystem::path folder = hostdir::resolve("\\DADOS\\PLUS2\\");
  hostdir::create_folders(folder);
  return folder;
}
std::filesystem::path temp_folder() {
  const std::filesystem::path folder = hostdir::resolve("C:\\Windows\\temp\\");
  hostdir::create_folders(folder);
  return folder;
}

// The fonts of the page and the mirror: 29 "Lucida Console", 41 and 44 "Arial", bold; the cell 16 pixels
// high on a canvas wider than 380, else 14.
raster::Font page_font(int code) {
  const int height = globals::itCanvasWidth.load() > 380 ? 16 : 14;
  return raster::Font(code == 29 ? "Lucida Console" : "Arial", height, true);
}

int canvas_width() {
  const int w = globals::itCanvasWidth.load();
  return w > 0 ? w : 380;
}

void begin_document() {
  // The page is 5 pixels wider than the line: the right-aligned column ends 5 pixels past the width.
  g_page.canvas = raster::Image(canvas_width() + 5, 5000);
  g_page.penY = 0;
  g_page.open = true;
}

// Grows an image so that a band of `height` pixels from `y` fits.
void make_room(raster::Image& img, int y, int height) {
  if (y + height > img.height) img.set_height(std::max(img.height * 2, y + height + 1000));
}

// Lays lines out as the bitmap printers print them, on one or two images of the same width.
class Lines {
 public:
  Lines(const raster::Font& font, int width) : font_(font), width_(width) {}

  // The text's lines, each drawn at the pen; a last line without LF is not drawn.
  template <class Draw>
  void walk(std::string_view text, int& penY, Draw&& draw) const {
    std::string line;
    for (char c : text) {
      if (c == '\n') {
        emit(line, true, penY, draw);
        line.clear();
      } else if (font_.width(line) < width_) {
        line.push_back(c);
      } else {
        // The line is full: it is drawn, and the character that did not fit starts the next one.
        emit(line, false, penY, draw);
        line.assign(1, c);
      }
    }
  }

 private:
  // `draw(x, y, text)` draws and returns how many pixels beyond the line's height it took (an image).
  template <class Draw>
  void emit(std::string line, bool byLineFeed, int& penY, Draw& draw) const {
    if (line.empty() && byLineFeed) line = " ";
    int extra = 0;
    if (line.find("----------") != std::string::npos) {
      while (font_.width(line) < width_) line.push_back('-');
      extra = draw(-1, penY, line);
    } else if (line.size() >= 2 && line.front() == ' ' && line[line.size() - 2] == ' ') {
      while (font_.width(line) <= width_) line = " " + line + " ";
      extra = draw(-1, penY, line);
    } else if (const auto run = two_columns(line); run != std::string::npos) {
      extra = draw(-1, penY, line.substr(0, run));
      std::string right = trim(line.substr(run));
      int x = width_ + 5;
      for (auto it = right.rbegin(); it != right.rend(); ++it) {
        x -= font_.char_width(*it) + (it == right.rbegin() ? 0 : 1);
        extra = std::max(extra, draw(x, penY, std::string(1, *it)));
      }
    } else {
      extra = draw(-1, penY, line);
    }
    penY += font_.height() + extra;
  }

  // Where a run of seven spaces followed by more than blanks begins; npos when the line has none.
  static std::size_t two_columns(const std::string& line) {
    for (auto at = line.find("       "); at != std::string::npos; at = line.find("       ", at + 1)) {
      if (line.find_first_not_of(' ', at) != std::string::npos) return at;
    }
    return std::string::npos;
  }

  const raster::Font& font_;
  int width_;
};

// An image file drawn on the page and the mirror below one line's gap.
int draw_image(const std::filesystem::path& file, int defaultX, int code) {
  const raster::Image img = raster::read_bmp(file);
  const raster::Font font = page_font(code);
  const int w = canvas_width();
  int x = defaultX;
  if (img.width < w) x = w - img.width <= 2 ? w - img.width : (w - img.width) / 2;
  const int y = g_page.penY + font.height();
  make_room(g_page.canvas, y, img.height);
  g_page.canvas.draw(img, x, y);
  if (g_page.mirror) {
    make_room(*g_page.mirror, y, img.height);
    g_page.mirror->draw(img, x, y);
  }
  g_page.penY += img.height + 2 * font.height();
  std::error_code ec;
  std::filesystem::remove(file, ec);
  return 1;
}

int save_qr(std::string_view data, int code) {
  try {
    using Generate = int32_t (*)(const char*, const char*);
    auto generate = reinterpret_cast<Generate>(BindDarumaQrGenerator());
    if (!generate) throw Error("GerarQrCodeBMP_Daruma não carregada"_cp);
    const std::filesystem::path file = working_folder() / "PLUS2_QRCODE.bmp";
    generate(file.c_str(), S(data).c_str());
    return draw_image(file, 100, code);
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:SaveTextBitMap_Qrcode -") + e.what());
    return 0;
  }
}

int save_barcode(std::string_view data, int code) {
  try {
    const std::filesystem::path file = working_folder() / "PLUS2_BARCODE.bmp";
    if (!GerarCodigo(data, file)) throw Error("código de barras não gerado"_cp);
    return draw_image(file, 90, code);
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:SaveTextBitMap_Barcode -") + e.what());
    return 0;
  }
}

int plus2_code() {
  const int code = code_of(globals::stImpressoraPLUS2.get());
  return models::bitmap_model(code) ? code : 0;
}

}  // namespace

const raster::Image* OpenBitmapPage(int* penY) {
  std::lock_guard lk(g_mutex);
  if (!g_page.open) return nullptr;
  if (penY) *penY = g_page.penY;
  return &g_page.canvas;
}

void StartBitMap(std::string_view model) {
  const int code = code_of(model);
  if (!models::bitmap_model(code)) return;
  std::lock_guard lk(g_mutex);
  if (g_page.open || globals::stPrinterName.get().empty()) return;
  try {
    Log("StartBitMap");
    globals::stImpressoraPLUS2.set(S(model));
    // Leftover images of an earlier page go to the temporary folder.
    const std::filesystem::path folder = working_folder(), temp = temp_folder();
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
      std::string ext = e.path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
      if (ext == ".bmp") std::filesystem::rename(e.path(), temp / e.path().filename(), ec);
    }
    begin_document();
    g_page.mirror.emplace(canvas_width(), 5000);
    globals::BitMapCupom.store(&*g_page.mirror);
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:StartBitMap -") + e.what());
  }
}

int SaveTextBitMap(std::string_view model, std::string_view text, std::string_view qrCode, std::string_view barcode) {
  std::lock_guard lk(g_mutex);
  const int code = code_of(model);
  try {
    if (!g_page.open) begin_document();
    if (text.empty()) {
      if (!qrCode.empty()) return save_qr(qrCode, code);
      if (!barcode.empty()) return save_barcode(barcode, code);
      text = ".";
    }
    const raster::Font font = page_font(code);
    const Lines lines(font, canvas_width());
    lines.walk(text, g_page.penY, [&](int x, int y, const std::string& line) {
      make_room(g_page.canvas, y, font.height());
      font.draw(g_page.canvas, x, y, line);
      if (g_page.mirror) {
        try {
          make_room(*g_page.mirror, y, font.height());
          font.draw(*g_page.mirror, x, y, line);
        } catch (const std::exception&) {
          // the mirror never stops the print
        }
      }
      return 0;
    });
    return 1;
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:SaveTextBitMap -") + e.what());
    return 0;
  }
}

int SaveQrCodeBitMap(std::string_view data) {
  std::lock_guard lk(g_mutex);
  if (!g_page.open) begin_document();
  return save_qr(data, plus2_code());
}

int SaveBarCodeBitMap(std::string_view data) {
  std::lock_guard lk(g_mutex);
  if (!g_page.open) begin_document();
  return save_barcode(data, plus2_code());
}

int SaveCode128BitMap(std::string_view model, std::string_view data) {
  std::lock_guard lk(g_mutex);
  try {
    if (!g_page.open) begin_document();
    // The pattern comes from libzint: bars 2 pixels a module, 50 high, no readable text.
    std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> symbol(ZBarcode_Create(), ZBarcode_Delete);
    if (!symbol) throw Error("CODE128: sem memória"_cp);
    symbol->symbology = BARCODE_CODE128;
    symbol->height = 25;
    symbol->scale = 1;
    symbol->show_hrt = 0;
    const std::string d(data);
    if (ZBarcode_Encode_and_Buffer(symbol.get(), reinterpret_cast<const unsigned char*>(d.data()),
                                   static_cast<int>(d.size()), 0) >= ZINT_ERROR)
      throw Error(std::string("CODE128: ") + symbol->errtxt);
    raster::Image img(symbol->bitmap_width, symbol->bitmap_height);
    for (int y = 0; y < img.height; ++y)
      for (int x = 0; x < img.width; ++x)
        if (symbol->bitmap[(y * img.width + x) * 3] < 128) img.set(x, y, raster::kBlack);
    const std::filesystem::path file = working_folder() / "PLUS2_BARCODE.bmp";
    raster::write_bmp(img, file);
    return draw_image(file, 90, code_of(model));
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:SaveTextBitMap_Barcode -") + e.what());
    return 0;
  }
}

bool GerarCodigo(std::string_view data, const std::filesystem::path& file) {
  static const char* const kDigits[] = {"00110", "10001", "01001", "11000", "00101",
                                        "10100", "01100", "00011", "10010", "01010"};
  try {
    Log("GerarCodigo");
    std::error_code ec;
    std::filesystem::remove(file, ec);
    if (data.empty() || data.find_first_not_of("0123456789") != std::string_view::npos)
      throw Error("GerarCodigo: só dígitos formam um código 2 de 5 intercalado: "_cp + S(data));
    std::string pattern = "0000";
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      const char* bars = kDigits[data[i] - '0'];
      const char* spaces = kDigits[data[i + 1] - '0'];
      for (int k = 0; k < 5; ++k) pattern += {bars[k], spaces[k]};
    }
    pattern += "100";
    // Sized to the pattern first, so a long key is never cut.
    int width = 2;
    for (char e : pattern) width += e == '1' ? 4 : 2;
    raster::Image img(width + 2, 42);
    int x = 2;
    for (std::size_t k = 0; k < pattern.size(); ++k) {
      const int w = pattern[k] == '1' ? 4 : 2;
      if (k % 2 == 0) img.fill(x, 1, x + w, 40, raster::kBlack);
      x += w;
    }
    raster::write_bmp(img, file);
    return std::filesystem::exists(file, ec);
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:GerarCodigo -") + e.what());
    return false;
  }
}

int StopAndPrintBitMap() {
  std::lock_guard lk(g_mutex);
  if (!plus2_code() || !g_page.open || globals::stAbreGaveta.get() == "S") return 1;
  Log("StopAndPrintBitMap");
  if (g_page.mirror) {
    try {
      g_page.mirror->set_height(std::max(g_page.penY, 1));
      raster::write_bmp(*g_page.mirror, temp_folder() / (FormatDateTime("hhnnss", clock::Now()) + ".bmp"));
    } catch (const std::exception& e) {
      Log(std::string("Imp00000 - Funcao:StopAndPrintBitMap2 -") + e.what());
    }
    globals::BitMapCupom.store(nullptr);
    g_page.mirror.reset();
  }
  // Ending the document prints the page: one PNG image job on the current Windows printer.
  raster::Image page = std::move(g_page.canvas);
  page.set_height(std::max(g_page.penY, 1));
  g_page = Page{};
  try {
    PrintOnWindowsPrinter(raster::encode_png(page), "image/png");
    return 1;
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:StopAndPrintBitMap -") + e.what());
    return 0;
  }
}

namespace {
// The newest bitmap of the working folder, scaled by 1.1 and saved beside it with `suffix`.
void resize(const char* suffix) {
  if (globals::itPaperWidth.load() <= 600) return;
  try {
    std::optional<std::filesystem::path> newest;
    std::filesystem::file_time_type when{};
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(working_folder(), ec)) {
      if (e.path().extension() != ".bmp" || e.path().string().find("_size") != std::string::npos) continue;
      const auto t = e.last_write_time(ec);
      if (!newest || t > when) newest = e.path(), when = t;
    }
    if (!newest) return;
    const std::filesystem::path out = newest->parent_path() / (newest->stem().string() + suffix);
    raster::write_bmp(raster::read_bmp(*newest).scaled(1.1), out);
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:ResizeBitMap -") + e.what());
  }
}
}  // namespace

void ResizeBitMap() {
  std::lock_guard lk(g_mutex);
  resize("_size1.bmp");
}
void ResizeBitMap2() {
  std::lock_guard lk(g_mutex);
  resize("_size2.bmp");
}

// ---- the capture of every printed document ----

void IniciaPorta_BitMap(std::string_view, std::string_view) {}

void FormataTX_BitMap(std::string_view, std::string_view text, int, int, int, int, int) {
  globals::stTextoDocumento.set(globals::stTextoDocumento.get() + "\n" + S(text));
}

void ImprimeCODE128_BitMap(std::string_view, std::string_view data) {
  globals::stTextoDocumento.set(globals::stTextoDocumento.get() + "\n<CODE128>" + S(data) + "<CODE128>\n");
}

void ImprimeQRCode_BitMap(std::string_view, std::string_view data, std::string_view) {
  globals::stTextoDocumento.set(globals::stTextoDocumento.get() + "\n<QRCODE>" + S(data) + "<QRCODE>\n");
}

namespace {

bool capture_marker() {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(hostdir::resolve("C:\\Windows\\temp\\"), ec)) {
    std::string name = e.path().filename().string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name.rfind("criarcupons", 0) == 0) return true;
  }
  return false;
}

// Runs of 43 dashes become 40 and runs of 43 spaces 42, until nothing changes.
std::string shorten_runs(std::string text) {
  const std::string dashes43(43, '-'), dashes40(40, '-'), spaces43(43, ' '), spaces42(42, ' ');
  for (bool changed = true; changed;) {
    changed = false;
    for (auto [from, to] : {std::pair{&dashes43, &dashes40}, std::pair{&spaces43, &spaces42}}) {
      for (auto at = text.find(*from); at != std::string::npos; at = text.find(*from, at)) {
        text.replace(at, from->size(), *to);
        changed = true;
      }
    }
  }
  return text;
}

std::string without_controls(std::string text) {
  for (const char* seq : {"\x1b\x33\x10", "\x1bM0", "\x1bM1", "\x1b\x46", "\x1b\x45", "\x1b\x0e"}) {
    const std::string s(seq);
    for (auto at = text.find(s); at != std::string::npos; at = text.find(s, at)) text.erase(at, s.size());
  }
  return text;
}

// A line longer than 42 characters loses one space of its first and one of its last double space while it
// has any; pairs of NUL go.
std::string shorten_line(std::string line) {
  for (auto at = line.find(std::string(2, '\0')); at != std::string::npos; at = line.find(std::string(2, '\0')))
    line.erase(at, 2);
  while (line.size() > 42) {
    const auto first = line.find("  ");
    if (first == std::string::npos) break;
    line.erase(first, 1);
    if (line.size() <= 42) break;
    const auto last = line.rfind("  ");
    if (last == std::string::npos) break;
    line.erase(last, 1);
  }
  return line;
}

}  // namespace

void FechaPorta_BitMap(std::string_view model) {
  std::string document = globals::stTextoDocumento.get();
  globals::stTextoDocumento.clear();
  try {
    if (document.empty() || !capture_marker()) return;
    document += "\n";
    if (document.size() > 2000)
      document = shorten_runs(document.substr(0, 2000)) + shorten_runs(document.substr(2000));
    else
      document = shorten_runs(document);
    std::string rebuilt, file;
    std::size_t at = 0;
    while (at < document.size()) {
      const auto lf = document.find('\n', at);
      std::string line = document.substr(at, lf == std::string::npos ? std::string::npos : lf - at);
      at = lf == std::string::npos ? document.size() : lf + 1;
      line = shorten_line(without_controls(line));
      rebuilt += line + "\n";
      file += line + "\r\n";
    }
    FormataTexto_BitMap(model, without_controls(rebuilt));
    const std::filesystem::path text =
        temp_folder() / (FormatDateTime("dd_mm_yyyy_hh_nn_ss_zzz", clock::Now()) + ".txt");
    std::FILE* f = std::fopen(text.c_str(), "wb");
    if (f) {
      std::fwrite(file.data(), 1, file.size(), f);
      std::fclose(f);
    }
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:FechaPorta_BitMap -") + e.what());
  }
}

int FormataTexto_BitMap(std::string_view model, std::string_view document) {
  try {
    const int code = code_of(model);
    const bool wide = code == 41 || code == 44;
    const int width = wide ? 570 : 500;
    const raster::Font font(wide ? "Arial" : "Lucida Console", 15, true);
    raster::Image img(width, 50);
    int penY = 0;
    const Lines lines(font, width);
    auto strip = [](std::string line, const char* lower, const char* upper) {
      for (const char* m : {lower, upper})
        for (auto at = line.find(m); at != std::string::npos; at = line.find(m)) line.erase(at, std::strlen(m));
      return line;
    };
    lines.walk(document, penY, [&](int x, int y, const std::string& line) {
      const bool barcode = line.find("<code128>") != std::string::npos || line.find("<CODE128>") != std::string::npos;
      const bool qr = line.find("<qrcode>") != std::string::npos || line.find("<QRCODE>") != std::string::npos;
      if (barcode || qr) {
        std::string data = barcode ? strip(line, "<code128>", "<CODE128>") : strip(line, "<qrcode>", "<QRCODE>");
        data = trim(data);
        if (barcode && data.rfind("{A", 0) == 0) data.erase(0, 2);
        const std::filesystem::path file = temp_folder() / (barcode ? "BARCODE.bmp" : "QRCODE.bmp");
        bool drawn = false;
        if (barcode) {
          drawn = GerarCodigo(data, file);
        } else if (auto fn = reinterpret_cast<int32_t (*)(const char*, const char*)>(BindDarumaQrGenerator())) {
          drawn = fn(file.c_str(), data.c_str()) != 0;
        }
        if (drawn) {
          try {
            const raster::Image code_img = raster::read_bmp(file);
            img.set_height(img.height + (barcode ? 50 : 150));
            make_room(img, y, code_img.height);
            img.draw(code_img, std::max(0, (width - code_img.width) / 2), y);
            return std::max(0, code_img.height - font.height());
          } catch (const std::exception&) {
          }
        }
      }
      make_room(img, y, font.height());
      font.draw(img, x, y, line);
      return 0;
    });
    img.set_height(std::max(penY, 1));
    raster::write_bmp(img, temp_folder() / (FormatDateTime("ddmmyyyyhhnnsszzz", clock::Now()) + ".bmp"));
    return 1;
  } catch (const std::exception& e) {
    Log(std::string("Imp00000 - Funcao:FormataTexto_BitMap -") + e.what());
    return 0;
  }
}

}  // namespace imp
