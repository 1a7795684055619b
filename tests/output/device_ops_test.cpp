// The makers' libraries and the device operations against the stand-in drivers (loaded with dlopen from the
// build's drivers folder), each call traced by the drivers and its bytes read back from port files.
#include "output/device_ops.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/vendor_libs.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "support/test_support.h"

namespace imp {
namespace {

namespace fs = std::filesystem;

const char* const kMp2032Entries[] = {"IniciaPorta_Bema",
                                      "FormataTX_Bema",
                                      "ConfiguraCodigoBarras_Bema",
                                      "ImprimeCodigoQRCODE_Bema",
                                      "ImprimeCodigoBarrasCODE128_Bema",
                                      "AcionaGuilhotina_Bema",
                                      "ComandoTX_Bema",
                                      "DefineNVBitmap_Bema",
                                      "PrintNVBitmap_Bema",
                                      "FechaPorta_Bema",
                                      "Le_Status_Gaveta"};
const char* const kSI300Late[] = {"SI300_setIP_Porta", "SI300_Criar_NovoDispositivo", "SI300_setSize_Qrcode"};

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

bool bound(const char* entry) {
  return globals::entry(entry)->load() != nullptr;
}

class DeviceOps : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:00:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);
    setenv("IMP_DRIVER_TRACE", (dir.path() / "trace.txt").c_str(), 1);
    hostdir::set(dir.str());
    host::install(nullptr);
    fs::create_directories(dir.path() / "printers");
    test::write_file(dir.path() / "imphost.json", R"({
      "spooler": {"server": ")" + (dir.path() / "sem-spooler.sock").string() +
                                                      R"(", "timeoutSeconds": 1},
      "ports": {"LPT1": "printers/LPT1.prn", "COM1": "printers/COM1.prn", "USB": "printers/USB.prn",
                "DARUMA": "printers/DARUMA.prn", "SI300": "printers/SI300.prn", "LPT9": "semPasta/x.prn"},
      "portTimeoutSeconds": 1})");
    globals::cs.store(&cs);
    globals::boPortaFechada.store(false);
    globals::boUtilizaDLL.store(false);
    globals::stTipoImpressora.clear();
  }
  void TearDown() override {
    ReleaseOpenSpans();
    StopMp2032();
    StopDarumaFrameWork();
    StopInterfaceEpsonNF();
    StopSI300();
    StopKioskDll();
    FreeDataModule();
    globals::cs.store(nullptr);
    unsetenv("IMP_DRIVER_TRACE");
    unsetenv("IMP_DRIVER_PATH");
    hostdir::set("");
  }
  std::string printed(const char* port) {
    std::error_code ec;
    const fs::path f = dir.path() / "printers" / (std::string(port) + ".prn");
    return fs::exists(f, ec) ? test::read_file(f) : std::string();
  }
  std::string trace() {
    std::error_code ec;
    return fs::exists(dir.path() / "trace.txt", ec) ? test::read_file(dir.path() / "trace.txt") : std::string();
  }
  std::string log() { return test::read_file(log::daily_log_path()); }
  // Whether another thread can take the job lock now.
  bool cs_free() {
    bool free = false;
    std::thread other([&] {
      free = cs.try_lock();
      if (free) cs.unlock();
    });
    other.join();
    return free;
  }

  test::TempDir dir;
  std::recursive_mutex cs;
};

