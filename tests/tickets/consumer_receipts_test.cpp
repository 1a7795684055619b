// The receipts of consumer accounts, printed on the demo restaurant's station: the debit of a sale to a
// consumer's account and the top-up of prepaid credit, on port files and on the stand-in MP2032 library.
#include "tickets/consumer_receipts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/device_ops.h"
#include "output/vendor_libs.h"
#include "platform/cp1252.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "support/demo_db.h"
#include "support/test_support.h"

namespace imp {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

Variant packet(const Json& rows, const Json& fields) {
  return Variant::bytes(Json{{"fields", fields}, {"rows", rows}}.dump());
}

class ConsumerReceipts : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:30:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);
    hostdir::set(dir.str());
    host::install(nullptr);
    globals::cs.store(&cs);
    globals::boUtilizaDLL.store(false);
    globals::boPortaFechada.store(false);
    station({});
    test::create_demo_db(dir.path() / "Dados" / "imp.db");
    fs::create_directories(dir.path() / "printers");
    // LPT ports print directly (mapped to no share).
    test::write_file(dir.path() / "Dados" / "Cadastros" / "cdsMapeamento.cds",
                     R"({"fields": [{"name": "CDPORTAIMPR", "type": "string"}],
                         "rows": [{"CDPORTAIMPR": "LPT1"}, {"CDPORTAIMPR": "LPT3"}]})");
  }
  void TearDown() override {
    StopMp2032();
    FreeDataModule();
    globals::cs.store(nullptr);
    unsetenv("IMP_DRIVER_PATH");
    hostdir::set("");
  }
  void station(const Json& changes) {
    Json p = {{"CDFILIAL", "0001"},
              {"CDCAIXA", "001"},
              {"IDTIPOIMPNF1", "4"},
              {"CDPORTIMPNF1", "LPT1"},
              {"IDTPVENDIMPNF1", "T"},
              {"IDPARIMPRLIMVDC", "T"},
              {"CDOPERADORLOGIN", "0007"},
              {"NMOPERADORLOGIN", "Ana Souza"},
              {"NMRAZSOCFILI", "Sabor da Praça Alimentação Ltda"},
              {"NMBAIRFILI", "Centro"},
              {"SGESTADOFILI", "SP"},
              {"CDINSJUREMPR", "12.345.678/0001-95"},
              {"CDINSCESTAEMPR", "110.042.490.114"}};
    for (auto it = changes.begin(); it != changes.end(); ++it) p[it.key()] = it.value();
    Json props = {{"4", {{"columns", 48}, {"lineFeed", "\n"}, {"closing", "\x1bm"}}},
                  {"13", {{"columns", 48}, {"lineFeed", "\n"}, {"closing", "\x1bm"}}}};
    test::write_file(
        dir.path() / "imphost.json",
        Json{{"parameters", p},
             {"connection", "sqlite:Dados/imp.db"},
             {"format",
              {{"decimalSeparator", ","},
               {"thousandSeparator", "."},
               {"shortDate", "dd/mm/yyyy"},
               {"shortTime", "hh:nn:ss"}}},
             {"printerProperties", props},
             {"ports", {{"LPT1", "printers/LPT1.prn"}, {"LPT3", "printers/LPT3.prn"}, {"COM2", "printers/COM2.prn"}}}}
            .dump());
  }
  std::string printed(const char* port) {
    const fs::path f = dir.path() / "printers" / (std::string(port) + ".prn");
    std::string s = fs::exists(f) ? test::read_file(f) : std::string();
    if (fs::exists(f)) fs::remove(f);
    return cp1252::to_utf8(s);
  }
  std::string log() { return test::read_file(log::daily_log_path()); }

  // The debit of D to consumer 00458, who consumed 18,50 today and 46,40 this month.
  VariantArray debit(double D, const std::string& model = "4") {
    VariantArray a(25, Variant(""));
    a[0] = packet(
        {{{"NMPRODUTO", "Hamburguer da casa"}, {"QTPRODCOMVEN", 1}, {"VRPRECCOMVEN", 32.5}, {"VRUNITVENDCL", 0.5}},
         {{"NMPRODUTO", "Suco de laranja"}, {"QTPRODCOMVEN", 0.5}, {"VRPRECCOMVEN", 8.0}, {"VRUNITVENDCL", 0}}},
        {{{"name", "NMPRODUTO"}, {"type", "string"}},
         {{"name", "QTPRODCOMVEN"}, {"type", "float"}},
         {{"name", "VRPRECCOMVEN"}, {"type", "float"}},
         {{"name", "VRUNITVENDCL"}, {"type", "float"}}});
    a[1] = D;
    a[3] = "00458";
    a[4] = "Mariana Lopes";
    a[5] = "0000001";
    a[6] = "Metalurgica Horizonte";
    a[7] = "000042";
    a[8] = 200.0;
    a[9] = 0.0;
    a[11] = "COM2";
    a[12] = model;
    a[14] = "Sabor da Praça Alimentação Ltda";
    a[18] = "Restaurante Sabor da Praça";
    a[15] = "Rua das Laranjeiras, 120";
    a[20] = "Centro";
    a[21] = "São Paulo";
    a[22] = "SP";
    a[16] = "4.123.456-7";
    a[23] = "00";
    a[24] = packet({{{"VALCONSUMDIA", 18.5}, {"VALCONSUMMES", 46.4}}},
                   {{{"name", "VALCONSUMDIA"}, {"type", "float"}}, {{"name", "VALCONSUMMES"}, {"type", "float"}}});
    for (Variant& v : a)
      if (v.is_text()) v = Variant(cp1252::from_utf8_lossy(v.text()));
    return a;
  }

  test::TempDir dir;
  std::recursive_mutex cs;
};

