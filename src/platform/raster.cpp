#include "platform/raster.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <new>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/safefile.h"

namespace imp::raster {
namespace {

bool is_control(char c) {
  auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

// The Unicode code point of a Windows-1252 byte.
char32_t code_point(char c) {
  const std::string u = cp1252::to_utf8(std::string_view(&c, 1));
  auto b = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(u[i])); };
  if (u.size() == 1) return b(0);
  if (u.size() == 2) return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
  return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
}

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

// The families the documents name (Windows fonts) and the metric-compatible fonts that stand in for them.
struct Family {
  std::string_view windows, here;
};
constexpr Family kFamilies[] = {{"Lucida Console", "DejaVu Sans Mono"}, {"Arial", "Liberation Sans"}};

std::string local_family(const std::string& family) {
  for (const Family& f : kFamilies)
    if (same_name(family, f.windows)) return std::string(f.here);
  return family;
}

struct FontFile {
  std::string path;  // empty: not found
  int index = 0;
  bool bold = false;  // the face itself is bold
};

// The module's own fontconfig configuration, loaded once and destroyed at exit: the process's default one
// (FcInit) belongs to the host as much as to us, and is never freed (a leak to the sanitizer).
struct Fontconfig {
  std::mutex mutex;  // every fontconfig call goes through it
  FcConfig* config = FcInitLoadConfigAndFonts();
  ~Fontconfig() {
    std::lock_guard lock(mutex);
    if (config) FcConfigDestroy(config);
    config = nullptr;
  }
};

// fontconfig's answer for a family (UTF-8) and weight; an empty path when its answer is another family.
FontFile find_font(const std::string& family, bool bold) {
  static Fontconfig fc;
  std::lock_guard lock(fc.mutex);
  if (!fc.config) throw Error("fontconfig não pôde ser iniciado"_cp);

  using Pattern = std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)>;
  Pattern pattern(FcPatternCreate(), FcPatternDestroy);
  if (!pattern) throw std::bad_alloc();
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcConfigSubstitute(fc.config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  Pattern match(FcFontMatch(fc.config, pattern.get(), &result), FcPatternDestroy);
  if (!match) return {};

  bool same_family = false;
  FcChar8* s = nullptr;
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &s) == FcResultMatch; ++i)
    if (same_name(reinterpret_cast<const char*>(s), family)) same_family = true;
  if (!same_family || FcPatternGetString(match.get(), FC_FILE, 0, &s) != FcResultMatch) return {};
  FontFile found;
  found.path = reinterpret_cast<const char*>(s);
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &found.index);
  // For a family without a bold face fontconfig's own configuration answers weight bold and "embolden".
  int weight = FC_WEIGHT_REGULAR;
  FcBool synthetic = FcFalse;
  FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &weight);
  FcPatternGetBool(match.get(), FC_EMBOLDEN, 0, &synthetic);
  found.bold = weight >= FC_WEIGHT_DEMIBOLD && !synthetic;
  return found;
}

int pixels(FT_Pos v) {  // 26.6 -> whole pixels, rounded
  return static_cast<int>((v + 32) >> 6);
}

}  // namespace

// ---- Image

Image::Image(int w, int h, uint32_t fill)
    : width(std::max(w, 0)),
      height(std::max(h, 0)),
      pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

uint32_t Image::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return kWhite;
  return pixels[static_cast<std::size_t>(y) * width + x];
}

void Image::set(int x, int y, uint32_t c) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  pixels[static_cast<std::size_t>(y) * width + x] = c;
}

void Image::fill(int x0, int y0, int x1, int y1, uint32_t c) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0);
  x1 = std::min(x1, width), y1 = std::min(y1, height);
  for (int y = y0; y < y1; ++y)
    std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width + x0, std::max(x1 - x0, 0), c);
}

void Image::set_height(int h) {
  height = std::max(h, 0);
  pixels.resize(static_cast<std::size_t>(width) * height, kWhite);
}

void Image::draw(const Image& src, int x, int y) {
  const int sx0 = std::max(0, -x), sx1 = std::min(src.width, width - x);
  if (sx0 >= sx1) return;
  for (int sy = std::max(0, -y); sy < src.height && y + sy < height; ++sy) {
    auto from = src.pixels.begin() + static_cast<std::ptrdiff_t>(sy) * src.width;
    std::copy(from + sx0, from + sx1, pixels.begin() + static_cast<std::ptrdiff_t>(y + sy) * width + x + sx0);
  }
}

Image Image::scaled(double factor) const {
  if (!(factor > 0) || width == 0 || height == 0) return {};
  Image out(std::max(1, static_cast<int>(std::lround(width * factor))),
            std::max(1, static_cast<int>(std::lround(height * factor))));
  // Each target pixel takes the source pixel under its centre.
  auto source = [factor](int i, int size) { return std::min(size - 1, static_cast<int>((i + 0.5) / factor)); };
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) out.set(x, y, at(source(x, width), source(y, height)));
  return out;
}

