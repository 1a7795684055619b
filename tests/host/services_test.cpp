#include "host/services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "host/reference_host.h"
#include "host/senha.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/rtl.h"
#include "support/test_support.h"

namespace imp {
namespace {

class ReferenceHost : public ::testing::Test {
 protected:
  void SetUp() override {
    host::install(nullptr);
    hostdir::set(dir.str());
  }
  void TearDown() override {
    host::install(nullptr);
    hostdir::set("");
  }
  void config(const std::string& json) { test::write_file(dir.path() / "imphost.json", json); }
  test::TempDir dir;
};

TEST_F(ReferenceHost, PrinterPropertiesLookupOrder) {
  config(R"({"printerProperties": {"default": {"columns": 40, "lineFeed": "\r\n", "closing": "X"},
                                    "013": {"columns": 42, "closing": "\u001bm"},
                                    "99": {"columns": 33}}})");
  struct Case {
    const char* model;
    int columns;
    std::string lineFeed, closing;
  } cases[] = {
      {"13", 42, "\n", "\x1bm"},      // the file's entry ("013" is 13), over the built-in one
      {"99", 33, "\n", ""},           // the file's entry for a code without a built-in one
      {"14", 48, "\n", "\x1dV\x01"},  // built-in
      {"53", 32, "\n", "\x1dV\x01"},  // built-in, narrow paper
      {"77", 40, "\r\n", "X"},        // unknown code: the file's default
      {"", 40, "\r\n", "X"},
  };
  for (const auto& c : cases) {
    auto p = host::PropriedadesImpNF(c.model);
    EXPECT_EQ(p.columns, c.columns) << c.model;
    EXPECT_EQ(p.lineFeed, c.lineFeed) << c.model;
    EXPECT_EQ(p.closing, c.closing) << c.model;
  }
  config("{}");
  EXPECT_EQ(host::PropriedadesImpNF("77").columns, 48);  // built-in default
}

TEST_F(ReferenceHost, EveryModelCodeHasBuiltInProperties) {
  for (int code : {4,  6,  7,  10, 13, 14, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                   28, 29, 30, 32, 33, 34, 35, 36, 41, 42, 43, 44, 45, 53, 54}) {
    auto p = host::reference::BuiltinProperties(std::to_string(code));
    EXPECT_GE(p.columns, 32) << code;
    EXPECT_FALSE(p.lineFeed.empty()) << code;
  }
}

TEST_F(ReferenceHost, ParametersBecomeAOneRowPacket) {
  config(R"({"parameters": {"CDFILIAL": "0001", "SISTEMAZELSAT": true, "VRCOMISVENDA": 10.5,
                             "NRSEQ": {"int": 5}, "DTABERCAIX": {"date": "2026-12-09T08:00:00"},
                             "NMFILIAL": "Cantina São Jorge"}})");
  auto p = nlohmann::json::parse(host::ParametersPacket());
  ASSERT_EQ(p["rows"].size(), 1u);
  EXPECT_EQ(p["rows"][0]["CDFILIAL"], "0001");
  EXPECT_EQ(p["rows"][0]["NMFILIAL"], "Cantina São Jorge");
  std::map<std::string, std::string> types;
  for (auto& f : p["fields"]) types[f["name"]] = f["type"];
  EXPECT_EQ(types["SISTEMAZELSAT"], "boolean");
  EXPECT_EQ(types["VRCOMISVENDA"], "float");
  EXPECT_EQ(types["NRSEQ"], "integer");
  EXPECT_EQ(types["DTABERCAIX"], "datetime");

  config("{}");
  p = nlohmann::json::parse(host::ParametersPacket());
  EXPECT_TRUE(p["rows"].empty());
  std::filesystem::remove(dir.path() / "imphost.json");
  p = nlohmann::json::parse(host::ParametersPacket());
  EXPECT_TRUE(p["rows"].empty());
}