TEST_F(DeviceOps, LibrariesStartOnceStopClearingEveryEntryAndRefuseWhatTheyLack) {
  EXPECT_EQ(StartMp2032(), 1);
  EXPECT_EQ(StartMp2032(), 1);
  EXPECT_EQ(count(log(), "LoadLibrary Mp2032.dll\n"), 1u) << "a second start does not load again";
  for (const char* e : kMp2032Entries) EXPECT_TRUE(bound(e)) << e;
  StopMp2032();
  for (const char* e : kMp2032Entries) EXPECT_FALSE(bound(e)) << e;
  EXPECT_EQ(globals::DLLMp2032.load(), nullptr);

  // A library without Le_Status_Gaveta: the start fails and leaves nothing bound.
  setenv("IMP_DRIVER_PATH", (fs::path(IMP_DRIVERS_DIR).parent_path() / "drivers-broken").c_str(), 1);
  EXPECT_EQ(StartMp2032(), 0);
  for (const char* e : kMp2032Entries) EXPECT_FALSE(bound(e)) << e;
  EXPECT_EQ(globals::DLLMp2032.load(), nullptr);

  // The SI300's later entries come with 3.0.11.0; an older library starts without them.
  setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);
  EXPECT_EQ(StartSI300("evita loop", ""), 1);
  EXPECT_EQ(SI300VersionNumber(), 30110);
  for (const char* e : kSI300Late) EXPECT_TRUE(bound(e)) << e;
  StopSI300();
  setenv("IMP_DRIVER_PATH", (fs::path(IMP_DRIVERS_DIR).parent_path() / "drivers-old").c_str(), 1);
  EXPECT_EQ(StartSI300("evita loop", ""), 1);
  EXPECT_EQ(SI300VersionNumber(), 2900);
  for (const char* e : kSI300Late) EXPECT_FALSE(bound(e)) << e;
  StopSI300();
  setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);

  // Daruma names its product and prints a space; its stop clears all three entries.
  EXPECT_EQ(StartDarumaFrameWork(), 1);
  EXPECT_NE(trace().find("eDefinirProduto_Daruma(\"DUAL\") = 1"), std::string::npos) << trace();
  EXPECT_EQ(printed("DARUMA"), " ");
  StopDarumaFrameWork();
  for (const char* e :
       {"eDefinirProduto_Daruma", "iImprimirTexto_DUAL_DarumaFramework", "rStatusGaveta_DUAL_DarumaFramework"})
    EXPECT_FALSE(bound(e)) << e;

  // Epson opens and closes its port once and marks it closed.
  EXPECT_EQ(StartInterfaceEpsonNF("USB"), 1);
  const std::string l = log();
  for (const char* line : {"StartInterfaceEpsonNF_USB\n", "IniciaPorta_Epson: 1\n", "FechaPorta_Epson: 1\n"})
    EXPECT_NE(l.find(line), std::string::npos) << line << l;
  EXPECT_TRUE(globals::boPortaFechada.load());
}

TEST_F(DeviceOps, AnMp2032DocumentHoldsTheJobLockFromOpenToClose) {
  ASSERT_EQ(StartMp2032(), 1);
  EXPECT_EQ(IniciaPorta_DLL("13", "LPT1"), 1);
  EXPECT_FALSE(cs_free()) << "the span holds cs";
  EXPECT_EQ(printed("LPT1"), "\x1d\xf9\x35\x30\x1d\xf9\x37\x38\x1b\x33\x12");
  // 4,500 characters go in three calls of 2,000, 2,000 and 500 that cover the text once.
  std::string text;
  for (int i = 0; text.size() < 4500; ++i) text += static_cast<char>('a' + i % 26);
  const std::size_t before = printed("LPT1").size();
  EXPECT_EQ(FormataTX_DLL("13", text, 2, 0, 0, 0, 0), 1);
  EXPECT_EQ(count(trace(), "Mp2032 FormataTX("), 3u);
  std::string sent = printed("LPT1").substr(before);
  for (auto at = sent.find("\x1b!"); at != std::string::npos; at = sent.find("\x1b!")) sent.erase(at, 3);
  EXPECT_EQ(sent, text);
  EXPECT_EQ(AcionaGaveta_DLL("13"), 1);
  EXPECT_NE(printed("LPT1").find("\x1bv\x8c"), std::string::npos);
  EXPECT_EQ(FechaPorta_DLL("13", "LPT1"), 1);
  EXPECT_TRUE(cs_free());
  const std::string l = log();
  for (const char* line : {"IniciaPorta_DLL_13_Bematech_MP-4200_MP-4200_ADV_LPT1: 1\n", "FormataTX_DLL_13: 1\n",
                           "AcionaGaveta_DLL_13: 1\n", "FechaPorta_DLL_13: 1\n"})
    EXPECT_NE(l.find(line), std::string::npos) << line;

  // A close without an open releases nothing; spans a thread leaves open are released at its end.
  FechaPorta_DLL("13", "LPT1");
  EXPECT_TRUE(cs_free());
  IniciaPorta_DLL("13", "LPT1");
  IniciaPorta_DLL("13", "LPT1");
  EXPECT_FALSE(cs_free());
  ReleaseOpenSpans();
  EXPECT_TRUE(cs_free());
}

