// The stand-in printer drivers, loaded with dlopen as the module loads them, printing to port files of a
// temporary host folder and to network printers on loopback.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/network_printer.h"
#include "support/silent_server.h"
#include "support/test_support.h"

namespace imp {
namespace {

const std::filesystem::path kDrivers = IMP_DRIVERS_DIR;

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

// The GS ( k sequence: model 2, module size, error correction, data stored, printed.
std::string qr(int module, int level, const std::string& data) {
  const std::size_t n = data.size() + 3;
  return B({0x1D, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x41, 0x32, 0x00}) +
         B({0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x43, module}) +
         B({0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x45, 0x30 + level}) +
         B({0x1D, 0x28, 0x6B, static_cast<int>(n & 0xFF), static_cast<int>(n >> 8), 0x31, 0x50, 0x30}) + data +
         B({0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x51, 0x30});
}

const std::string kPulse = B({0x1B, 0x70, 0x00, 0x32, 0xFA});
const std::string kBold = B({0x1B, 0x45, 0x01}), kBoldOff = B({0x1B, 0x45, 0x00});

// A driver library, loaded for the object's lifetime (each load starts with no port open).
class Driver {
 public:
  explicit Driver(const std::filesystem::path& file) : handle_(::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) throw std::runtime_error(::dlerror());
  }
  ~Driver() { ::dlclose(handle_); }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  bool has(const char* entry) const { return ::dlsym(handle_, entry) != nullptr; }
  // Calls an entry with the C types of the arguments given (const char*, int32_t, int32_t*).
  template <class... A>
  int32_t operator()(const char* entry, A... args) const {
    void* p = ::dlsym(handle_, entry);
    if (!p) throw std::runtime_error(std::string("no entry ") + entry);
    return reinterpret_cast<int32_t (*)(A...)>(p)(args...);
  }

 private:
  void* handle_;
};

// Every port a driver may choose, mapped to one capture file of the host folder.
const std::string kAllPorts = R"("lpt1": "out.prn", "USB": "out.prn", "DARUMA": "out.prn", "SI300": "out.prn")";

class Drivers : public ::testing::Test {
 protected:
  std::string configuration(const std::string& ports, int timeout = 10) const {
    return R"({"hostDir": ")" + host.str() + R"(", "ports": {)" + ports + R"(}, "timeoutSeconds": )" +
           std::to_string(timeout) + "}";
  }
  std::unique_ptr<Driver> load(const char* library, const std::string& ports = kAllPorts, int timeout = 10) const {
    auto d = std::make_unique<Driver>(kDrivers / library);
    EXPECT_EQ((*d)("imp_driver_configure", configuration(ports, timeout).c_str()), 1);
    return d;
  }
  std::string printed(const char* file = "out.prn") const { return test::read_file(host.path() / file); }