TEST_F(ReferenceHost, ConnectionDialogAndFormats) {
  EXPECT_EQ(host::GetStringConexZel(""), "sqlite:Dados/imp.db");
  EXPECT_TRUE(host::Mensagem("IMPRIMIR CUPOM FISCAL?", "S"));  // no answer configured: the default button
  EXPECT_FALSE(host::Mensagem("IMPRIMIR CUPOM FISCAL?", "N"));
  config(R"({"connection": "mssql:Server=x", "dialog": "no",
             "format": {"decimalSeparator": ".", "thousandSeparator": ",", "shortDate": "mm/dd/yyyy"}})");
  EXPECT_EQ(host::GetStringConexZel(""), "mssql:Server=x");
  EXPECT_EQ(host::DialectOf(host::GetStringConexZel("")), host::Dialect::MSSQL);
  EXPECT_FALSE(host::Mensagem("IMPRIMIR CUPOM FISCAL?", "S"));
  auto fs = host::Format();
  EXPECT_EQ(fs.decimalSeparator, '.');
  EXPECT_EQ(fs.shortDate, "mm/dd/yyyy");
  EXPECT_EQ(fs.shortTime, "hh:nn:ss");
  EXPECT_EQ(fs.currencyString, "R$");  // the currency format keeps its defaults
  EXPECT_EQ(fs.negCurrFormat, 9);
  config(R"({"format": {"currencyString": "€", "currencyFormat": 3, "negCurrFormat": 8, "currencyDecimals": 0}})");
  fs = host::Format();
  EXPECT_EQ(fs.currencyString, "\x80");
  EXPECT_EQ(FormatCurrency(-1500, fs.currencyDecimals, fs), "-1.500 \x80");
  for (const char* bad : {R"({"format": {"currencyFormat": 4}})", R"({"format": {"negCurrFormat": 100}})",
                          R"({"format": {"currencyDecimals": "2"}})", R"({"format": {"currencyString": 1}})"}) {
    config(bad);
    EXPECT_THROW(host::Format(), Error) << bad;
  }
  config("{not json");
  EXPECT_THROW(host::GetStringConexZel(""), Error);
  EXPECT_THROW(host::DialectOf("postgres:x"), Error);
}

TEST_F(ReferenceHost, SequenceNumbersPerOutletPerDayFromOne) {
  double d1 = EncodeDate(2026, 12, 9), d2 = EncodeDate(2026, 12, 10);
  host::TdtmZelProxCodigo seq;
  EXPECT_EQ(seq.PrxVendaDia("0001", d1), "1");
  EXPECT_EQ(seq.PrxVendaDia("0001", d1 + 0.5), "2");  // the time of day does not matter
  EXPECT_EQ(seq.PrxVendaDia("0002", d1), "1");
  EXPECT_EQ(seq.PrxVendaDia("0001", d2), "1");
  EXPECT_EQ(seq.PrxRedZNFiscal("0001", "001"), "1");
  EXPECT_EQ(seq.PrxLeiXNFiscal("0001", "001"), "1");
  EXPECT_EQ(seq.PrxRedZNFiscal("0001", "001"), "2");
  EXPECT_EQ(seq.PrxVendaConsumidor("A", "B"), "1");
  EXPECT_EQ(getSenhaCupom("0001", d1).text(), "3");
}

TEST_F(ReferenceHost, DailyNumberWrapsAfterSixDigits) {
  EXPECT_EQ(host::reference::NextNumber("T", "a", "b", 3), "1");
  EXPECT_EQ(host::reference::NextNumber("T", "a", "b", 3), "2");
  EXPECT_EQ(host::reference::NextNumber("T", "a", "b", 3), "3");
  EXPECT_EQ(host::reference::NextNumber("T", "a", "b", 3), "1");
}

TEST_F(ReferenceHost, ConcurrentCallersNeverShareANumber) {
  constexpr int kThreads = 4, kEach = 50;
  std::vector<std::vector<std::string>> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) got[t].push_back(getSenhaCupom("0001", EncodeDate(2026, 12, 9)).text());
    });
  for (auto& th : threads) th.join();
  std::set<std::string> all;
  for (auto& g : got) all.insert(g.begin(), g.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
  EXPECT_TRUE(all.count("1") && all.count(std::to_string(kThreads * kEach)));
}

TEST_F(ReferenceHost, MissingServicesAreClearErrors) {
  EXPECT_THROW(host::BuscaVenda({Variant("0001")}), Error);
  EXPECT_THROW(host::RequisicaoHTTPS("http://127.0.0.1:1/", "", "POST", {}, "5", "log.txt"), Error) << "refused";
}

// ---- a host that installs part of the table ----

struct FakeHost {
  int releases = 0;
  std::string asked;
};