TEST_F(DeviceOps, ModelsWithoutADeviceAnswerZeroAndEveryCallIsLogged) {
  for (const char* model : {"", "00", "55", "99"}) {
    SCOPED_TRACE(model);
    EXPECT_EQ(IniciaPorta_DLL(model, "LPT1"), 0);
    EXPECT_EQ(FormataTX_DLL(model, "x", 2, 0, 0, 0, 0), 0);
    EXPECT_EQ(EnviaTX_DLL(model, "x", 2, 0, 0, 0, 0), 0);
    EXPECT_EQ(ConfCodBarras_DLL(model, 40, 0, 0, 0, 83), 0);
    EXPECT_EQ(ImprimeCODE128_DLL(model, "123"), 0);
    EXPECT_EQ(ImprimeQRCode_DLL(model, "123", ""), 0);
    EXPECT_EQ(AcionaGaveta_DLL(model), 0);
    EXPECT_EQ(AcionaGuilhotina_DLL(model, 0), 0);
    EXPECT_EQ(ComandoTX_DLL(model, "x"), 0);
    EXPECT_EQ(PrintNVBitmap_DLL(model, "1", "32", "32"), 0);
    EXPECT_EQ(FechaPorta_DLL(model, "LPT1"), 0);
    EXPECT_EQ(StatusGaveta(model, "LPT1"), 0);
    EXPECT_NE(log().find("FormataTX_DLL_" + std::string(model) + ": 0\n"), std::string::npos);
  }
  EXPECT_TRUE(cs_free());
  EXPECT_EQ(printed("LPT1"), "");
  // Model 35 is an Epson without barcode settings; 29 pulses and cuts with its page, sending nothing now.
  EXPECT_EQ(ConfCodBarras_DLL("35", 40, 0, 0, 0, 83), 0);
  EXPECT_EQ(AcionaGaveta_DLL("29"), 1);
  EXPECT_EQ(AcionaGuilhotina_DLL("29", 0), 1);
  // Without their libraries the SI300 and the Epson do not open (the SI300's search answers 0 for found).
  setenv("IMP_DRIVER_PATH", dir.str().c_str(), 1);
  EXPECT_EQ(IniciaPorta_DLL("17", "COM1"), 0);
  FechaPorta_DLL("17", "COM1");
  EXPECT_EQ(IniciaPorta_DLL("16", "LPT1"), 0);
  FechaPorta_DLL("16", "LPT1");
  EXPECT_EQ(count(log(), "Porta nao iniciada"), 0u);
  setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);
  // IT433TD prints through the host's routines; a host without them: logged, 0, and the span still closes.
  EXPECT_EQ(IniciaPorta_DLL("24", "IT1"), 0);
  EXPECT_EQ(FechaPorta_DLL("24", "IT1"), 0);
  EXPECT_NE(log().find("IniciaPorta_DLL_24_IT1: 0\n"), std::string::npos);
  EXPECT_TRUE(cs_free());
  // An entry that is not bound is never called: logged, 0.
  EXPECT_EQ(FormataTX_DLL("13", "x", 2, 0, 0, 0, 0), 0);
  EXPECT_NE(log().find("FormataTX_Bema: entrada da biblioteca não carregada"), std::string::npos) << log();
}

TEST_F(DeviceOps, DarumaSendsWholeLinesInPiecesAfterSI) {
  ASSERT_EQ(StartDarumaFrameWork(), 1);
  std::string text;
  for (int i = 0; i < 30; ++i) text += "Linha " + std::to_string(100 + i) + std::string(30, '.') + "\n";  // 40 each
  ASSERT_EQ(text.size(), 1200u);
  EXPECT_EQ(FormataTX_DLL("10", text, 2, 0, 0, 0, 0), 1);
  // 13 lines make a piece of 520: pieces of 520, 520 and 160, each after ESC SI.
  const std::string want =
      " \x1b\x0f" + text.substr(0, 520) + "\x1b\x0f" + text.substr(520, 520) + "\x1b\x0f" + text.substr(1040);
  EXPECT_EQ(printed("DARUMA"), want);
  EXPECT_EQ(count(trace(), "iImprimirTexto_DUAL_DarumaFramework(\"\\x1B\\x0F"), 3u) << trace();
  EXPECT_EQ(ImprimeCODE128_DLL("10", "123"), 0) << "Daruma prints no CODE128";
}