  test::TempDir host;
};

// ---- what each entry writes ----

struct Call {
  const char* library;
  const char* what;
  std::function<int32_t(const Driver&, int32_t handle)> call;
  int32_t result;
  std::string bytes;
};

// Opens the port the way each library does; the kiosk library's handle is returned.
int32_t open_port(const Driver& d, const std::string& library) {
  if (library == "libMp2032.so" || library == "libInterfaceEpsonNF.so") return d("IniciaPorta", "lpt1:");
  if (library == "libSI300.so") return d("SI300_eBuscarPortaVelocidade") == 0 ? 1 : 0;
  if (library == "libKIOSKDLL.so") return d("KIOSK_OpenUsb");
  return 1;  // the Daruma framework has no open
}

TEST_F(Drivers, EntriesWriteTheirBytes) {
  const std::string long_code(254, '7');
  const std::vector<Call> calls = {
      {"libMp2032.so", "normal bold text",
       [](const Driver& d, int32_t) { return d("FormataTX", "Mesa 12\n", 2, 0, 0, 0, 1); }, 1,
       B({0x1B, 0x21, 0x00}) + kBold + "Mesa 12\n" + kBoldOff},
      {"libMp2032.so", "every flag, reset in reverse order",
       [](const Driver& d, int32_t) { return d("FormataTX", "X", 1, 1, 1, 1, 1); }, 1,
       B({0x1B, 0x21, 0x01, 0x1B, 0x2D, 0x01, 0x1D, 0x21, 0x10}) + kBold + "X" + kBoldOff +
           B({0x1D, 0x21, 0x00, 0x1B, 0x2D, 0x00})},
      {"libMp2032.so", "elite prints condensed",
       [](const Driver& d, int32_t) { return d("FormataTX", "y", 3, 0, 0, 1, 0); }, 1,
       B({0x1B, 0x21, 0x01, 0x1D, 0x21, 0x10}) + "y" + B({0x1D, 0x21, 0x00})},
      {"libMp2032.so", "empty text", [](const Driver& d, int32_t) { return d("FormataTX", "", 2, 0, 0, 0, 1); }, 1, ""},
      {"libMp2032.so", "bar code setup clamped",
       [](const Driver& d, int32_t) { return d("ConfiguraCodigoBarras", 80, 9, 2, 1, 10); }, 1,
       B({0x1D, 0x68, 80, 0x1D, 0x77, 6, 0x1D, 0x48, 2, 0x1D, 0x66, 1})},
      {"libMp2032.so", "CODE128 in code set B",
       [](const Driver& d, int32_t) { return d("ImprimeCodigoBarrasCODE128", "7891"); }, 1,
       B({0x1D, 0x6B, 0x49, 6}) + "{B7891"},
      {"libMp2032.so", "CODE128 with its own code set",
       [](const Driver& d, int32_t) { return d("ImprimeCodigoBarrasCODE128", "{C1234"); }, 1,
       B({0x1D, 0x6B, 0x49, 6}) + "{C1234"},
      {"libMp2032.so", "CODE128 longer than 255 bytes",
       [&](const Driver& d, int32_t) { return d("ImprimeCodigoBarrasCODE128", long_code.c_str()); }, 0, ""},
      {"libMp2032.so", "QR code",
       [](const Driver& d, int32_t) { return d("ImprimeCodigoQRCODE", 2, 5, 0, 0, 0, "https://nfce/?p=1"); }, 1,
       qr(5, 2, "https://nfce/?p=1")},
      {"libMp2032.so", "QR error correction clamped",
       [](const Driver& d, int32_t) { return d("ImprimeCodigoQRCODE", 9, 3, 0, 0, 0, "a"); }, 1, qr(3, 3, "a")},
      {"libMp2032.so", "full cut", [](const Driver& d, int32_t) { return d("AcionaGuilhotina", 0); }, 1,
       B({0x0A, 0x0A, 0x0A, 0x1D, 0x56, 0x00})},
      {"libMp2032.so", "partial cut", [](const Driver& d, int32_t) { return d("AcionaGuilhotina", 1); }, 1,
       B({0x0A, 0x0A, 0x0A, 0x1D, 0x56, 0x01})},
      {"libMp2032.so", "raw bytes, NUL included",
       [](const Driver& d, int32_t) { return d("ComandoTX", "\x1b@\0x", 4); }, 1, std::string("\x1b@\0x", 4)},
      {"libMp2032.so", "no raw bytes", [](const Driver& d, int32_t) { return d("ComandoTX", "x", 0); }, 0, ""},
      {"libMp2032.so", "stored images are not defined",
       [](const Driver& d, int32_t) { return d("DefineNVBitmap", 1, "logo.bmp"); }, 1, ""},
      {"libMp2032.so", "stored image printed", [](const Driver& d, int32_t) { return d("PrintNVBitmap", 1, 0); }, 1,
       B({0x1C, 0x70, 1, 0})},
      {"libInterfaceEpsonNF.so", "formatted text",
       [](const Driver& d, int32_t) { return d("FormataTX", "E", 2, 0, 1, 0, 0); }, 1,
       B({0x1B, 0x21, 0x00, 0x1B, 0x2D, 0x01}) + "E" + B({0x1B, 0x2D, 0x00})},
      {"libInterfaceEpsonNF.so", "tag text", [](const Driver& d, int32_t) { return d("ImprimeTextoTag", "<b>ok</b>"); },
       1, kBold + "ok" + kBoldOff},
      {"libInterfaceEpsonNF.so", "drawer", [](const Driver& d, int32_t) { return d("AcionaGaveta"); }, 1, kPulse},
      {"libInterfaceEpsonNF.so", "serial speed writes nothing",
       [](const Driver& d, int32_t) { return d("ConfiguraTaxaSerial", 9600); }, 1, ""},
      {"libDarumaFrameWork.so", "tag text",
       [](const Driver& d, int32_t) { return d("iImprimirTexto_DUAL_DarumaFramework", "<ce>Mesa</ce>", 0); }, 1,
       B({0x1B, 0x61, 0x01}) + "Mesa" + B({0x1B, 0x61, 0x00})},
      {"libSI300.so", "tag text", [](const Driver& d, int32_t) { return d("SI300_iImprimirTexto", "<b>T</b>", 0); }, 1,
       kBold + "T" + kBoldOff},
      {"libSI300.so", "drawer", [](const Driver& d, int32_t) { return d("SI300_iAcionarGaveta"); }, 1, kPulse},
      {"libSI300.so", "QR code with text beside it, module 4",
       [](const Driver& d, int32_t) { return d("SI300_iImprimeQRCode_TextoDireita", "abc", "<b>R$ 10</b>"); }, 1,
       B({0x1B, 0x4C}) + qr(4, 1, "abc") + kBold + "R$ 10" + kBoldOff + B({0x0C, 0x1B, 0x53})},
      {"libSI300.so", "QR code size set",
       [](const Driver& d, int32_t) {
         return d("SI300_setSize_Qrcode", 7) + d("SI300_iImprimeQRCode_TextoDireita", "abc", "");
       },
       2, B({0x1B, 0x4C}) + qr(7, 1, "abc") + B({0x0C, 0x1B, 0x53})},
      {"libKIOSKDLL.so", "text twice wide, three times high",
       [](const Driver& d, int32_t h) { return d("KIOSK_S_Textout", h, 0, "Oi", 0, 2, 3, 0, 0); }, 1,
       B({0x1D, 0x21, 0x12}) + "Oi" + B({0x1D, 0x21, 0x00})},
      {"libKIOSKDLL.so", "plain text",
       [](const Driver& d, int32_t h) { return d("KIOSK_S_Textout", h, 0, "a", 0, 1, 1, 0, 0); }, 1, "a"},
      {"libKIOSKDLL.so", "CODE128",
       [](const Driver& d, int32_t h) { return d("KIOSK_S_PrintBarcode", h, 0, "{B1234", 0, 73, 3, 60, 2, 0, 6); }, 1,
       B({0x1D, 0x68, 60, 0x1D, 0x77, 3, 0x1D, 0x48, 2, 0x1D, 0x66, 0, 0x1D, 0x6B, 73, 6}) + "{B1234"},
      {"libKIOSKDLL.so", "full cut", [](const Driver& d, int32_t h) { return d("KIOSK_CutPaper", h, 0, 0, 0); }, 1,
       B({0x0A, 0x0A, 0x0A, 0x1D, 0x56, 0x00})},
      {"libKIOSKDLL.so", "partial cut", [](const Driver& d, int32_t h) { return d("KIOSK_CutPaper", h, 0, 1, 0); }, 1,
       B({0x0A, 0x0A, 0x0A, 0x1D, 0x56, 0x01})},
      {"libKIOSKDLL.so", "feed", [](const Driver& d, int32_t h) { return d("KIOSK_FeedLines", h, 0, 4); }, 1,
       B({0x1B, 0x64, 4})},
      {"libKIOSKDLL.so", "centred", [](const Driver& d, int32_t h) { return d("KIOSK_S_SetAlignMode", h, 0, 1); }, 1,
       B({0x1B, 0x61, 1})},
      {"libKIOSKDLL.so", "raw bytes", [](const Driver& d, int32_t h) { return d("KIOSK_WriteData", h, 0, "\x1b@", 2); },
       1, "\x1b@"},
      {"libKIOSKDLL.so", "a handle never opened",
       [](const Driver& d, int32_t h) { return d("KIOSK_WriteData", h + 100, 0, "x", 1); }, 0, ""},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(std::string(c.library) + ": " + c.what);
    std::filesystem::remove(host.path() / "out.prn");
    auto d = load(c.library);
    const int32_t handle = open_port(*d, c.library);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(c.call(*d, handle), c.result);
    EXPECT_EQ(printed(), c.bytes);
  }
}

// The tags of the tag-text entries, through the framework.
TEST_F(Drivers, TagsBecomeCommands) {
  struct Tag {
    std::string text, bytes;
  };
  const std::vector<Tag> tags = {
      {"<ce>A</ce><c>b</c>", B({0x1B, 0x61, 1}) + "A" + B({0x1B, 0x61, 0, 0x1B, 0x21, 1}) + "b" + B({0x1B, 0x21, 0})},
      {"<e>G</e><b>N</b>", B({0x1D, 0x21, 0x10}) + "G" + B({0x1D, 0x21, 0}) + kBold + "N" + kBoldOff},
      {"x<l></l>y<sl>3</sl>", "x\ny\n\n\n"},
      {"<gui></gui><g></g>", B({0x0A, 0x0A, 0x0A, 0x1D, 0x56, 0x00}) + kPulse},
      {"<qrcode>https://q<lmodulo>6</lmodulo></qrcode>", qr(6, 1, "https://q")},
      {"<qrcode>abc</qrcode>", qr(4, 1, "abc")},
      {"<ibmp>/nonexistent/logo.bmp</ibmp>ok", "ok"},
      // not ours: text, as are control bytes and bytes above 0x7F
      {"<xyz>1 < 2</xyz><sl>x</sl><b", "<xyz>1 < 2</xyz><sl>x</sl><b"},
      {"\x1b\x0f"
       "Caf\xe9",
       "\x1b\x0f"
       "Caf\xe9"},
  };
  auto d = load("libDarumaFrameWork.so");
  for (const auto& t : tags) {
    SCOPED_TRACE(t.text);
    std::filesystem::remove(host.path() / "out.prn");
    EXPECT_EQ((*d)("iImprimirTexto_DUAL_DarumaFramework", t.text.c_str(), 0), 1);
    EXPECT_EQ(printed(), t.bytes);
  }
}

// ---- images ----

// A BMP of `rows` (top row first, each already packed as the depth wants it, without padding).
std::string bmp(int width, int depth, const std::vector<std::string>& rows, bool top_down = false,
                const std::string& palette = "") {
  auto le = [](std::uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
  };
  const std::size_t stride = (static_cast<std::size_t>(width) * depth + 31) / 32 * 4;
  std::string pixels;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string row = rows[top_down ? i : rows.size() - 1 - i];
    row.resize(stride, '\0');
    pixels += row;
  }
  const auto height = static_cast<std::uint32_t>(top_down ? -static_cast<int>(rows.size()) : rows.size());
  const std::uint32_t at = 54 + static_cast<std::uint32_t>(palette.size());
  return "BM" + le(at + static_cast<std::uint32_t>(pixels.size()), 4) + le(0, 4) + le(at, 4) + le(40, 4) +
         le(static_cast<std::uint32_t>(width), 4) + le(height, 4) + le(1, 2) +
         le(static_cast<std::uint32_t>(depth), 2) + le(0, 4) + le(static_cast<std::uint32_t>(pixels.size()), 4) +
         le(2835, 4) + le(2835, 4) + le(0, 4) + le(0, 4) + palette + pixels;
}

