// The consumer-account block on the demo restaurant's accounts: who paid with which account, the balances by
// family or in total, what is left of the limits (branch types, shop limits, the consumer's own), and the
// payroll period of the excess balance.
#include "consumer/account_block.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "consumer/balances.h"
#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "platform/cp1252.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/rtl.h"
#include "support/demo_db.h"
#include "support/test_support.h"

namespace imp::consumer {
namespace {

using Json = nlohmann::json;

// A dataset of one row (or none) from field -> value; numbers become float fields.
void fill(ClientDataSet& ds, const std::vector<Json>& rows) {
  Json fields = Json::array();
  if (!rows.empty())
    for (auto it = rows.front().begin(); it != rows.front().end(); ++it)
      fields.push_back({{"name", it.key()}, {"type", it.value().is_number() ? "float" : "string"}});
  ds.LoadFromPacket(Json{{"fields", fields}, {"rows", rows}}.dump());
  ds.First();
}

class AccountBlock : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:30:00", 1);
    hostdir::set(dir.str());
    host::install(nullptr);
    test::write_file(dir.path() / "imphost.json",
                     R"({"connection": "sqlite:Dados/imp.db", "format": {"decimalSeparator": ",",
                         "thousandSeparator": ".", "shortDate": "dd/mm/yyyy", "shortTime": "hh:nn:ss"}})");
    // Sale 310 was made in shop 02: its consumption counts against that shop's limits.
    test::create_demo_db(dir.path() / "Dados" / "imp.db",
                         "INSERT INTO VENDA (CDCAIXA, CDFILIAL, CDLOJA, IDSITUVENDA, NRSEQVENDA) VALUES "
                         "('001', '0001', '02', 'O', '0000000310');");
    globals::stImpSaldoCupom.set("1");
    globals::stIdExtConsCentral.set("N");
    globals::stIdDebConsCentral.set("N");
  }
  void TearDown() override {
    FreeDataModule();
    hostdir::set("");
  }

  // The block of a sale of consumer 00458 paid with `tender`, in branch `branch` and shop `shop`.
  std::string block(const std::string& tender, Json params = Json::object(), const std::string& branch = "0001",
                    const std::string& shop = "01", const std::string& consumer = "00458") {
    Json p = {{"IDIMPFLNOTA", "N"},     {"IDPARIMPRLIMVDC", "N"}, {"IDEXTCONSONLINE", "N"}, {"CDURLWSEXTCONS", ""},
              {"IDIMPRVRTOTSUBS", "N"}, {"IDCONSUBDESFOL", "N"},  {"IDIMPRSUBSREST", "N"},  {"NRDIAFECHAFOLHA", "25"}};
    for (auto it = params.begin(); it != params.end(); ++it) p[it.key()] = it.value();
    fill(params_, {p});
    fill(payments_, tender.empty() ? std::vector<Json>{} : std::vector<Json>{{{"IDTIPORECE", tender}}});
    fill(consumer_, {{{"CDCLIENTE", "0000001"},
                      {"CDCONSUMIDOR", consumer},
                      {"NMCONSUMIDOR", consumer == "00458" ? "Mariana Lopes" : "Joao Pedro Lima"},
                      {"NMFANTCLIE", "Metalurgica Horizonte"},
                      {"VRLIMDEBCONS", 50.0},
                      {"VRMAXDEBCONS", consumer == "00458" ? 60.0 : 45.0},
                      {"VRMAXCONSMENSAL", consumer == "00458" ? "" : "900"},
                      {"VRMESUBCONS", 800.0},
                      {"VRSUBSBASICO", 12.0}}});
    SaleAccount s;
    s.W = 40;
    s.branch = branch;
    s.shop = shop;
    s.till = "001";
    s.sale = "0000000310";
    s.consumer = &consumer_;
    s.payments = &payments_;
    s.params = &params_;
    s.payrollSum = 12.0;
    s.accountTotal = 18.5;
    return cp1252::to_utf8(ConsumerAccountBlock(s));
  }

  test::TempDir dir;
  ClientDataSet params_, payments_, consumer_;
};