TEST_F(DeviceOps, EpsonKeepsUsbOpenAndGivesUpOnAPortThatNeverOpens) {
  ASSERT_EQ(StartInterfaceEpsonNF("USB"), 1);
  EXPECT_EQ(IniciaPorta_DLL("14", "USB"), 1);
  EXPECT_FALSE(globals::boPortaFechada.load());
  const std::size_t opens = count(trace(), "IniciaPorta(\"USB\")");
  EXPECT_EQ(FechaPorta_DLL("14", "USB"), 1);
  EXPECT_EQ(IniciaPorta_DLL("14", "USB"), 1);
  EXPECT_EQ(count(trace(), "IniciaPorta(\"USB\")"), opens) << "USB stays open between spans";
  EXPECT_EQ(FechaPorta_DLL("14", "USB"), 1);

  // A port that never opens: six retries within five seconds of the pause clock, then 0 and marked closed.
  EXPECT_EQ(IniciaPorta_DLL("16", "LPT9"), 0);
  EXPECT_EQ(count(trace(), "IniciaPorta(\"LPT9\")"), 7u);
  EXPECT_EQ(count(log(), "Porta nao iniciada\n"), 6u);
  EXPECT_TRUE(globals::boPortaFechada.load());
  FechaPorta_DLL("16", "LPT9");
  EXPECT_TRUE(cs_free());
}

TEST_F(DeviceOps, TheEpsonRetriesLastAboutFiveSecondsOfRealTime) {
  setenv("IMP_PAUSE_SCALE", "1", 1);
  ASSERT_EQ(StartInterfaceEpsonNF("USB"), 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(IniciaPorta_DLL("16", "LPT9"), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::seconds(5));
  EXPECT_LE(took, std::chrono::seconds(8));
  FechaPorta_DLL("16", "LPT9");
  setenv("IMP_PAUSE_SCALE", "0", 1);
}

TEST_F(DeviceOps, TheSI300ChoosesItsRouteAtEveryOpen) {
  globals::stTipoImpressora.set("17");
  // A marker file sends a short COM port to the direct route; the QR page follows the side text.
  test::write_file(dir.path() / "utilizadireta.txt", "");
  EXPECT_EQ(IniciaPorta_DLL("17", "COM1"), 1);
  EXPECT_FALSE(globals::boUtilizaDLL.load());
  EXPECT_NE(log().find("Utilizando comunicação Direta"), std::string::npos);
  EXPECT_EQ(ImprimeQRCode_DLL("17", "https://nfce", "Protocolo de Autorizacao 1234"), 1);
  EXPECT_NE(printed("COM1").find("\x1bW\x00\x00\x28\x00\xc8\x01\xd2\x01"), std::string::npos) << "w 210, v 40";
  EXPECT_EQ(ImprimeQRCode_DLL("17", "https://nfce", "Pendente de Autorizacao"), 1);
  EXPECT_NE(printed("COM1").find(std::string("\x1d(k\x03\x00\x31\x43\x03", 8)), std::string::npos) << "module 3";
  EXPECT_EQ(FechaPorta_DLL("17", "COM1"), 1);
  EXPECT_EQ(printed("COM1").substr(printed("COM1").size() - 2), "\x1b@") << "closed with a reset";

  // Without markers the library finds its printer itself.
  fs::remove(dir.path() / "utilizadireta.txt");
  EXPECT_EQ(IniciaPorta_DLL("17", "COM1"), 1);
  EXPECT_TRUE(globals::boUtilizaDLL.load());
  EXPECT_NE(log().find("Utilizando comunicação DLL"), std::string::npos);
  EXPECT_EQ(FormataTX_DLL("17", "Mesa 12", 2, 0, 0, 0, 0), 1);
  EXPECT_NE(trace().find("SI300_iImprimirTexto(\"\\x1B3\\x09<c>Mesa 12\", 0) = 1"), std::string::npos) << trace();
  EXPECT_NE(printed("SI300").find("Mesa 12"), std::string::npos);
  // The library draws the QR code with its side text; a short code takes module size 4.
  EXPECT_EQ(ImprimeQRCode_DLL("17", "abc", "Lado"), 1);
  EXPECT_NE(trace().find("SI300_setSize_Qrcode(4) = 1"), std::string::npos) << trace();
  EXPECT_NE(trace().find("SI300_iImprimeQRCode_TextoDireita(\"abc\", \"<c>Lado\") = 1"), std::string::npos);
  EXPECT_EQ(FechaPorta_DLL("17", "COM1"), 1);
  EXPECT_TRUE(cs_free());
}

std::string hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) std::snprintf(b, sizeof b, "%02X ", c), out += b;
  return out;
}

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

