// Bitmap pages as pixel facts: where the line rules put the characters, the pitch, the barcode images, the
// page printed as one PNG on a queue of the spooler fixture, and the capture of printed documents.
#include "output/bitmap_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "host/services.h"
#include "module/globals.h"
#include "output/vendor_libs.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/raster.h"
#include "support/private_spooler.h"
#include "support/test_support.h"

namespace imp {
namespace {

namespace fs = std::filesystem;

// The black pixels' box within rows [y0, y1).
struct Box {
  int left = 1 << 20, right = -1;
  bool empty() const { return right < 0; }
};
Box ink(const raster::Image& img, int y0, int y1) {
  Box b;
  for (int y = y0; y < y1 && y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if (img.at(x, y) == raster::kBlack) b.left = std::min(b.left, x), b.right = std::max(b.right, x);
  return b;
}

class BitmapPage : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:00:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);
    hostdir::set(dir.str());
    host::install(nullptr);
    test::write_file(
        dir.path() / "imphost.json",
        R"({"spooler": {"server": ")" + (dir.path() / "sem-spooler.sock").string() + R"(", "timeoutSeconds": 1}})");
    globals::itCanvasWidth.store(380);
    globals::stPrinterName.set("ZJIANG");
    globals::stAbreGaveta.clear();
    globals::stTipoImpressora.set("41");
  }
  void TearDown() override {
    globals::stAbreGaveta.clear();
    StopAndPrintBitMap();
    globals::stImpressoraPLUS2.clear();
    globals::stPrinterName.clear();
    StopDarumaFrameWork();
    unsetenv("IMP_DRIVER_PATH");
    hostdir::set("");
  }
  const raster::Image& page(int* pen = nullptr) {
    const raster::Image* p = OpenBitmapPage(pen);
    EXPECT_NE(p, nullptr);
    static const raster::Image none;
    return p ? *p : none;
  }
  test::TempDir dir;
};