// ---- Font

struct Font::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int cell = 0;
  int baseline = 0;     // from the top of the cell
  FT_Pos embolden = 0;  // outline strength (26.6) when the family has no bold face
  std::mutex mutex;     // FreeType faces are not to be used by two threads at once

  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }

  // The glyph of a character, rendered when asked; nullptr when FreeType cannot load it.
  FT_GlyphSlot load(char c, bool render) {
    if (FT_Load_Char(face, code_point(c), FT_LOAD_NO_BITMAP) != 0) return nullptr;
    FT_GlyphSlot g = face->glyph;
    if (embolden && g->format == FT_GLYPH_FORMAT_OUTLINE) {
      FT_Outline_Embolden(&g->outline, embolden);
      g->advance.x += embolden;
    }
    if (render && FT_Render_Glyph(g, FT_RENDER_MODE_NORMAL) != 0) return nullptr;
    return g;
  }

  int advance(char c) {
    if (is_control(c)) return 0;
    FT_GlyphSlot g = load(c, false);
    return g ? pixels(g->advance.x) : 0;
  }
};

Font::Font(const std::string& family, int cellHeight, bool bold) : impl_(std::make_unique<Impl>()) {
  const std::string here = local_family(family);
  std::string name = family;
  if (here != family) name += " (" + here + ")";
  if (cellHeight <= 0) throw Error("Altura de fonte inválida para "_cp + name + ": " + std::to_string(cellHeight));

  const FontFile file = find_font(cp1252::to_utf8(here), bold);
  if (file.path.empty()) throw Error("Fonte não encontrada: "_cp + name);
  if (FT_Init_FreeType(&impl_->library) != 0) throw Error("FreeType não pôde ser iniciado"_cp);
  if (FT_New_Face(impl_->library, file.path.c_str(), file.index, &impl_->face) != 0)
    throw Error("Não foi possível abrir a fonte "_cp + name + ": " + cp1252::from_utf8_lossy(file.path));
  FT_Face face = impl_->face;
  const FT_Long line = face->ascender - face->descender;
  if (!FT_IS_SCALABLE(face) || line <= 0) throw Error("Fonte sem contornos: "_cp + name);

  // The size at which ascender - descender is the cell height (26.6 at 72 dpi: 1 point = 1 pixel).
  const auto size = static_cast<FT_F26Dot6>(std::lround(64.0 * cellHeight * face->units_per_EM / line));
  if (FT_Set_Char_Size(face, 0, size, 0, 0) != 0) throw Error("Tamanho de fonte não disponível: "_cp + name);
  impl_->cell = cellHeight;
  impl_->baseline = pixels(FT_MulFix(face->ascender, face->size->metrics.y_scale));
  // FreeType's own synthetic bold strength (FT_GlyphSlot_Embolden): 1/24 of the em.
  if (bold && !file.bold) impl_->embolden = FT_MulFix(face->units_per_EM, face->size->metrics.y_scale) / 24;
}

Font::~Font() = default;
Font::Font(Font&&) noexcept = default;
Font& Font::operator=(Font&&) noexcept = default;

int Font::height() const {
  return impl_->cell;
}

int Font::char_width(char c) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->advance(c);
}

int Font::width(std::string_view text) const {
  std::lock_guard lock(impl_->mutex);
  int w = 0;
  for (char c : text) w += impl_->advance(c);
  return w;
}

void Font::draw(Image& img, int x, int y, std::string_view text) const {
  std::lock_guard lock(impl_->mutex);
  const int baseline = y + impl_->baseline;
  for (char c : text) {
    if (is_control(c)) continue;
    FT_GlyphSlot g = impl_->load(c, true);
    if (!g) continue;
    const FT_Bitmap& bm = g->bitmap;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned col = 0; col < bm.width; ++col)
        if (bm.buffer[static_cast<std::ptrdiff_t>(r) * bm.pitch + col] >= 128)
          img.set(x + g->bitmap_left + static_cast<int>(col), baseline - g->bitmap_top + static_cast<int>(r), kBlack);
    x += pixels(g->advance.x);
  }
}

// ---- BMP