// QR code through GS ( k: model 2, module size, error correction, the data stored, printed.
std::string qr(int module, int level, const std::string& data) {
  const int n = static_cast<int>(data.size()) + 3;
  return B({0x1d, 0x28, 0x6b,         0x04, 0x00, 0x31,   0x41,    0x32,    0x00, 0x1d, 0x28,
            0x6b, 0x03, 0x00,         0x31, 0x43, module, 0x1d,    0x28,    0x6b, 0x03, 0x00,
            0x31, 0x45, 0x30 + level, 0x1d, 0x28, 0x6b,   n % 256, n / 256, 0x31, 0x50, 0x30}) +
         data + B({0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x51, 0x30});
}

// What each family's operations put on the printer, read back from the stand-ins' port files.
TEST_F(DeviceOps, EachFamilySendsItsBytes) {
  ASSERT_EQ(StartMp2032(), 1);
  ASSERT_EQ(StartInterfaceEpsonNF("USB"), 1);
  ASSERT_EQ(StartKioskDll(), 1);
  struct Case {
    const char* name;
    const char* model;
    const char* port;  // opened for the case, and the file its bytes land in
    std::function<int()> op;
    std::string bytes;
  };
  const std::string centre = B({0x1b, 0x61, 0x01}), left = B({0x1b, 0x61, 0x00});
  const std::vector<Case> cases = {
      {"MP2032 QR", "13", "LPT1", [] { return ImprimeQRCode_DLL("13", "abc", ""); }, qr(4, 1, "abc")},
      {"MP2032 large QR", "13", "LPT1",
       [] {
         globals::stImpQrCodeG.set("S");
         const int r = ImprimeQRCode_DLL("13", "abc", "");
         globals::stImpQrCodeG.clear();
         return r;
       },
       qr(6, 1, "abc")},
      {"MP2032 drawer", "4", "LPT1", [] { return AcionaGaveta_DLL("4"); }, "\x1bv\x8c"},
      {"34: QR as raw bytes", "34", "LPT1", [] { return ImprimeQRCode_DLL("34", "abc", ""); },
       centre + B({0x1d, 0x28, 0x6b, 0x04, 0x00, 0x31, 0x41, 0x32, 0x00, 0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x43, 0x05,
                   0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x45, 0x30, 0x1d, 0x28, 0x6b, 0x06, 0x00, 0x31, 0x50, 0x30}) +
           "abc" + B({0x1d, 0x28, 0x6b, 0x03, 0x00, 0x31, 0x51, 0x30}) + left + "\n"},
      {"Epson 14 QR by tag", "14", "USB", [] { return ImprimeQRCode_DLL("14", "abc", ""); }, centre},
      {"Epson 16 QR", "16", "USB", [] { return ImprimeQRCode_DLL("16", "abc", ""); }, qr(4, 1, "abc")},
      {"Epson drawer", "16", "USB", [] { return AcionaGaveta_DLL("16"); }, B({0x1b, 0x70, 0x00, 0x32, 0xfa})},
      {"Epson stored image", "16", "USB", [] { return PrintNVBitmap_DLL("16", "1", "32", "33"); },
       B({0x1b, 0x61, 0x31, 0x1d, 0x28, 0x4c, 0x06, 0x00, 0x30, 0x45, 0x20, 0x21, 0x01, 0x01, 0x1b, 0x61, 0x30})},
      {"kiosk QR", "20", "USB", [] { return ImprimeQRCode_DLL("20", "abc", ""); },
       centre + B({0x1d, 0x6f, 0x00, 0x04, 0x00, 0x02, 0x1d, 0x6b, 0x0b, 0x4c, 0x41, 0x2c}) + "abc" +
           B({0x00, 0x00, 0x0a}) + left},
      {"kiosk text", "20", "USB", [] { return FormataTX_DLL("20", "Mesa 12", 2, 0, 0, 0, 0); }, "Mesa 12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_GT(IniciaPorta_DLL(c.model, c.port), 0) << log();
    const std::size_t before = printed(c.port).size();
    EXPECT_GT(c.op(), 0);
    const std::string sent = printed(c.port).substr(before);
    EXPECT_NE(sent.find(c.bytes), std::string::npos) << hex(sent) << "\nwanted " << hex(c.bytes);
    FechaPorta_DLL(c.model, c.port);
  }
  EXPECT_TRUE(cs_free());
}

}  // namespace
}  // namespace imp
