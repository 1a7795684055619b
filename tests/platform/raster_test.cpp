#include "platform/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/error.h"
#include "support/test_support.h"

namespace imp::raster {
namespace {

constexpr uint32_t kRed = 0xFFFF0000;

// An image as rows of '#' (black) and '.' (white); any other colour is '?'.
std::vector<std::string> rows(const Image& img) {
  std::vector<std::string> out;
  for (int y = 0; y < img.height; ++y) {
    std::string row;
    for (int x = 0; x < img.width; ++x) row += img.at(x, y) == kBlack ? '#' : img.at(x, y) == kWhite ? '.' : '?';
    out.push_back(row);
  }
  return out;
}

using Rows = std::vector<std::string>;

TEST(RasterImage, FillAndSetClipToTheImage) {
  Image img(4, 3);
  img.fill(-2, 1, 2, 5, kBlack);
  img.fill(3, -1, 9, 1, kBlack);  // past the right edge: does not wrap into the next row
  img.set(-2, 1, kBlack);         // outside: ignored
  img.set(-1, 2, kBlack);         // outside: ignored
  EXPECT_EQ(rows(img), (Rows{"...#", "##..", "##.."}));
  EXPECT_EQ(img.at(4, 0), kWhite);
  EXPECT_EQ(img.at(0, -1), kWhite);
}

TEST(RasterImage, SetHeightCutsAndGrowsWithWhite) {
  Image img(2, 3);
  img.fill(0, 2, 2, 3, kBlack);
  img.set_height(2);
  EXPECT_EQ(rows(img), (Rows{"..", ".."}));
  img.set(0, 0, kBlack);
  img.set_height(4);  // the row cut before does not come back
  EXPECT_EQ(rows(img), (Rows{"#.", "..", "..", ".."}));
}

TEST(RasterImage, DrawClipsAtEveryEdge) {
  Image src(2, 2, kBlack);
  src.set(1, 1, kWhite);
  const struct {
    int x, y;
    Rows expected;
  } cases[] = {
      {0, 0, {"##.", "#..", "..."}},  {-1, -1, {"...", "...", "..."}}, {2, 2, {"...", "...", "..#"}},
      {2, -1, {"..#", "...", "..."}}, {-5, 0, {"...", "...", "..."}},  {1, 3, {"...", "...", "..."}},
      {-1, 1, {"...", "#..", "..."}},
  };
  for (const auto& c : cases) {
    Image img(3, 3);
    img.draw(src, c.x, c.y);
    EXPECT_EQ(rows(img), c.expected) << c.x << "," << c.y;
  }
}

TEST(RasterImage, ScaledKeepsProportions) {
  Image img(10, 20);
  img.set(9, 19, kBlack);
  Image big = img.scaled(1.1);
  EXPECT_EQ(big.width, 11);
  EXPECT_EQ(big.height, 22);
  EXPECT_EQ(big.at(10, 21), kBlack);
  EXPECT_EQ(big.at(0, 0), kWhite);
  Image small = img.scaled(0.5);
  EXPECT_EQ(small.width, 5);
  EXPECT_EQ(small.height, 10);

  Image two(2, 1);
  two.set(0, 0, kBlack);
  EXPECT_EQ(rows(two.scaled(2)), (Rows{"##..", "##.."}));
}

// ---- BMP

void put(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

// A BMP file as Windows writes it: the two headers, the palette, and the rows as given.
std::string bmp_file(int bits, int width, int height, const std::string& palette, const std::string& rows) {
  std::string out = "BM";
  put(out, static_cast<uint32_t>(54 + palette.size() + rows.size()), 4);
  put(out, 0, 4);
  put(out, static_cast<uint32_t>(54 + palette.size()), 4);
  put(out, 40, 4);
  put(out, static_cast<uint32_t>(width), 4);
  put(out, static_cast<uint32_t>(height), 4);
  put(out, 1, 2);
  put(out, static_cast<uint32_t>(bits), 2);
  for (int i = 0; i < 6; ++i) put(out, 0, 4);
  return out + palette + rows;
}

TEST(RasterBmp, WritesBottomUp32BitAndReadsItBack) {
  test::TempDir dir;
  Image img(3, 2);
  img.set(0, 0, kRed);
  img.set(0, 1, 0xFF123456);
  img.set(2, 1, kBlack);
  write_bmp(img, dir.path() / "a.bmp");

  const std::string bytes = test::read_file(dir.path() / "a.bmp");
  ASSERT_EQ(bytes.size(), 54u + 3 * 2 * 4);
  EXPECT_EQ(bytes[28], 32);                            // bits per pixel
  EXPECT_EQ(bytes.substr(30, 4), std::string(4, 0));   // BI_RGB
  EXPECT_EQ(bytes.substr(54, 4), "\x56\x34\x12\xFF");  // the first row stored is the bottom one
  Image back = read_bmp(dir.path() / "a.bmp");
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.height, 2);
  EXPECT_EQ(back.pixels, img.pixels);
}

TEST(RasterBmp, ReadsHandMade1And24BitFiles) {
  // Rows are stored bottom-up (top-down for a negative height), each padded to 4 bytes; the padding holds
  // ones here, so reading it as pixels shows.
  const std::string palette("\x00\x00\xFF\x00\xFF\xFF\xFF\x00", 8);  // 0 red, 1 white
  const std::string red("\x00\x00\xFF", 3), black("\x00\x00\x00", 3), white("\xFF\xFF\xFF", 3);
  const std::string pad(3, '\xFF');
  const struct {
    const char* name;
    std::string file;
  } cases[] = {
      {"1 bit", bmp_file(1, 3, 2, palette, std::string("\xBF\xFF\xFF\xFF\x5F\xFF\xFF\xFF", 8))},
      {"24 bits", bmp_file(24, 3, 2, "", white + red + white + pad + red + white + black + pad)},
      {"24 bits top-down", bmp_file(24, 3, -2, "", red + white + black + pad + white + red + white + pad)},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    test::write_file(dir.path() / "in.bmp", c.file);
    Image img = read_bmp(dir.path() / "in.bmp");
    ASSERT_EQ(img.width, 3) << c.name;
    ASSERT_EQ(img.height, 2) << c.name;
    EXPECT_EQ(img.pixels, (std::vector<uint32_t>{kRed, kWhite, c.name[0] == '1' ? kRed : kBlack,  //
                                                 kWhite, kRed, kWhite}))
        << c.name;
  }
}

TEST(RasterBmp, RefusesWhatItCannotRead) {
  test::TempDir dir;
  const struct {
    const char* name;
    std::string file;
  } cases[] = {
      {"not a BMP", "GIF89a............................................................"},
      {"8 bits", bmp_file(8, 1, 1, std::string(1024, '\0'), std::string(4, '\0'))},
      {"rows missing", bmp_file(24, 3, 2, "", std::string(8, '\0'))},
  };
  for (const auto& c : cases) {
    test::write_file(dir.path() / "in.bmp", c.file);
    EXPECT_THROW(read_bmp(dir.path() / "in.bmp"), Error) << c.name;
  }
  EXPECT_THROW(read_bmp(dir.path() / "missing.bmp"), Error);
}

// ---- PNG

TEST(RasterPng, RoundTripsRgbaAndRefusesBadBytes) {
  Image img(3, 2);
  img.set(0, 0, kRed);
  img.set(1, 0, 0x00FFFFFF);  // transparent
  img.set(2, 1, 0x80123456);
  const std::string png = encode_png(img);
  ASSERT_GT(png.size(), 26u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
  EXPECT_EQ(png[24], 8);  // bit depth
  EXPECT_EQ(png[25], 6);  // RGBA
  Image back = decode_png(png);
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.height, 2);
  EXPECT_EQ(back.pixels, img.pixels);

  // Made by hand (zlib, CRCs): 2x1, an opaque red pixel and a half-transparent blue one.
  const std::string made(
      "\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR\x00\x00\x00\x02\x00\x00\x00\x01\x08\x06\x00\x00\x00\xF4\x22\x7F"
      "\x8A\x00\x00\x00\x0EIDAT\x78\xDA\x63\xF8\xCF\xC0\x00\x42\x0D\x00\x0F\x7A\x03\x7E\x6A\x81\x31\xE1\x00"
      "\x00\x00\x00IEND\xAE\x42\x60\x82",
      71);
  EXPECT_EQ(decode_png(made).pixels, (std::vector<uint32_t>{kRed, 0x800000FF}));

  EXPECT_THROW(decode_png("not a png"), Error);
  EXPECT_THROW(decode_png(""), Error);
  EXPECT_THROW(decode_png(std::string_view(png).substr(0, png.size() - 20)), Error);  // cut in its data
}

// ---- Fonts

struct Ink {
  int count = 0, x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;  // [x0,x1) x [y0,y1)
};

Ink ink(const Image& img) {
  Ink k;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (img.at(x, y) == kBlack) {
        ++k.count;
        k.x0 = std::min(k.x0, x), k.y0 = std::min(k.y0, y);
        k.x1 = std::max(k.x1, x + 1), k.y1 = std::max(k.y1, y + 1);
      }
  return k;
}

Ink drawn(const Font& font, std::string_view text) {
  Image img(100, 60);
  font.draw(img, 20, 10, text);
  return ink(img);
}

TEST(RasterFonts, BothMappedFamiliesDrawInsideTheirCell) {
  for (const std::string family : {"Lucida Console", "Arial"})
    for (int size : {14, 16}) {
      SCOPED_TRACE(family + " " + std::to_string(size));
      const Font font(family, size, true);
      EXPECT_EQ(font.height(), size);

      const Ink x = drawn(font, "X");
      EXPECT_GT(x.count, size);
      EXPECT_GE(x.x0, 20);
      EXPECT_LE(x.x1, 20 + font.width("X"));
      EXPECT_GE(x.y0, 10);
      EXPECT_LE(x.y1, 10 + size);

      // Bold is the heavier face.
      EXPECT_GT(x.count, drawn(Font(family, size, false), "X").count);

      // A control byte neither draws nor moves the pen.
      EXPECT_EQ(font.char_width('\x1B'), 0);
      EXPECT_EQ(font.width("A\033\177B"), font.width("AB"));  // ESC, DEL
      Image with(100, 60), without(100, 60);
      font.draw(with, 0, 0, "A\033\177B");
      font.draw(without, 0, 0, "AB");
      EXPECT_EQ(with.pixels, without.pixels);
      EXPECT_EQ(drawn(font, "\x01\x0A").count, 0);

      // A Windows-1252 byte is its character: 'ã' is an 'a' with a tilde above it.
      const Ink a = drawn(font, "a"), atilde = drawn(font, "\xE3");
      EXPECT_EQ(font.char_width('\xE3'), font.char_width('a'));
      EXPECT_LT(atilde.y0, a.y0);
      EXPECT_EQ(atilde.y1, a.y1);
    }
}

TEST(RasterFonts, TheMonospacedFamilyGivesEveryCharacterOneWidth) {
  const Font font("Lucida Console", 16, true);
  EXPECT_GT(font.char_width('-'), 0);
  EXPECT_EQ(font.width("----------"), 10 * font.char_width('-'));
  EXPECT_EQ(font.width("iW"), 2 * font.char_width('-'));
}

TEST(RasterFonts, AFamilyWithoutABoldFaceIsEmboldened) {
  // fontconfig answers such a family with weight bold and "embolden" set: the face drawn is the regular one.
  const std::string family = "DejaVu Math TeX Gyre";  // fonts-dejavu-extra, when installed
  try {
    Font(family, 16, false);
  } catch (const Error&) {
    GTEST_SKIP() << family << " is not installed";
  }
  EXPECT_GT(drawn(Font(family, 16, true), "X").count, drawn(Font(family, 16, false), "X").count);
}

TEST(RasterFonts, AnUnknownFamilyIsAnErrorNamingIt) {
  try {
    Font("Fonte Que Nao Existe", 14, false);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Fonte Que Nao Existe"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace imp::raster
