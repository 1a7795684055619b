// Loyalty services on the demo restaurant: the points campaign and balance, and the CRM-bonus order against a
// loopback HTTP server of the test.
#include "consumer/loyalty.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "consumer/account_block.h"
#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "platform/hostdir.h"
#include "support/demo_db.h"
#include "support/http_server.h"
#include "support/test_support.h"

namespace imp::consumer {
namespace {

using Json = nlohmann::json;

class Loyalty : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:30:00", 1);
    hostdir::set(dir.str());
    host::install(nullptr);
    test::write_file(
        dir.path() / "imphost.json",
        Json{{"connection", "sqlite:Dados/imp.db"},
             {"httpTimeoutSeconds", 2},
             {"parameters", {{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"CDCAIXA", "001"}, {"NRSEQVENDA", "0000001042"}}}}
            .dump());
    test::create_demo_db(dir.path() / "Dados" / "imp.db",
                         "UPDATE LOJA SET IDCRMBONUS = 'S', CDURLCRMBONUS = '" + server.url("/bonus") +
                             "', CDAUTHCRMBONUS = 'Bearer abc', CDCODECRMBONUS = '77';"
                             "UPDATE VENDA SET NRTELCRM = '11987654321' WHERE NRSEQVENDA = '0000001042';");
    for (GlobalText* g : {&globals::stCRMBONUSResult, &globals::stSaldoCRMBONUS}) g->set("antes");
  }
  void TearDown() override {
    FreeDataModule();
    hostdir::set("");
  }
  test::TempDir dir;
  test::HttpServer server;
};

TEST_F(Loyalty, CampaignAndPoints) {
  const VariantArray campaign = getCampanha("0001");
  EXPECT_EQ(campaign[0].to_text(), "NATAL26");
  EXPECT_EQ(campaign[1].to_text(), "http://127.0.0.1:8089/fidelidade");
  EXPECT_EQ(getCampanha("0002")[0].to_text(), "") << "no campaign in that branch";
  // 120 + 30 points still valid, 25 redeemed and not yet printed; 25 redeemed in sale 310.
  const VariantArray points = getDescSaldoFid("0000001", "00458", "0001", "001", "0000000310");
  EXPECT_DOUBLE_EQ(points[0].to_double(), 125.0);
  EXPECT_DOUBLE_EQ(points[1].to_double(), 25.0);
  EXPECT_TRUE(points[2].to_bool());
  EXPECT_FALSE(getDescSaldoFid("0000001", "00459", "0001", "001", "0000000311")[2].to_bool());
}

TEST_F(Loyalty, TheBonusOrder) {
  server.answer({200, R"({"ids_bonus": [7, 9], "status": true, "saldo_bonus": 12.5})"});
  ASSERT_TRUE(criaOrdemCRMBONUS());
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/bonus");
  EXPECT_EQ(Json::parse(requests[0].body), (Json{{"phone", "11987654321"}, {"amount", 9999999}}));
  EXPECT_EQ(requests[0].headers.at("content-type"), "application/json");
  EXPECT_EQ(requests[0].headers.at("authorization"), "Bearer abc");
  EXPECT_EQ(requests[0].headers.at("ec"), "77");
  EXPECT_EQ(globals::stSaldoCRMBONUS.get(), "12,5");
  EXPECT_EQ(retornaCampoJSONCRMBONUS("ids_bonus"), "[7,9]");
  EXPECT_EQ(retornaCampoJSONCRMBONUS("saldo_bonus"), "12.5") << "reading a field never consumes the answer";
  const std::string log = test::read_file(dir.path() / "Dados" / "logApiCRMBONUS");
  EXPECT_EQ(log.find("Bearer abc"), std::string::npos) << log;

  // Answers that are no order leave the state as it was.
  struct Case {
    const char* what;
    test::HttpServer::Answer answer;
  };
  const Case failures[] = {{"status false", {200, R"({"status": false, "saldo_bonus": 1})"}},
                           {"HTTP 500", {500, R"({"status": true})"}},
                           {"not JSON", {200, R"("status":true)"}},
                           {"past the time-out", {200, R"({"status": true})", 3000}}};
  for (const Case& c : failures) {
    SCOPED_TRACE(c.what);
    globals::stSaldoCRMBONUS.set("antes");
    globals::stCRMBONUSResult.set("antes");
    server.answer(c.answer);
    EXPECT_FALSE(criaOrdemCRMBONUS());
    EXPECT_EQ(globals::stSaldoCRMBONUS.get(), "antes");
    EXPECT_EQ(globals::stCRMBONUSResult.get(), "antes");
  }
}

// The loyalty lines of a fiscal document: the sale's loyalty discounts, then the online cash-back of the
// campaign (the loyalty service is the test's server); a service that fails prints no cash-back line.
TEST_F(Loyalty, LoyaltyLines) {
  test::create_demo_db(dir.path() / "Dados" / "imp.db",
                       "UPDATE GERPARAMGERAL SET CDURLFIDONLINE = '" + server.url("/fidelidade") + "';");
  FreeDataModule();
  ClientDataSet sale;
  sale.LoadFromPacket(
      R"({"fields": [{"name": "VRMOVEXTCONS", "type": "float"}, {"name": "VRDESCCASHUDS", "type": "float"}],
                          "rows": [{"VRMOVEXTCONS": 5.5, "VRDESCCASHUDS": 0}]})");
  sale.First();
  SaleAccount s;
  s.branch = "0001";
  s.till = "001";
  s.sale = "0000000310";
  server.answer({200, R"({"ok": true, "resultado": [14.2, 3, 1.75, "31/12/2026"]})"});
  EXPECT_EQ(LoyaltyLines(s, sale, "0000001", "00458"),
            "Desconto Fidelidade: R$ 5,50\nDesconto Cashback: R$ 3,00\nCashback Ganho: R$ 1,75\n"
            "Validade do Cashback: 31/12/2026\nSaldo Cashback: R$ 14,20\n");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  const Json body = Json::parse(requests[0].body);
  EXPECT_EQ(body["servico"], "FidelidadeOnline");
  EXPECT_EQ(body["argumentos"][0], "CONSULTA_VENDA");
  EXPECT_EQ(body["argumentos"][3], "00458");

  for (const test::HttpServer::Answer& failure :
       {test::HttpServer::Answer{200, R"({"ok": false})"}, test::HttpServer::Answer{500, "{}"}}) {
    server.answer(failure);
    EXPECT_EQ(LoyaltyLines(s, sale, "0000001", "00458"), "Desconto Fidelidade: R$ 5,50\n");
  }
  EXPECT_EQ(LoyaltyLines(s, sale, "0000001", ""), "Desconto Fidelidade: R$ 5,50\n") << "no consumer, no query";
  EXPECT_EQ(server.requests().size(), 3u);
}

}  // namespace
}  // namespace imp::consumer