TEST_F(Drivers, BitmapsPrintAsRasterImages) {
  const std::string black_first = B({0, 0, 0, 0, 255, 255, 255, 0});  // index 0 black, 1 white
  struct Image {
    const char* what;
    std::string file, raster;
  };
  const std::vector<Image> images = {
      // 3 pixels wide: rows padded to 12 bytes, bottom-up; 100 is dark, 200 light
      {"24-bit", bmp(3, 24, {B({0, 0, 0, 255, 255, 255, 100, 100, 100}), B({255, 255, 255, 200, 200, 200, 0, 0, 0})}),
       B({0x1D, 0x76, 0x30, 0, 1, 0, 2, 0, 0xA0, 0x20})},
      // 10 pixels wide, palette black first, rows stored top-down
      {"1-bit", bmp(10, 1, {B({0x0F, 0xC0}), B({0xFF, 0x40})}, true, black_first),
       B({0x1D, 0x76, 0x30, 0, 2, 0, 2, 0, 0xF0, 0x00, 0x00, 0x80})},
      {"compressed", bmp(3, 24, {B({0, 0, 0, 0, 0, 0, 0, 0, 0})}).replace(30, 1, "\x01"), ""},
      {"cut short", bmp(3, 24, {B({0, 0, 0, 0, 0, 0, 0, 0, 0})}).substr(0, 60), ""},
  };
  auto d = load("libDarumaFrameWork.so");
  for (const auto& i : images) {
    SCOPED_TRACE(i.what);
    std::filesystem::remove(host.path() / "out.prn");
    test::write_file(host.path() / "img.bmp", i.file);
    EXPECT_EQ((*d)("iImprimirTexto_DUAL_DarumaFramework",
                   ("<ibmp>" + (host.path() / "img.bmp").string() + "</ibmp>").c_str(), 0),
              1);
    EXPECT_EQ(printed(), i.raster);
  }
}