namespace {

uint32_t le(std::string_view d, std::size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(d[at + i]);
  return v;
}

void put_le(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

uint32_t rgb(std::string_view d, std::size_t at) {  // a B, G, R triple
  return 0xFF000000 | le(d, at, 3);
}

}  // namespace

Image read_bmp(const std::filesystem::path& file) {
  const std::string data = safefile::read(file);
  auto fail = [&](const char* why) {
    return Error("Imagem BMP \""_cp + cp1252::from_utf8_lossy(file.string()) + "\": " + cp1252::from_utf8_lossy(why));
  };
  const std::string_view d = data;
  constexpr std::size_t kHeaders = 14 + 40;  // BITMAPFILEHEADER + BITMAPINFOHEADER
  if (d.size() < kHeaders || d.substr(0, 2) != "BM") throw fail("arquivo inválido");
  const uint32_t offset = le(d, 10, 4), info = le(d, 14, 4), bits = le(d, 28, 2), compression = le(d, 30, 4);
  const auto width = static_cast<int32_t>(le(d, 18, 4)), height = static_cast<int32_t>(le(d, 22, 4));
  if (info < 40 || compression != 0 || (bits != 1 && bits != 24 && bits != 32))
    throw fail("formato não suportado (só 1, 24 e 32 bits sem compressão)");
  if (width <= 0 || height == 0 || height == INT32_MIN) throw fail("dimensões inválidas");
  const int rows = std::abs(height);
  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  if (offset > d.size() || stride * static_cast<std::size_t>(rows) > d.size() - offset)
    throw fail("arquivo incompleto");
  const std::size_t palette = 14 + static_cast<std::size_t>(info);
  if (bits == 1 && palette + 8 > d.size()) throw fail("arquivo incompleto");

  Image img(width, rows);
  for (int r = 0; r < rows; ++r) {
    const std::size_t row = offset + static_cast<std::size_t>(r) * stride;
    const int y = height < 0 ? r : rows - 1 - r;  // positive heights are stored bottom-up
    for (int x = 0; x < width; ++x) {
      if (bits == 1) {
        const int index = static_cast<unsigned char>(d[row + x / 8]) >> (7 - x % 8) & 1;
        img.set(x, y, rgb(d, palette + 4 * index));
      } else {
        img.set(x, y, rgb(d, row + static_cast<std::size_t>(x) * (bits / 8)));
      }
    }
  }
  return img;
}

void write_bmp(const Image& img, const std::filesystem::path& file) {
  if (img.width <= 0 || img.height <= 0)
    throw Error("Imagem BMP \""_cp + cp1252::from_utf8_lossy(file.string()) + "\": imagem vazia");
  const uint32_t size = static_cast<uint32_t>(img.pixels.size() * 4);
  std::string out = "BM";
  put_le(out, 14 + 40 + size, 4);
  put_le(out, 0, 4);        // reserved
  put_le(out, 14 + 40, 4);  // offset of the pixels
  put_le(out, 40, 4);       // BITMAPINFOHEADER
  put_le(out, static_cast<uint32_t>(img.width), 4);
  put_le(out, static_cast<uint32_t>(img.height), 4);  // positive: bottom-up
  put_le(out, 1, 2);                                  // planes
  put_le(out, 32, 2);                                 // bits per pixel
  put_le(out, 0, 4);                                  // BI_RGB
  put_le(out, size, 4);
  for (int i = 0; i < 4; ++i) put_le(out, 0, 4);  // resolution, palette
  for (int y = img.height - 1; y >= 0; --y)
    for (int x = 0; x < img.width; ++x) put_le(out, img.at(x, y), 4);  // B, G, R, A
  safefile::write_atomic(file, out);
}

// ---- PNG (libpng's simplified API: it reports errors in png_image::message, no longjmp here)

std::string encode_png(const Image& img) {
  std::vector<unsigned char> rgba;
  rgba.reserve(img.pixels.size() * 4);
  for (uint32_t p : img.pixels)
    for (int shift : {16, 8, 0, 24}) rgba.push_back(static_cast<unsigned char>(p >> shift & 0xFF));

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(img.width);
  image.height = static_cast<png_uint_32>(img.height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  std::string out;
  if (png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) {
    out.resize(size);
    if (png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) {
      out.resize(size);
      return out;
    }
  }
  png_image_free(&image);
  throw Error("Não foi possível gerar a imagem PNG: "_cp + image.message);
}

Image decode_png(std::string_view bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  auto fail = [&](const char* why) {
    png_image_free(&image);
    return Error("Imagem PNG inválida: "_cp + why);
  };
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) throw fail(image.message);
  // A receipt image is far below this; the bound keeps a forged header from asking for gigabytes.
  constexpr uint64_t kMaxPixels = uint64_t{1} << 26;
  if (uint64_t{image.width} * image.height > kMaxPixels) throw fail("dimensões grandes demais");
  image.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) throw fail(image.message);

  Image img(static_cast<int>(image.width), static_cast<int>(image.height));
  for (std::size_t i = 0; i < img.pixels.size(); ++i) {
    const unsigned char* p = &rgba[4 * i];
    img.pixels[i] = uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
  return img;
}

}  // namespace imp::raster