TEST_F(ConsumerReceipts, DebitReceipt) {
  Comp_DebitoCons_Bematech_NaoFiscal(debit(37.0));
  EXPECT_EQ(printed("LPT1"),
            "\x1b@\x1b\x0f\x12"
            "        Sabor da Praca Alimentacao Ltda         \n"
            "           Restaurante Sabor da Praca           \n"
            "       Rua das Laranjeiras, 120 - Centro        \n"
            "                 Sao Paulo - SP                 \n"
            "        Inscricao Municipal 4.123.456-7         \n"
            "------------------------------------------------\n"
            "           Venda - Debito Consumidor            \n"
            "                                                \n"
            "Cliente: 0000001\n"
            "         Metalurgica Horizonte\n"
            "------------------------------------------------\n"
            "Data:09/12/2026    HORA12:30:00\n"
            "Matricula: 00458\n"
            "Consumidor..: Mariana Lopes\n"
            "------------------------------------------------\n"
            "Hamburguer da c   1,00 X 33,00             33,00\n"
            "Suco de laranja    0,50 X 8,00              4,00\n"
            "                                                \n"
            "TOTAL                                      37,00\n"
            "------------------------------------------------\n"
            "SENHA PEDIDO:  000042\n"
            "Saldo Final : R$ 163,00\n"
            "Limite Diario: R$ 4,50\n"
            "Limite Mensal: R$ 716,60\n"
            "0007 - Operador Ana Souza\n"
            "                                                \n"
            "     Velmora Sistemas - www.velmora.com.br      \n"
            "\n\n\n\n\n\n\x1b@\x1bm");
}