std::uint32_t le32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
  return v;
}

// A QR code as a 1-bit BMP: four pixels a module, four modules of quiet zone, rows bottom-up, palette index 1
// black. Read back top-down, its timing row (module row 6) alternates dark and light between the finders,
// which holds for no other orientation.
TEST_F(Drivers, QrCodeBitmap) {
  auto q = load("libQrCode_DarumaFramework.so");
  const auto file = host.path() / "qr.bmp";
  const std::string data = "https://nfce.example/qrcode?p=35240612345678000190650010000012341000012340|2|1|1|A1B2C3";
  ASSERT_EQ((*q)("GerarQrCodeBMP_Daruma", file.c_str(), data.c_str()), 1);
  const std::string f = test::read_file(file);
  ASSERT_GE(f.size(), 62u);
  EXPECT_EQ(f.substr(0, 2), "BM");
  EXPECT_EQ(le32(f, 2), f.size());
  EXPECT_EQ(le32(f, 10), 62u);
  const std::uint32_t side = le32(f, 18);
  EXPECT_EQ(le32(f, 22), side);  // square, bottom-up
  EXPECT_EQ(f.substr(26, 4), B({1, 0, 1, 0}));
  EXPECT_EQ(f.substr(54, 8), B({255, 255, 255, 0, 0, 0, 0, 0}));
  const std::uint32_t modules = side / 4, symbol = modules - 8;
  ASSERT_EQ(side % 4, 0u);
  ASSERT_EQ((symbol - 21) % 4, 0u) << "not a QR symbol width";
  const std::size_t stride = (side + 31) / 32 * 4;
  ASSERT_EQ(f.size(), 62 + stride * side);
  auto dark = [&](std::uint32_t module_x, std::uint32_t module_y) {  // symbol modules, from the top left
    const std::uint32_t x = (module_x + 4) * 4 + 1, y = (module_y + 4) * 4 + 1;
    const std::size_t row = 62 + (side - 1 - y) * stride;
    return (static_cast<unsigned char>(f[row + x / 8]) >> (7 - x % 8) & 1) != 0;
  };
  EXPECT_NE(f.find_first_not_of('\0', 62), std::string::npos) << "blank";
  EXPECT_EQ(f.substr(62, stride * 16).find_first_not_of('\0'), std::string::npos) << "quiet zone";
  EXPECT_TRUE(dark(0, 0) && dark(symbol - 1, 0) && dark(0, symbol - 1));  // finder corners
  for (std::uint32_t x = 8; x < symbol - 8; ++x) EXPECT_EQ(dark(x, 6), x % 2 == 0) << "timing module " << x;

  // The framework prints the file as an image of the same size.
  auto d = load("libDarumaFrameWork.so");
  ASSERT_EQ((*d)("iImprimirTexto_DUAL_DarumaFramework", ("<ibmp>" + file.string() + "</ibmp>").c_str(), 0), 1);
  const std::string raster = printed();
  const std::size_t row_bytes = (side + 7) / 8;
  ASSERT_EQ(raster.size(), 8 + row_bytes * side);
  EXPECT_EQ(raster.substr(0, 8), B({0x1D, 0x76, 0x30, 0, static_cast<int>(row_bytes), 0, static_cast<int>(side & 0xFF),
                                    static_cast<int>(side >> 8)}));

  EXPECT_EQ((*q)("GerarQrCodeBMP_Daruma", file.c_str(), ""), 0);
  EXPECT_EQ((*q)("GerarQrCodeBMP_Daruma", (host.path() / "missing" / "qr.bmp").c_str(), "x"), 0);
}

