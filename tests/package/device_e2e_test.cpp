// Kitchen orders through the C ABI on printers that the makers' libraries drive (the stand-in drivers): an
// Epson on USB, a Bematech on a network printer, and a Bematech whose printer stops reading mid-ticket.
#include <cstdlib>

#include "drill_fixture.h"
#include "support/network_printer.h"
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

}  // namespace
}  // namespace imp::test