TEST_F(ConsumerReceipts, DebitReceiptVariants) {
  struct Case {
    const char* what;
    Json station;
    std::function<void(VariantArray&)> change;
    const char* port;  // where the receipt prints ("" nowhere)
    std::vector<std::string> has, lacks;
  };
  const std::vector<Case> cases = {
      {"a day limit overrun shows 0",
       {},
       [](VariantArray& a) { a[1] = 50.0; },
       "LPT1",
       {"Limite Diario: R$ 0,00\n", "Limite Mensal: R$ 703,60\n", "Saldo Final : R$ 150,00\n"},
       {}},
      {"a subsidised price; no final balance for \"2\"",
       {},
       [](VariantArray& a) { a[9] = 15.0, a[10] = "2"; },
       "LPT1",
       {"Preco subsidiado:R$ 15,00\n"},
       {"Saldo Final"}},
      {"an NFC-e host prints on its third printer",
       {{"SISTEMAZELNFCE", true}, {"IDTIPOIMPNF3", "4"}, {"CDPORTIMPNF3", "LPT3"}},
       [](VariantArray&) {},
       "LPT3",
       {"Venda - Debito Consumidor"},
       {}},
      {"a model without the receipt prints nothing", {}, [](VariantArray& a) { a[12] = "13"; }, "", {}, {}},
      {"the MP-100 prints on its serial line",
       {},
       [](VariantArray& a) { a[12] = "7"; },
       "COM2",
       {"Venda - Debito Consumidor", "www.velmora.com.br  \n\n\n\n\n\n\n\n\n\n\n"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    station(c.station);
    VariantArray a = debit(37.0);
    c.change(a);
    Comp_DebitoCons_Bematech_NaoFiscal(a);
    for (const char* port : {"LPT1", "LPT3", "COM2"}) {
      const std::string got = printed(port);
      if (std::string(port) != c.port) {
        EXPECT_EQ(got, "") << port;
        continue;
      }
      for (const std::string& piece : c.has) EXPECT_NE(got.find(piece), std::string::npos) << piece << "\n" << got;
      for (const std::string& piece : c.lacks) EXPECT_EQ(got.find(piece), std::string::npos) << piece << "\n" << got;
    }
  }
  VariantArray short_list = debit(37.0);
  short_list.pop_back();
  Comp_DebitoCons_Bematech_NaoFiscal(short_list);
  EXPECT_EQ(printed("LPT1"), "");
  EXPECT_NE(log().find("Comp_DebitoCons_Bematech_NaoFiscal: lista de dados com 24 elemento(s)"), std::string::npos);
  EXPECT_TRUE(cs.try_lock()) << "the job lock is free";
  cs.unlock();
}

// The top-up of prepaid credit on the stand-in MP2032 library: two cut copies at the counter, one uncut copy
// at the kiosk (with its commission), the cancellation.
TEST_F(ConsumerReceipts, CreditTopUp) {
  ASSERT_EQ(StartMp2032(), 1);
  auto topup = [&](const std::string& operation, const Variant& movements) {
    VariantArray a(25, Variant(""));
    a[1] = "0001";
    a[2] = "001";
    a[6] = movements;
    a[7] = 20.0;
    a[8] = "Mariana Lopes";
    a[9] = "000123";
    a[12] = "13";
    a[13] = "LPT1";
    a[17] = "Rua das Laranjeiras, 120";
    a[18] = "Sao Paulo";
    a[19] = "4.123.456-7";
    a[21] = "Refeicao";
    a[24] = operation;
    Imp_Compr_Cred(a);
    return printed("LPT1");
  };
  const Json fields = {{{"name", "VRMOVIVEND"}, {"type", "float"}},
                       {{"name", "NMTIPORECE"}, {"type", "string"}},
                       {{"name", "IDTIPOMOVIVE"}, {"type", "string"}}};
  const Variant paid = packet({{{"VRMOVIVEND", 60.0}, {"NMTIPORECE", "DINHEIRO"}, {"IDTIPOMOVIVE", "E"}},
                               {{"VRMOVIVEND", 40.0}, {"NMTIPORECE", "CARTAO DEBITO"}, {"IDTIPOMOVIVE", "E"}},
                               {{"VRMOVIVEND", 5.0}, {"NMTIPORECE", "TROCO"}, {"IDTIPOMOVIVE", "S"}}},
                              fields);
  auto count = [](const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (auto at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
  };
  const std::string counter = topup("", paid);
  EXPECT_EQ(count(counter, "COMPRA DE CREDITO"), 2u) << counter;
  EXPECT_EQ(count(counter, "\x1dV"), 2u) << "each copy cut";
  for (const char* line : {"\nDINHEIRO\n", "\nCARTAO DEBITO\n", "Valor ......: R$ 100,00\n",
                           "Saldo Final : R$ 120,00\n", "Nr.Deposito: 000123\n", "Filial: 0001\n"})
    EXPECT_NE(counter.find(line), std::string::npos) << line << "\n" << counter;
  EXPECT_EQ(counter.find("TROCO"), std::string::npos);

  station({{"STSISTEMAPRIN", "TAA"}, {"IDCOBTXSERVTAA", "S"}, {"VRCOMISVENDA", "5"}});
  const std::string kiosk = topup("", paid);
  EXPECT_EQ(count(kiosk, "COMPRA DE CREDITO"), 1u);
  EXPECT_EQ(count(kiosk, "\x1dV"), 0u) << "the kiosk does not cut";
  EXPECT_NE(kiosk.find("Valor ......: R$ 95,00\nSaldo Final : R$ 115,00\n"), std::string::npos) << kiosk;

  station({});
  const std::string canc =
      topup("CANC", packet({{{"VRMOVEXTCONS", 30.0}}}, {{{"name", "VRMOVEXTCONS"}, {"type", "float"}}}));
  EXPECT_NE(canc.find("CANCELAMENTO COMPRA DE CREDITO"), std::string::npos) << canc;
  EXPECT_NE(canc.find("Valor ......: R$ 30,00\nSaldo Final : R$ 20,00\n"), std::string::npos) << canc;
  EXPECT_EQ(canc.find("DINHEIRO"), std::string::npos) << "no tender lines";

  VariantArray nowhere(25, Variant(""));
  nowhere[6] = paid;
  nowhere[12] = "13";
  Imp_Compr_Cred(nowhere);
  EXPECT_EQ(printed("LPT1"), "") << "no port: nothing";
  EXPECT_TRUE(cs.try_lock());
  cs.unlock();
}

}  // namespace
}  // namespace imp