// ---- ports ----

// The drivers without a port argument print to their own mapped port, else to USB.
TEST_F(Drivers, PortsTheDriversChoose) {
  {
    auto d = load("libDarumaFrameWork.so", R"("DARUMA": "daruma.prn", "USB": "usb.prn")");
    EXPECT_EQ((*d)("iImprimirTexto_DUAL_DarumaFramework", "a", 0), 1);
    d = load("libDarumaFrameWork.so", R"("USB": "usb.prn")");
    EXPECT_EQ((*d)("iImprimirTexto_DUAL_DarumaFramework", "b", 0), 1);
  }
  EXPECT_EQ(printed("daruma.prn"), "a");
  EXPECT_EQ(printed("usb.prn"), "b");

  auto s = load("libSI300.so", R"("SI300": "si300.prn", "USB": "usb.prn")");
  EXPECT_EQ((*s)("SI300_eBuscarPortaVelocidade"), 0);  // 0: found
  EXPECT_EQ((*s)("SI300_iImprimirTexto", "c", 0), 1);
  EXPECT_EQ(printed("si300.prn"), "c");
  s.reset();
  s = load("libSI300.so", R"("USB": "/dev/imp-no-printer")");
  EXPECT_EQ((*s)("SI300_eBuscarPortaVelocidade"), 1);
  EXPECT_EQ((*s)("SI300_iImprimirTexto", "d", 0), 0);

  auto k = load("libKIOSKDLL.so", R"("USB": "/dev/imp-no-printer")");
  EXPECT_EQ((*k)("KIOSK_OpenUsb"), 0);
}

