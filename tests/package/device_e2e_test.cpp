// Kitchen orders through the C ABI on printers that the makers' libraries drive (the stand-in drivers): an
// Epson on USB, a Bematech on a network printer, and a Bematech whose printer stops reading mid-ticket.
#include <cstdlib>

#include "drill_fixture.h"
#include "platform/raster.h"
#include "support/network_printer.h"
#include "support/private_spooler.h"
#include "support/silent_server.h"

namespace imp::test {
namespace {

class DeviceOrders : public FaultDrills {
 public:
  void SetUp() override {
    setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);
    FaultDrills::SetUp();
  }
  void TearDown() override {
    FaultDrills::TearDown();
    for (const char* stop : {"Cli_imp00000_StopMp2032", "Cli_imp00000_StopInterfaceEpsonNF"}) {
      lib.fn<void (*)()>("Initialize")();
      lib.fn<void (*)()>(stop)();
      lib.fn<void (*)()>("Finalize")();
    }
    unsetenv("IMP_DRIVER_PATH");
  }
  // The kitchen's items on `model` at `port`.
  std::string kitchen_on(const std::string& model, const std::string& port) {
    json order = good_order();
    for (json& row : order["rows"])
      if (row["CDPORIMPPROD"] == "LPT1") row["CDPORIMPPROD"] = port, row["IDMODEIMPRES"] = model;
    return order.dump();
  }
};

TEST_F(DeviceOrders, AnEpsonOnUsbAndABematechOnTheNetworkPrintTheKitchen) {
  prepare({{"USB", "printers/USB.prn"}});
  ASSERT_EQ(lib.fn<int32_t (*)(const char*)>("StartInterfaceEpsonNF")("USB"), 1);
  dispatch(order_job(kitchen_on("14", "USB")));
  ASSERT_EQ(wait_idle(30000), 1);
  const std::string usb = printed()["USB.prn"];
  for (const char* item : {"PEDIDO", "Hamburguer da casa", "Batata frita", "SENHA/PAGER 000042"})
    EXPECT_NE(usb.find(item), std::string::npos) << item << "\n" << module_log();
  ASSERT_GE(usb.size(), 6u);
  EXPECT_EQ(usb.substr(usb.size() - 6), std::string("\n\n\n\x1dV\x00", 6)) << "the ticket ends cut";
  EXPECT_EQ(printed()["LPT2.prn"], reference().at("LPT2.prn")) << "the bar prints as always";

  NetworkPrinter printer;
  prepare();
  ASSERT_EQ(lib.fn<int32_t (*)()>("StartMp2032")(), 1);
  dispatch(order_job(kitchen_on("13", "127.0.0.1:" + std::to_string(printer.port()))));
  ASSERT_EQ(wait_idle(30000), 1);
  std::string all;
  for (const std::string& job : printer.jobs(1)) all += job;
  EXPECT_NE(all.find("Bolinho de bacalhau (6 un.)"), std::string::npos) << module_log();
  EXPECT_NE(module_log().find("FormataTX_DLL_13: 1"), std::string::npos);
}

TEST_F(DeviceOrders, APrinterThatStopsReadingCostsItsTicketNotTheJobLock) {
  SilentServer stalled(1024);
  const std::vector<Drill> drills = {
      {"a Bematech on the network that never reads",
       [&](FaultDrills& t) {
         t.prepare();
         ASSERT_EQ(t.lib.fn<int32_t (*)()>("StartMp2032")(), 1);
         json order =
             json::parse(static_cast<DeviceOrders&>(t).kitchen_on("13", "127.0.0.1:" + std::to_string(stalled.port())));
         for (int i = 0; i < 300; ++i) {  // more than the printer's receive buffer takes
           json row = order["rows"][2];
           row["NMPRODUTO"] = "Bolinho de bacalhau " + std::to_string(i);
           row["NRSEQITEM"] = 10 + i;
           order["rows"].push_back(row);
         }
         t.dados1 = order.dump();
       },
       {"FormataTX_DLL_13: 0", "FechaPorta_DLL_13"}},
  };
  for (const Drill& d : drills) run(d);
}

// The Windows-printer family and the SI300's spool route on the spooler fixture's capture queues, through the
// exported operations as a host calls them.
TEST_F(DeviceOrders, WindowsPrintersAndTheSI300SpoolRouteReachTheirQueuesExactly) {
  prepare({{"COM1", "printers/COM1.prn"}});
  PrivateSpooler cups(dir.path());
  const fs::path elgin = dir.path() / "printers" / "cozinha-elgin.prn", zk = dir.path() / "printers" / "zk.prn";
  cups.add("PADRAO", "capture:" + zk.string(), "ZKTeco ZKP8001", true);
  cups.add("ELGIN", "capture:" + elgin.string(), "Elgin i9");
  cups.add("SWEDA", "capture:" + (dir.path() / "printers" / "COM1.prn").string(), "Sweda SI-300");
  using Open = int32_t (*)(const char*, const char*);
  using Format = int32_t (*)(const char*, const char*, int32_t, int32_t, int32_t, int32_t, int32_t);
  auto open = lib.fn<Open>("Cli_imp00000_TrdmImpressoras_IniciaPorta_DLL");
  auto format = lib.fn<Format>("Cli_imp00000_TrdmImpressoras_FormataTX_DLL");
  auto cut = lib.fn<int32_t (*)(const char*, int32_t)>("Cli_imp00000_TrdmImpressoras_AcionaGuilhotina_DLL");
  auto drawer = lib.fn<int32_t (*)(const char*)>("Cli_imp00000_TrdmImpressoras_AcionaGaveta_DLL");
  auto close = lib.fn<Open>("Cli_imp00000_TrdmImpressoras_FechaPorta_DLL");

  // 18 finds its printer by port and driver; each write is one raw document with the letter type's ESC !.
  EXPECT_EQ(open("18", "cozinha-elgin"), 1) << module_log();
  EXPECT_EQ(format("18", "Mesa 12\n", 1, 0, 0, 0, 0), 1);
  EXPECT_EQ(cut("18", 0), 1);
  EXPECT_EQ(close("18", "cozinha-elgin"), 1);
  const std::string want = "\x1b!\x01Mesa 12\n\x1b!\x01\x1bi";
  EXPECT_EQ(PrivateSpooler::captured(elgin, want.size()), want);
  EXPECT_EQ(cups.job_titles("ELGIN"), (std::vector<std::string>{"Quivane (Velmora-Brask)", "Quivane (Velmora-Brask)"}));
  EXPECT_NE(module_log().find("Porta encontrada:"), std::string::npos);
  // A QR code with its side text: a page with the text from x 255 and the code from x 0, y 40 for an
  // authorised note.
  auto qr =
      lib.fn<int32_t (*)(const char*, const char*, const char*)>("Cli_imp00000_TrdmImpressoras_ImprimeQRCode_DLL");
  EXPECT_EQ(open("18", "cozinha-elgin"), 1);
  EXPECT_EQ(qr("18", "abc", "Protocolo de Autorizacao 1"), 1);
  EXPECT_EQ(close("18", "cozinha-elgin"), 1);
  const std::string page =
      want + std::string("\x1b!\x01\x1bL\x1bW\xff\x00\x00\x00\x00\x04\x7e\x02\x1bT0", 18) +
      "Protocolo de Autorizacao 1" + std::string("\x1bW\x00\x00\x28\x00\x00\x04\x7e\x02\x1bT0\x1b\x61\x01", 16) +
      std::string("\x1d(k\x04\x00\x31\x41\x32\x00\x1d(k\x03\x00\x31\x43\x06\x1d(k\x03\x00\x31\x45\x30", 25) +
      std::string("\x1d(k\x06\x00\x31\x50\x30", 8) + "abc" +
      std::string("\x1d(k\x03\x00\x31\x51\x30\x1b\x61\x00\x0c", 12);
  EXPECT_EQ(PrivateSpooler::captured(elgin, page.size()), page);
  // 43 prints on the default printer.
  EXPECT_EQ(open("43", "USB"), 1);
  EXPECT_EQ(format("43", "Conta", 2, 0, 0, 0, 0), 1);
  EXPECT_EQ(close("43", "USB"), 1);
  EXPECT_EQ(PrivateSpooler::captured(zk, 8),
            "\x1b!\x02"
            "Conta");
  EXPECT_NE(module_log().find("Impressora padrão selecionada:PADRAO"), std::string::npos) << module_log();

  // With the marker file the SI300 prints through the queue of its port, the whole span one document.
  write_file(dir.path() / "utilizaspool", "");
  EXPECT_EQ(open("17", "COM1"), 1) << module_log();
  EXPECT_EQ(format("17", "Mesa 12\n", 2, 0, 0, 0, 0), 1);
  EXPECT_EQ(drawer("17"), 1);
  EXPECT_EQ(cut("17", 0), 1);
  EXPECT_EQ(close("17", "COM1"), 1);
  const std::string si300 = std::string("\x1b\x33\x0dMesa 12\n\x1b\x70\x00\x96\xff\x1b@", 18);
  EXPECT_EQ(PrivateSpooler::captured(dir.path() / "printers" / "COM1.prn", si300.size()), si300);
  EXPECT_EQ(cups.job_titles("SWEDA"), std::vector<std::string>{"QuivaneDoc"});
  EXPECT_NE(module_log().find("Utilizando comunicação Spool"), std::string::npos);
}

// A bitmap model: a DANFE-like document (text, QR code, barcode, cut) through the exported operations prints
// as one PNG image job as wide as the page; the mirror image lands in tmp/.
TEST_F(DeviceOrders, ABitmapModelPrintsItsDocumentAsOneImage) {
  prepare();
  PrivateSpooler cups(dir.path());
  const fs::path capture = dir.path() / "zjiang.png";
  cups.add("ZJIANG", "capture:" + capture.string(), "Zjiang ZJ-8220", true);
  using Open = int32_t (*)(const char*, const char*);
  auto open = lib.fn<Open>("Cli_imp00000_TrdmImpressoras_IniciaPorta_DLL");
  auto close = lib.fn<Open>("Cli_imp00000_TrdmImpressoras_FechaPorta_DLL");
  auto format = lib.fn<int32_t (*)(const char*, const char*, int32_t, int32_t, int32_t, int32_t, int32_t)>(
      "Cli_imp00000_TrdmImpressoras_FormataTX_DLL");
  auto qr =
      lib.fn<int32_t (*)(const char*, const char*, const char*)>("Cli_imp00000_TrdmImpressoras_ImprimeQRCode_DLL");
  auto code128 = lib.fn<Open>("Cli_imp00000_TrdmImpressoras_ImprimeCODE128_DLL");
  auto cut = lib.fn<int32_t (*)(const char*, int32_t)>("Cli_imp00000_TrdmImpressoras_AcionaGuilhotina_DLL");

  ASSERT_EQ(open("41", "USB"), 1) << module_log();
  EXPECT_EQ(format("41", "DANFE NFC-e\n----------\nTotal       12,50\n", 2, 0, 0, 0, 0), 1);
  EXPECT_EQ(qr("41", "https://nfce.exemplo/q?p=3526", ""), 1) << module_log();
  EXPECT_EQ(code128("41", "35261212345678000195650010000000011000000019"), 1) << module_log();
  EXPECT_EQ(cut("41", 0), 1);
  EXPECT_EQ(close("41", "USB"), 1) << module_log();

  const raster::Image page = raster::decode_png(PrivateSpooler::captured(capture, 100));
  EXPECT_EQ(page.width, 575) << "the queue's 80 mm paper: a canvas of 570";
  EXPECT_GT(page.height, 3 * 14 + 100) << "three lines, a QR code and a barcode";
  EXPECT_EQ(cups.job_titles("ZJIANG").size(), 1u);
  EXPECT_TRUE(fs::exists(dir.path() / "tmp" / "123000.bmp"));
}

}  // namespace
}  // namespace imp::test