TEST_F(AccountBlock, BalancesByFamilyOrInTotal) {
  const std::string who =
      "Cliente:     0000001 - Metalurgica Horizonte\nConsumidor:  00458\nNome:        Mariana Lopes\n";
  EXPECT_EQ(block("9"), who +
                            "Saldo Familia: Refeição R$ 150,00\n"
                            "               Lanches R$ 35,50\n"
                            "               Bebidas R$ 12,25\n");
  EXPECT_TRUE(globals::boVendaCredCons.load());
  EXPECT_FALSE(globals::boVendaDebCons.load());

  // Totals only: the families valid in the branch, each counted once.
  globals::stImpSaldoCupom.set("0");
  EXPECT_EQ(block("9"), who + "Saldo Total: R$ 197,75\n");
  // A debit account: the balance after the latest movement; with "3" less the consumer's debit limit.
  EXPECT_EQ(block("A"), who + "Saldo Total: R$ 222,20\n");
  globals::stImpSaldoCupom.set("3");
  EXPECT_EQ(block("A"), who + "Saldo Total: R$ 172,20\n");

  // The next sale, paid in cash, shows none of it: only the consumer, as the till prints consumers' names.
  EXPECT_EQ(block(""), "Consumidor:  00458\nNome:        Mariana Lopes\n");
  EXPECT_FALSE(globals::boVendaCredCons.load() || globals::boVendaDebCons.load());
  globals::stImpSaldoCupom.set("2");
  EXPECT_EQ(block("9"), who) << "\"2\": no balance lines";
}

TEST_F(AccountBlock, WhatIsLeftOfTheLimits) {
  globals::stImpSaldoCupom.set("2");
  struct Case {
    const char* what;
    std::string branch, shop, consumer;
    std::string lines;
  };
  const std::vector<Case> cases = {
      // The consumer's own limits: today 60 - 18,50; the month 800 (no monthly maximum) - 46,40.
      {"consumer limits", "0001", "01", "00458", "Limite Diário: R$ 41,50\nLimite Mensal: R$ 753,60\n"},
      {"consumer with a monthly maximum", "0001", "01", "00459", "Limite Diário: R$ 23,00\nLimite Mensal: R$ 878,00\n"},
      // Shop 02 limits its consumption type: 45 - 18,50 today, 600 - 18,50 this month (in that shop).
      {"shop limits", "0001", "02", "00458", "Limite Diário: R$ 26,50\nLimite Mensal: R$ 581,50\n"},
      // Branch 0002 gives the type 20,00 a day less the subsidy used today, 300,00 less what the payroll period
      // (after 25/11) consumed.
      {"branch types", "0002", "01", "00458", "Limite Diário: R$ 14,00\nLimite Mensal: R$ 222,20\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string got = block("A", {{"IDPARIMPRLIMVDC", "T"}}, c.branch, c.shop, c.consumer);
    EXPECT_EQ(got.substr(got.find("Nome:")).substr(got.substr(got.find("Nome:")).find('\n') + 1), c.lines);
  }
  // The excess over the subsidy since the period began (77,80 - 800: nothing to print).
  const std::string e = block("A", {{"IDPARIMPRLIMVDC", "E"}});
  EXPECT_EQ(e.find("Saldo Excedente"), std::string::npos) << e;
}

TEST_F(AccountBlock, SubsidyLinesAndAFailingService) {
  globals::stImpSaldoCupom.set("0");
  globals::stIdExtConsCentral.set("S");  // the reference host has no central service
  const std::string got = block("9", {{"IDIMPRVRTOTSUBS", "S"}, {"IDCONSUBDESFOL", "S"}, {"IDIMPRSUBSREST", "S"}});
  EXPECT_NE(got.find("Valor Subsidiado: R$ 12,00\nValor descontado em folha: R$ 6,50\nSubsidio restante: R$ 6,00\n"),
            std::string::npos)
      << got;
  EXPECT_EQ(got.find("Saldo"), std::string::npos) << "the failed balance prints no line";
  EXPECT_NE(test::read_file(log::daily_log_path()).find("Funcao ExtratoConsCentral"), std::string::npos);
}

TEST(PayrollPeriod, StartsAfterTheLatestClosingDay) {
  struct Case {
    const char* day;
    int y, m, d;     // today
    int sy, sm, sd;  // the closing day the period starts after (0: none)
  };
  const std::vector<Case> cases = {
      {"25", 2026, 12, 9, 2026, 11, 25}, {"25", 2026, 12, 26, 2026, 12, 25}, {"30", 2024, 3, 5, 2024, 2, 29},
      {"30", 2023, 3, 5, 2023, 2, 28},   {"31", 2026, 5, 10, 2026, 4, 30},   {"31", 2026, 4, 10, 2026, 3, 31},
      {"9", 2026, 12, 9, 2026, 11, 9},   {"", 2026, 12, 9, 0, 0, 0},         {"x1", 2026, 12, 9, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.day) + " on " + std::to_string(c.m) + "/" + std::to_string(c.d));
    const auto start = PayrollPeriodStart(c.day, EncodeDateTime(c.y, c.m, c.d, 12, 0, 0, 0));
    if (c.sy == 0) {
      EXPECT_FALSE(start.has_value());
    } else {
      ASSERT_TRUE(start.has_value());
      EXPECT_EQ(FormatIsoDateTime(*start), FormatIsoDateTime(EncodeDateTime(c.sy, c.sm, c.sd, 23, 59, 59, 999)));
    }
  }
}

}  // namespace
}  // namespace imp::consumer