TEST_F(Drivers, KioskHandles) {
  auto k = load("libKIOSKDLL.so");
  const int32_t first = (*k)("KIOSK_OpenUsb"), second = (*k)("KIOSK_OpenUsb");
  EXPECT_GT(first, 0);
  EXPECT_NE(second, first);
  EXPECT_EQ((*k)("KIOSK_CloseUsb", first), 1);
  EXPECT_EQ((*k)("KIOSK_CloseUsb", first), 0);
  EXPECT_EQ((*k)("KIOSK_FeedLines", first, 0, 1), 0);
  EXPECT_EQ((*k)("KIOSK_FeedLines", second, 0, 1), 1);
  // only USB opens; the timeout settings are accepted
  EXPECT_EQ((*k)("KIOSK_OpenCom", "COM1", 9600, 0, 8, 0, 0), 0);
  EXPECT_EQ((*k)("KIOSK_OpenLptByDrv", "LPT1"), 0);
  EXPECT_EQ((*k)("KIOSK_OpenUsbByID", 1), 0);
  EXPECT_EQ((*k)("KIOSK_SetUsbTimeOuts", second, 1000, 1000), 1);
  EXPECT_EQ((*k)("KIOSK_SetComTimeOuts", second, 0, 0, 0, 0), 1);
}

// A loopback port nobody listens on.
int closed_port() {
  test::SilentServer s;
  return s.port();
}

// An address is a network printer: opening connects once and sends nothing, each write is one connection.
TEST_F(Drivers, NetworkPrinters) {
  auto printer = std::make_unique<test::NetworkPrinter>();
  const std::string address = "127.0.0.1:" + std::to_string(printer->port());
  auto m = load("libMp2032.so");
  ASSERT_EQ((*m)("IniciaPorta", address.c_str()), 1);
  EXPECT_EQ((*m)("FormataTX", "Oi", 2, 0, 0, 0, 0), 1);
  auto s = load("libSI300.so");
  ASSERT_EQ((*s)("SI300_setIP_Porta", address.c_str()), 1);
  EXPECT_EQ((*s)("SI300_iAcionarGaveta"), 1);
  EXPECT_EQ(printer->jobs(4), (std::vector<std::string>{"", B({0x1B, 0x21, 0}) + "Oi", "", kPulse}));

  printer.reset();  // the printer goes away: its writes fail
  EXPECT_EQ((*m)("FormataTX", "Oi", 2, 0, 0, 0, 0), 0);
  const std::string nobody = "127.0.0.1:" + std::to_string(closed_port());
  EXPECT_EQ((*m)("IniciaPorta", nobody.c_str()), 0);
  EXPECT_EQ((*s)("SI300_setIP_Porta", nobody.c_str()), 0);
  EXPECT_EQ((*s)("SI300_setIP_Porta", "127.0.0.1:porta"), 0);  // not an address

  // A printer that stops reading fails the write within the configured timeout.
  test::SilentServer stalled(4096);
  m = load("libMp2032.so", R"("LPT1": "socket://127.0.0.1:)" + std::to_string(stalled.port()) + "\"", 1);
  ASSERT_EQ((*m)("IniciaPorta", "LPT1"), 1);
  const std::string job(8 << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ((*m)("ComandoTX", job.c_str(), static_cast<int32_t>(job.size())), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(Drivers, WritesThatFailGiveZero) {
  auto m = load("libMp2032.so");
  EXPECT_EQ((*m)("FormataTX", "x", 2, 0, 0, 0, 0), 0);  // no port open
  EXPECT_EQ((*m)("IniciaPorta", "/dev/imp-no-printer"), 0);
  EXPECT_EQ((*m)("IniciaPorta", "not an address!"), 0);
  ASSERT_EQ((*m)("IniciaPorta", "LPT1"), 1);
  EXPECT_EQ((*m)("FechaPorta"), 1);
  EXPECT_EQ((*m)("FechaPorta"), 0);
  EXPECT_EQ((*m)("AcionaGuilhotina", 0), 0);

  // The capture file becomes a folder after the port opened: every driver's write fails.
  ASSERT_EQ((*m)("IniciaPorta", "LPT1"), 1);
  auto d = load("libDarumaFrameWork.so");
  auto k = load("libKIOSKDLL.so");
  const int32_t handle = (*k)("KIOSK_OpenUsb");
  ASSERT_GT(handle, 0);
  std::filesystem::remove(host.path() / "out.prn");
  std::filesystem::create_directory(host.path() / "out.prn");
  EXPECT_EQ((*m)("FormataTX", "x", 2, 0, 0, 0, 0), 0);
  EXPECT_EQ((*d)("iImprimirTexto_DUAL_DarumaFramework", "x", 0), 0);
  EXPECT_EQ((*k)("KIOSK_WriteData", handle, 0, "x", 1), 0);
}

// A network printer answering the drawer status query (DLE EOT 1) with `answer`, or never answering.
class StatusPrinter {
 public:
  explicit StatusPrinter(std::optional<unsigned char> answer) : answer_(answer) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 8) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      throw std::runtime_error("StatusPrinter: no loopback listener");
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        std::string got;
        char buf[16];
        pollfd q{c, POLLIN, 0};
        while (got.size() < 3 && ::poll(&q, 1, 1000) > 0) {
          const ssize_t n = ::read(c, buf, sizeof buf);
          if (n <= 0) break;
          got.append(buf, static_cast<std::size_t>(n));
        }
        if (!got.empty()) {
          std::lock_guard lk(m_);
          asked_ = got;
        }
        if (got.size() >= 3 && answer_) ::send(c, &*answer_, 1, MSG_NOSIGNAL);
        while (::poll(&q, 1, 1000) > 0 && ::read(c, buf, sizeof buf) > 0) {
        }
        ::close(c);
      }
    });
  }
  ~StatusPrinter() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string asked() {
    std::lock_guard lk(m_);
    return asked_;
  }

 private:
  std::optional<unsigned char> answer_;
  int fd_ = -1, port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex m_;
  std::string asked_;
  std::thread thread_;
};