TEST_F(BitmapPage, LineRulesPlaceTheCharacters) {
  const raster::Font font("Arial", 14, true);
  struct Case {
    const char* name;
    std::string text;
    int lines;                     // how far the pen moves, in lines
    std::function<void(Box)> ink;  // the drawn pixels of the first line
  };
  const int w = 380;
  const std::vector<Case> cases = {
      {"a rule spans the width", "----------\n", 1,
       [&](Box b) {
         EXPECT_LE(b.left, 2);
         EXPECT_GE(b.right, w - font.char_width('-'));
       }},
      {"an amount after seven spaces is flush right", "Total       12,50\n", 1,
       [&](Box b) {
         EXPECT_LE(b.left, 2);
         EXPECT_GE(b.right, w + 5 - 3);
         EXPECT_LE(b.right, w + 5);
       }},
      {"a centred line", "  Obrigado  \n", 1,
       [&](Box b) {
         const int middle = (b.left + b.right) / 2;
         EXPECT_NEAR(middle, w / 2, font.char_width(' ') + 2);
       }},
      {"a last line without LF draws nothing", "sem fim", 0, [](Box b) { EXPECT_TRUE(b.empty()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartBitMap("41");
    int before = 0, after = 0;
    page(&before);
    EXPECT_EQ(SaveTextBitMap("41", c.text, "", ""), 1);
    const raster::Image& img = page(&after);
    if (c.lines) {
      EXPECT_EQ(after - before, c.lines * 14);
    }
    c.ink(ink(img, before, before + 14));
    StopAndPrintBitMap();
  }
  // The wide line: every W drawn, over as many lines as it takes.
  StartBitMap("41");
  EXPECT_EQ(SaveTextBitMap("41", std::string(80, 'W') + "\n", "", ""), 1);
  int pen = 0;
  page(&pen);
  const int perLine = (380 + font.char_width('W') - 1) / font.char_width('W');  // the line fills, then breaks
  EXPECT_EQ(pen, 14 * ((80 + perLine - 1) / perLine)) << "a line wider than the canvas keeps every character";
}

TEST_F(BitmapPage, ThePitchFollowsTheCanvas) {
  for (const auto& [width, pitch] : {std::pair{500, 16}, std::pair{380, 14}}) {
    globals::itCanvasWidth.store(width);
    StartBitMap("41");
    SaveTextBitMap("41", "um\ndois\n", "", "");
    int pen = 0;
    EXPECT_EQ(page(&pen).width, width + 5);
    EXPECT_EQ(pen, 2 * pitch) << width;
    StopAndPrintBitMap();
  }
}

TEST_F(BitmapPage, GerarCodigoDrawsWholePairsAndRefusesLetters) {
  struct Case {
    std::string data;
    int width;  // 2 + start 8 + 28 a pair + stop 8 + 2
    int bars;
  };
  for (const Case& c : {Case{"12345", 76, 14}, Case{std::string(44, '7'), 636, 114}}) {
    const fs::path file = dir.path() / "codigo.bmp";
    ASSERT_TRUE(GerarCodigo(c.data, file)) << c.data;
    const raster::Image img = raster::read_bmp(file);
    EXPECT_EQ(img.width, c.width);
    EXPECT_EQ(img.height, 42);
    int bars = 0;
    for (int x = 0; x < img.width; ++x)
      if (img.at(x, 20) == raster::kBlack && img.at(x - 1, 20) != raster::kBlack) ++bars;
    EXPECT_EQ(bars, c.bars);
    EXPECT_EQ(img.at(0, 20), raster::kWhite);
    EXPECT_EQ(img.at(2, 0), raster::kWhite);
    EXPECT_EQ(img.at(2, 1), raster::kBlack);
  }
  EXPECT_FALSE(GerarCodigo("12A4", dir.path() / "letra.bmp"));
  EXPECT_FALSE(fs::exists(dir.path() / "letra.bmp"));
}

// The page prints as one PNG on the current printer, the mirror lands in tmp/, and a drawer opening keeps
// the page open for the next document.
TEST_F(BitmapPage, ThePagePrintsAsOneImageJob) {
  test::PrivateSpooler cups(dir.path());
  const fs::path capture = dir.path() / "zjiang.png";
  cups.add("ZJIANG", "capture:" + capture.string(), "Zjiang ZJ-8220", true);
  StartBitMap("41");
  SaveTextBitMap("41", "PEDIDO 12\n----------\nTotal       12,50\n", "", "");
  int beforeQr = 0, afterQr = 0;
  page(&beforeQr);
  EXPECT_EQ(SaveTextBitMap("41", "", "https://nfce.exemplo", ""), 1) << test::read_file(log::daily_log_path());
  // The QR code: one line's gap above, centred, the pen past it and another gap.
  const raster::Image& drawn = page(&afterQr);
  const int qrHeight = afterQr - beforeQr - 2 * 14;
  ASSERT_GT(qrHeight, 20);
  EXPECT_TRUE(ink(drawn, beforeQr, beforeQr + 14).empty()) << "a line's gap above the code";
  const Box qr = ink(drawn, beforeQr + 14, beforeQr + 14 + qrHeight);
  ASSERT_FALSE(qr.empty());
  EXPECT_NEAR((qr.left + qr.right) / 2.0, 380 / 2.0, 3.0);
  globals::stAbreGaveta.set("S");
  EXPECT_EQ(StopAndPrintBitMap(), 1);
  EXPECT_NE(OpenBitmapPage(nullptr), nullptr) << "a drawer opening keeps the page";
  globals::stAbreGaveta.clear();
  SaveTextBitMap("41", "depois da gaveta\n", "", "");
  int pen = 0;
  page(&pen);
  EXPECT_EQ(StopAndPrintBitMap(), 1) << test::read_file(log::daily_log_path());
  EXPECT_EQ(OpenBitmapPage(nullptr), nullptr);
  const std::string png = test::PrivateSpooler::captured(capture, 100);
  const raster::Image printed = raster::decode_png(png);
  EXPECT_EQ(printed.width, 385);
  EXPECT_EQ(printed.height, pen);
  EXPECT_FALSE(ink(printed, 0, printed.height).empty());
  EXPECT_EQ(cups.job_titles("ZJIANG").size(), 1u);
  // The mirror image: the line's width, cut to the pen's height.
  const raster::Image mirror = raster::read_bmp(dir.path() / "tmp" / "120000.bmp");
  EXPECT_EQ(mirror.width, 380);
  EXPECT_EQ(mirror.height, pen);
}

TEST_F(BitmapPage, CapturesNeedTheirMarker) {
  const std::string dashes(43, '-');
  FormataTX_BitMap("13", "Mesa 12\n" + dashes + "\n", 2, 0, 0, 0, 0);
  FechaPorta_BitMap("13");
  EXPECT_EQ(globals::stTextoDocumento.get(), "");
  EXPECT_FALSE(fs::exists(dir.path() / "tmp" / "09_12_2026_12_00_00_000.txt"));

  test::write_file(dir.path() / "tmp" / "criarcupons", "");
  FormataTX_BitMap("13", "Mesa 12\n" + dashes + "\nCafe  expresso    com    leite    e    acucar  mascavo\n", 2, 0, 0,
                   0, 0);
  ImprimeCODE128_BitMap("13", "12345678");
  FechaPorta_BitMap("13");
  const std::string text = test::read_file(dir.path() / "tmp" / "09_12_2026_12_00_00_000.txt");
  EXPECT_NE(text.find("\r\n" + std::string(40, '-') + "\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find(dashes), std::string::npos);
  for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    EXPECT_LE(end - at, 42u) << text.substr(at, end - at);
  EXPECT_TRUE(fs::exists(dir.path() / "tmp" / "09122026120000000.bmp"));
  EXPECT_EQ(globals::stTextoDocumento.get(), "");
}

}  // namespace
}  // namespace imp