int32_t fake_properties(void* ctx, const char* model, int32_t* columns, imp_variant* lf, imp_variant* closing) {
  static_cast<FakeHost*>(ctx)->asked = model;
  *columns = 40;
  static char crlf[] = "\r\n";
  lf->type = IMP_VT_TEXT;
  lf->v.text.ptr = crlf;
  lf->v.text.len = 2;
  closing->type = IMP_VT_NULL;
  return 1;
}
void fake_release(void* ctx, imp_variant*) {
  static_cast<FakeHost*>(ctx)->releases++;
}
int32_t fake_question(void*, const char* text, const char*) {
  return std::string(text) == "yes?" ? 1 : 0;
}
int32_t fake_fail(void*, const char*, double, imp_variant*) {
  return 0;
}

int32_t fake_busca_venda(void* ctx, const imp_variant* args, int32_t count, imp_variant* result) {
  static char packet[] = R"({"fields": [], "rows": []})";
  if (count != 3 || args[1].type != IMP_VT_TEXT || result->v.array.count != 10) return 0;
  static_cast<FakeHost*>(ctx)->asked = std::string(args[1].v.text.ptr, args[1].v.text.len);
  imp_variant& first = result->v.array.items[0];
  first.type = IMP_VT_BYTES;
  first.v.bytes.ptr = reinterpret_cast<uint8_t*>(packet);
  first.v.bytes.len = static_cast<int32_t>(sizeof packet - 1);
  return 1;
}

TEST_F(ReferenceHost, ArrayServicesHandEveryElementBackToTheHost) {
  FakeHost fake;
  imp_host h{};
  h.size = sizeof h;
  h.context = &fake;
  h.release = fake_release;
  h.busca_venda = fake_busca_venda;
  host::install(&h);
  auto result = host::BuscaVenda({Variant("0001"), Variant("0012"), Variant("0000000087")});
  EXPECT_EQ(fake.asked, "0012");
  ASSERT_EQ(result.size(), 10u);
  EXPECT_EQ(result[0].type(), Variant::Type::Bytes);
  EXPECT_TRUE(result[1].is_empty());
  EXPECT_EQ(fake.releases, 10) << "each element goes back to the host, which owns what it wrote";
}

// A host fills the formats it knows; the currency format keeps the module's defaults unless the host sets it.
TEST_F(ReferenceHost, HostFormatsKeepTheDefaultsTheHostLeaves) {
  imp_host h{};
  h.size = sizeof h;
  h.format_settings = [](void*, imp_format_settings* s) -> int32_t {
    s->decimal_separator = '.';  // a host that knows only the first fields
    s->thousand_separator = ',';
    return 1;
  };
  host::install(&h);
  auto fs = host::Format();
  EXPECT_EQ(FormatCurrency(-1234.5, fs.currencyDecimals, fs), "-R$ 1,234.50");
  h.format_settings = [](void*, imp_format_settings* s) -> int32_t {
    std::strcpy(s->currency_string, "$");
    s->neg_curr_format = 1;
    return 1;
  };
  host::install(&h);
  fs = host::Format();
  EXPECT_EQ(FormatCurrency(-1234.5, 2, fs), "-$1.234,50");
  h.format_settings = [](void*, imp_format_settings* s) -> int32_t {
    s->currency_format = 9;
    return 1;
  };
  host::install(&h);
  EXPECT_THROW(host::Format(), Error);
}

TEST_F(ReferenceHost, InstalledMembersWinAndNullMembersFallBack) {
  FakeHost fake;
  imp_host h{};
  h.size = sizeof h;
  h.context = &fake;
  h.release = fake_release;
  h.printer_properties = fake_properties;
  h.question = fake_question;
  h.prx_venda_dia = fake_fail;
  host::install(&h);
  auto p = host::PropriedadesImpNF("13");
  EXPECT_EQ(fake.asked, "13");
  EXPECT_EQ(p.columns, 40);
  EXPECT_EQ(p.lineFeed, "\r\n");
  EXPECT_EQ(p.closing, "");
  EXPECT_EQ(fake.releases, 2);
  EXPECT_TRUE(host::Mensagem("yes?", "N"));
  EXPECT_THROW(getSenhaCupom("0001", 46000), Error);              // the host's failure becomes an error
  EXPECT_EQ(host::GetStringConexZel(""), "sqlite:Dados/imp.db");  // not installed: the reference host

  // A table from an older host stops before `question`: the reference host answers it.
  h.size = offsetof(imp_host, question);
  host::install(&h);
  EXPECT_FALSE(host::Mensagem("yes?", "N"));
}

}  // namespace
}  // namespace imp