// Bit 2 of the status byte reads as an open drawer; no answer, or a port that cannot answer, is -1.
TEST_F(Drivers, DrawerStatus) {
  struct Answer {
    std::optional<unsigned char> byte;
    int32_t status;
  };
  for (const Answer& a : {Answer{0x16, 1}, Answer{0x12, 0}, Answer{std::nullopt, -1}}) {
    SCOPED_TRACE(a.status);
    StatusPrinter printer(a.byte);
    auto m = load("libMp2032.so");
    ASSERT_EQ((*m)("IniciaPorta", printer.address().c_str()), 1);
    EXPECT_EQ((*m)("Le_Status_Gaveta"), a.status);
    EXPECT_EQ(printer.asked(), B({0x10, 0x04, 0x01}));
    auto d = load("libDarumaFrameWork.so", R"("DARUMA": "socket://)" + printer.address() + "\"");
    int32_t status = 7;
    EXPECT_EQ((*d)("rStatusGaveta_DUAL_DarumaFramework", &status), 1);
    EXPECT_EQ(status, a.status);
  }
  auto m = load("libMp2032.so");
  EXPECT_EQ((*m)("Le_Status_Gaveta"), -1);  // no port open
  ASSERT_EQ((*m)("IniciaPorta", "LPT1"), 1);
  EXPECT_EQ((*m)("Le_Status_Gaveta"), -1);  // a capture file
  EXPECT_EQ(printed(), "");
  auto d = load("libDarumaFrameWork.so");
  EXPECT_EQ((*d)("rStatusGaveta_DUAL_DarumaFramework", static_cast<int32_t*>(nullptr)), 0);
}

// ---- configuration, trace, library files ----

TEST_F(Drivers, Configure) {
  auto m = load("libMp2032.so", R"("LPT1": "first.prn")");
  for (const char* bad : {"not json", "[1]", R"({"ports": []})", R"({"ports": {"LPT1": 5}})", R"({"hostDir": 1})",
                          R"({"timeoutSeconds": "10"})", R"({"timeoutSeconds": 0})"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ((*m)("imp_driver_configure", bad), 0);
  }
  EXPECT_EQ((*m)("imp_driver_configure", static_cast<const char*>(nullptr)), 0);
  // a refused configuration leaves the one before
  ASSERT_EQ((*m)("IniciaPorta", "LPT1"), 1);
  EXPECT_EQ((*m)("ComandoTX", "a", 1), 1);
  EXPECT_EQ(printed("first.prn"), "a");

  // Port files lie below hostDir: an absolute one there is taken as given, one outside it is refused.
  test::TempDir outside;
  EXPECT_EQ((*m)("imp_driver_configure", configuration(R"("LPT2": ")" + (host.path() / "abs.prn").string() +
                                                       R"(", "LPT3": ")" + (outside.path() / "x.prn").string() + "\"")
                                             .c_str()),
            1);
  EXPECT_EQ((*m)("IniciaPorta", "LPT2"), 1);
  EXPECT_EQ((*m)("IniciaPorta", "LPT3"), 0);
  EXPECT_FALSE(std::filesystem::exists(outside.path() / "x.prn"));
}

TEST_F(Drivers, TraceLines) {
  const auto file = host.path() / "trace.log";
  auto m = load("libMp2032.so");
  auto d = load("libDarumaFrameWork.so", "");
  ::setenv("IMP_DRIVER_TRACE", file.c_str(), 1);
  (*m)("FormataTX", "Mesa 12\n", 2, 0, 0, 0, 1);  // no port open: fails, and is traced
  (*m)("IniciaPorta", "lpt1");
  (*m)("FormataTX", "Caf\xe9 \"x\"\\\r\t", 2, 0, 0, 0, 0);
  (*m)("ComandoTX", "\x1b@", 2);
  (*m)("ComandoTX", "", 0);
  (*m)("Le_Status_Gaveta");
  int32_t status = 0;
  (*d)("rStatusGaveta_DUAL_DarumaFramework", &status);
  ::unsetenv("IMP_DRIVER_TRACE");
  (*m)("FechaPorta");
  EXPECT_EQ(test::read_file(file),
            "Mp2032 FormataTX(\"Mesa 12\\n\", 2, 0, 0, 0, 1) = 0\n"
            "Mp2032 IniciaPorta(\"lpt1\") = 1\n"
            "Mp2032 FormataTX(\"Caf\\xE9 \\\"x\\\"\\\\\\r\\x09\", 2, 0, 0, 0, 0) = 1\n"
            "Mp2032 ComandoTX(1B 40, 2) = 1\n"
            "Mp2032 ComandoTX(, 0) = 0\n"
            "Mp2032 Le_Status_Gaveta() = -1\n"
            "DarumaFrameWork rStatusGaveta_DUAL_DarumaFramework(&-1) = 1\n");
}

TEST(DriverFiles, EntriesAndVersions) {
  const std::vector<std::pair<const char*, std::vector<const char*>>> libraries = {
      {"libMp2032.so",
       {"IniciaPorta", "FormataTX", "ConfiguraCodigoBarras", "ImprimeCodigoQRCODE", "ImprimeCodigoBarrasCODE128",
        "AcionaGuilhotina", "ComandoTX", "DefineNVBitmap", "PrintNVBitmap", "FechaPorta", "Le_Status_Gaveta"}},
      {"libDarumaFrameWork.so",
       {"eDefinirProduto_Daruma", "iImprimirTexto_DUAL_DarumaFramework", "rStatusGaveta_DUAL_DarumaFramework"}},
      {"libQrCode_DarumaFramework.so", {"GerarQrCodeBMP_Daruma"}},
      {"libInterfaceEpsonNF.so",
       {"ConfiguraTaxaSerial", "IniciaPorta", "FormataTX", "ConfiguraCodigoBarras", "ImprimeCodigoQRCODE",
        "ImprimeTextoTag", "ImprimeCodigoBarrasCODE128", "AcionaGaveta", "AcionaGuilhotina", "ComandoTX",
        "FechaPorta"}},
      {"libSI300.so",
       {"SI300_eBuscarPortaVelocidade", "SI300_iImprimirTexto", "SI300_iAcionarGaveta", "SI300_fecharPorta",
        "SI300_iImprimeQRCode_TextoDireita", "SI300_setIP_Porta", "SI300_Criar_NovoDispositivo",
        "SI300_setSize_Qrcode"}},
      {"libKIOSKDLL.so",
       {"KIOSK_OpenCom", "KIOSK_SetComTimeOuts", "KIOSK_CloseCom", "KIOSK_OpenLptByDrv", "KIOSK_CloseDrvLPT",
        "KIOSK_OpenUsb", "KIOSK_OpenUsbByID", "KIOSK_SetUsbTimeOuts", "KIOSK_CloseUsb", "KIOSK_S_Textout",
        "KIOSK_S_PrintBarcode", "KIOSK_CutPaper", "KIOSK_FeedLines", "KIOSK_S_SetAlignMode", "KIOSK_WriteData"}},
  };
  for (const auto& [library, entries] : libraries) {
    Driver d(kDrivers / library);
    EXPECT_TRUE(d.has("imp_driver_configure")) << library;
    for (const char* e : entries) EXPECT_TRUE(d.has(e)) << library << " " << e;
  }

  const auto build = kDrivers.parent_path();
  EXPECT_EQ(std::filesystem::canonical(kDrivers / "libSI300.so").filename(), "libSI300.so.3.0.11.0");
  EXPECT_EQ(std::filesystem::canonical(build / "drivers-old" / "libSI300.so.2.9.0.0").filename(),
            "libSI300.so.2.9.0.0");
  Driver old(build / "drivers-old" / "libSI300.so.2.9.0.0");
  EXPECT_TRUE(old.has("SI300_iImprimirTexto"));
  Driver broken(build / "drivers-broken" / "libMp2032.so");
  EXPECT_TRUE(broken.has("IniciaPorta"));
  EXPECT_FALSE(broken.has("Le_Status_Gaveta"));
}

}  // namespace
}  // namespace imp
