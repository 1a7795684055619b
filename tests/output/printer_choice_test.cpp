#include "output/printer_choice.h"

#include <gtest/gtest.h>

#include "host/services.h"
#include "module/globals.h"
#include "platform/hostdir.h"
#include "support/test_support.h"

namespace imp {
namespace {

TEST(DefineParametrosImpressora, PicksThePrinterByKindAndSaleType) {
  test::TempDir dir;
  hostdir::set(dir.str());
  host::install(nullptr);
  struct Case {
    const char* kind;
    const char* types1;
    const char* types2;
    const char* saleType;
    int printer;
  } cases[] = {
      // sale tickets follow the sale type
      {"EMITECUPOM", "A", "C", "C", 2},
      {"EMITECUPOM", "A", "C", "A", 1},
      {"EMITECUPOM", "A", "C", "", 1},
      {"CANCELACUPOM", "C", "T", "A", 2},
      {"CANCELACUPOM", "A", "A", "C", 1},  // nobody serves "C": printer 1
      {"EMITECUPOM", "T", "C", "C", 1},
      // fiscal printouts, drawer and cash reports: always printer 1
      {"REDUCAOZ", "C", "T", "C", 1},
      {"VENDA_NFCe", "C", "A", "", 1},
      {"EXTRATO_SAT", "C", "A", "", 1},
      {"EXTRATO_SAT_CANC", "C", "A", "", 1},
      {"ABREGAVETA", "C", "A", "", 1},
      {"FECHACAIXA", "C", "T", "", 1},
      // any other kind: the printer serving "A"
      {"PEDIDO", "C", "A", "C", 2},
      {"PEDIDO", "C", "T", "", 2},
      {"PEDIDO", "A", "T", "", 1},
      {"RELPRODUTO", "C", "C", "", 1},
      // both sale-type texts empty: printer 1 for every kind
      {"EMITECUPOM", "", "", "C", 1},
      {"PEDIDO", "", "", "", 1},
      {"REDUCAOZ", "", "", "", 1},
  };
  for (const auto& c : cases) {
    int32_t columns = 0;
    std::string ctrl1, ctrl2, model, port;
    DefineParametrosImpressora(c.kind, columns, ctrl1, ctrl2, model, port, "13", "53", "LPT1", "COM2", c.types1,
                               c.types2, c.saleType);
    SCOPED_TRACE(std::string(c.kind) + " " + c.types1 + "/" + c.types2 + " " + c.saleType);
    EXPECT_EQ(model, c.printer == 1 ? "13" : "53");
    EXPECT_EQ(port, c.printer == 1 ? "LPT1" : "COM2");
    // the chosen model's properties and the recorded model
    EXPECT_EQ(columns, c.printer == 1 ? 48 : 32);
    EXPECT_EQ(ctrl1, "\n");
    EXPECT_EQ(ctrl2, c.printer == 1 ? "\x1bm" : "\x1dV\x01");
    EXPECT_EQ(globals::stTipoImpressora.get(), model);
  }
  hostdir::set("");
}

TEST(DefineParametrosImpressora, TakesThePropertiesTheHostGives) {
  test::TempDir dir;
  hostdir::set(dir.str());
  test::write_file(dir.path() / "imphost.json",
                   R"({"printerProperties": {"13": {"columns": 42, "lineFeed": "\r\n", "closing": "CUT"}}})");
  int32_t columns = 0;
  std::string ctrl1, ctrl2, model, port;
  DefineParametrosImpressora("PEDIDO", columns, ctrl1, ctrl2, model, port, "13", "", "LPT1", "", "T", "", "");
  EXPECT_EQ(columns, 42);
  EXPECT_EQ(ctrl1, "\r\n");
  EXPECT_EQ(ctrl2, "CUT");
  // an empty parameter record: empty model and port
  DefineParametrosImpressora("PEDIDO", columns, ctrl1, ctrl2, model, port, "", "", "", "", "", "", "");
  EXPECT_EQ(model, "");
  EXPECT_EQ(port, "");
  hostdir::set("");
}

}  // namespace
}  // namespace imp
