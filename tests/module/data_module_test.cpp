#include "module/data_module.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

#include "host/services.h"
#include "module/globals.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "support/test_support.h"

namespace imp {
namespace {

class DataModule : public ::testing::Test {
 protected:
  void SetUp() override {
    hostdir::set(dir.str());
    host::install(nullptr);
    setenv("IMP_NOW", "2026-12-09T12:00:00", 1);
    test::write_file(dir.path() / "imphost.json",
                     R"({"parameters": {"CDFILIAL": "0001", "CDLOJA": "01", "CDCAIXA": "001"}})");
    for (auto* g : {&globals::stNrSeqImprLoja2, &globals::stIdTipoImpNF1, &globals::stIdTipoImpNF2,
                    &globals::stCdPortImpNF2, &globals::stIdOrdemImpObs})
      g->clear();
  }
  void TearDown() override {
    FreeDataModule();
    hostdir::set("");
    unsetenv("IMP_NOW");
  }
  test::TempDir dir;
};

TEST_F(DataModule, CtrlImpressKeepsFlagsAcrossInstances) {
  {
    TrdmImpressoras rdm;
    EXPECT_FALSE(rdm.CtrlImpress(0, "X", true)) << "a missing value reads false";
    EXPECT_FALSE(rdm.CtrlImpress(0, "X", true)) << "and was written as false";
    EXPECT_TRUE(rdm.CtrlImpress(1, "X", true));
    EXPECT_TRUE(rdm.CtrlImpress(2, "X", false));
    EXPECT_FALSE(rdm.CtrlImpress(0, "Y", false));
  }
  TrdmImpressoras again;
  EXPECT_TRUE(again.CtrlImpress(0, "X", false)) << "persisted in the host folder";
  EXPECT_TRUE(again.CtrlImpress(1, "X", false));
  EXPECT_FALSE(again.CtrlImpress(0, "X", true));
  std::string stored = test::read_file(dir.path() / "imp-registry.json");
  EXPECT_NE(stored.find("\"CtrlImp_X\": false"), std::string::npos) << stored;

  // A store that cannot be opened: false for reads and writes.
  std::filesystem::remove(dir.path() / "imp-registry.json");
  std::filesystem::create_directory(dir.path() / "imp-registry.json");
  EXPECT_FALSE(again.CtrlImpress(1, "X", true));
  EXPECT_FALSE(again.CtrlImpress(0, "X", true));
}

const char* kVendas = R"({"fields": [
  {"name": "NRMESA", "type": "string", "size": 4}, {"name": "NRCOMANDA", "type": "string", "size": 10},
  {"name": "CDPRODUTO", "type": "string", "size": 10}, {"name": "NMPRODUTO", "type": "string", "size": 50},
  {"name": "QTPRODCOMVEN", "type": "float"}, {"name": "TXPRODCOMVEN", "type": "string", "size": 200},
  {"name": "VRPRECCOMVEN", "type": "float"}],
 "rows": [
  {"NRMESA": "12", "NRCOMANDA": "0012", "CDPRODUTO": "P001", "NMPRODUTO": "Picanha", "QTPRODCOMVEN": -2,
   "TXPRODCOMVEN": "ao ponto", "VRPRECCOMVEN": 89.9},
  {"NRMESA": "12", "NRCOMANDA": "0012", "CDPRODUTO": "b002", "NMPRODUTO": "Suco", "QTPRODCOMVEN": 1},
  {"NRMESA": "12", "NRCOMANDA": "0012", "CDPRODUTO": "X999", "NMPRODUTO": "Sem cadastro", "QTPRODCOMVEN": 1.5}]})";

const char* kProdLoja = R"({"fields": [
  {"name": "CDLOJA", "type": "string", "size": 2}, {"name": "CDPRODUTO", "type": "string", "size": 10},
  {"name": "CDPORIMPPROD", "type": "string", "size": 15}, {"name": "MODELOPROD", "type": "string", "size": 2},
  {"name": "PORTAPUXA", "type": "string", "size": 15}, {"name": "MODELOPUXA", "type": "string", "size": 2}],
 "rows": [
  {"CDLOJA": "01", "CDPRODUTO": "P001", "CDPORIMPPROD": "COZINHA", "MODELOPROD": "13", "PORTAPUXA": "LPT3",
   "MODELOPUXA": "4"},
  {"CDLOJA": "01", "CDPRODUTO": "B002", "CDPORIMPPROD": "BAR"}]})";

struct Row {
  std::string produto, porta, modelo, portaPuxa, modeloPuxa;
  double qt;
};

std::vector<Row> rows(ClientDataSet& ds) {
  std::vector<Row> out;
  for (ds.First(); !ds.Eof(); ds.Next())
    out.push_back({ds.FieldByName("CDPRODUTO").AsString(), ds.FieldByName("CDPORIMPPROD").AsString(),
                   ds.FieldByName("IDMODEIMPRES").AsString(), ds.FieldByName("PORTAPUXA").AsString(),
                   ds.FieldByName("MODELOPUXA").AsString(), ds.FieldByName("QTPRODCOMVEN").AsFloat()});
  return out;
}

TEST_F(DataModule, PreencheImprimePedidoBuildsDeliveryRows) {
  test::write_file(dir.path() / "Dados" / "Cadastros" / "ProdLoja.cds", kProdLoja);
  globals::stIdTipoImpNF1 = "14";
  globals::stIdTipoImpNF2 = "4";
  globals::stCdPortImpNF2 = "LPT2";
  TrdmImpressoras& rdm = EnsureDataModule();
  rdm.cds("cdsVendas").LoadFromPacket(kVendas);
  rdm.LoadProdLoja();

  rdm.PreencheImprimePedido();
  ClientDataSet& dlv = rdm.cds("cdsImprimePedidoDlv");
  auto got = rows(dlv);
  ASSERT_EQ(got.size(), 3u);
  // found, with its model and expediting printer; a negative quantity prints positive
  EXPECT_EQ(got[0].porta, "COZINHA");
  EXPECT_EQ(got[0].modelo, "13");
  EXPECT_EQ(got[0].portaPuxa, "LPT3");
  EXPECT_EQ(got[0].modeloPuxa, "4");
  EXPECT_EQ(got[0].qt, 2);
  // found regardless of case, without a model: the model of printer 1
  EXPECT_EQ(got[1].porta, "BAR");
  EXPECT_EQ(got[1].modelo, "14");
  // missing: empty production port, the model of printer 1
  EXPECT_EQ(got[2].porta, "");
  EXPECT_EQ(got[2].modelo, "14");
  EXPECT_EQ(got[2].qt, 1.5);
  dlv.First();
  EXPECT_EQ(dlv.FieldByName("IDCOMANDA").AsString(), "2");
  EXPECT_EQ(dlv.FieldByName("NRLUGARMESA").AsString(), "01");
  EXPECT_EQ(dlv.FieldByName("NOMEPRODPAI").AsString(), "Picanha");
  EXPECT_EQ(dlv.FieldByName("DSOBSERVACAO").AsString(), "ao ponto");
  EXPECT_EQ(dlv.FieldByName("SENHACUPOM").AsString(), "1");

  // With a second outlet printer the expediting copy goes to printer 2.
  globals::stNrSeqImprLoja2 = "2";
  rdm.PreencheImprimePedido();
  got = rows(dlv);
  EXPECT_EQ(got[0].portaPuxa, "LPT2");
  EXPECT_EQ(got[0].modeloPuxa, "4");
  EXPECT_EQ(dlv.FieldByName("SENHACUPOM").AsString(), "2") << "each call takes a new number";

  // Without the file every product is missing.
  std::filesystem::remove(dir.path() / "Dados" / "Cadastros" / "ProdLoja.cds");
  rdm.LoadProdLoja();
  rdm.PreencheImprimePedido();
  for (const auto& r : rows(dlv)) {
    EXPECT_EQ(r.porta, "");
    EXPECT_EQ(r.modelo, "14");
  }
}

TEST_F(DataModule, PreencheParamImpCupNFWritesOneRecord) {
  globals::stIdTipoImpNF1 = "13";
  globals::stCdPortImpNF1 = "LPT1";
  globals::stIdVendImpNF1 = "T";
  globals::stIdOrdemImpObs = "D";
  TrdmImpressoras rdm;
  rdm.PreencheParamImpCupNF("PEDIDO", "77", "S", "000123", 45.5, "");
  ClientDataSet& p = rdm.cds("cdsParamImpCupNF");
  ASSERT_EQ(p.RecordCount(), 1);
  EXPECT_EQ(p.FieldByName("NRNAOFISCAL").AsString(), "77");
  EXPECT_EQ(p.FieldByName("VENDAREALIZADA").AsString(), "S");
  EXPECT_EQ(p.FieldByName("NRSEQVENDA").AsString(), "000123");
  EXPECT_EQ(p.FieldByName("TOTALPAGO").AsFloat(), 45.5);
  EXPECT_EQ(p.FieldByName("TIPOVENDA").AsString(), "D");
  EXPECT_EQ(p.FieldByName("STIMPPOSOBS").AsString(), "D");
  EXPECT_FALSE(p.FieldByName("BOIMPREDZEPSON").AsBoolean());
  EXPECT_FALSE(p.FieldByName("BOIMPREDZEPSON").IsNull());
  EXPECT_EQ(p.FieldByName("stIdTipoImpNF1").AsString(), "13");
  EXPECT_EQ(p.FieldByName("stCdPortImpNF1").AsString(), "LPT1");
  EXPECT_EQ(p.FieldByName("stIdVendImpNF1").AsString(), "T");
  for (const char* zero : {"DOVALACR", "VRTXSERVICO", "VRCONSUMACA", "VRCOUVERT", "VRBASECONSUM"}) {
    EXPECT_FALSE(p.FieldByName(zero).IsNull()) << zero;
    EXPECT_EQ(p.FieldByName(zero).AsFloat(), 0) << zero;
  }
  for (const char* unassigned : {"STIDPAISINTEGRA", "DTABERTURACAIXA", "IDIMPCOMPCUPVEN", "NMCONSUMIDOR"})
    EXPECT_TRUE(p.FieldByName(unassigned).IsNull()) << unassigned;
  EXPECT_EQ(p.FieldByName("CDCLIENTE").Size(), 21);
}

void make_database(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE CAIXA (CDFILIAL VARCHAR(4), CDCAIXA VARCHAR(3), IDUTILFONTEXP VARCHAR(1));"
                         "INSERT INTO CAIXA VALUES ('0001', '001', 'S');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
}

TEST_F(DataModule, ConnectionFaultsAreClearErrorsAndTheNextQueryRecovers) {
  auto db = dir.path() / "Dados" / "imp.db";
  db::Params params{{"P_CDFILIAL", Variant("0001")}, {"P_CDCAIXA", Variant("001")}};
  TrdmImpressoras rdm;
  EXPECT_FALSE(rdm.Connected()) << "nothing opens before the first query";
  struct Fault {
    const char* what;
    std::function<void()> make;
    const char* message;
  } faults[] = {
      {"missing", [] {}, "encontrado"},
      {"folder", [&] { std::filesystem::create_directories(db); }, "pasta"},
      {"not a database", [&] { test::write_file(db, std::string(4096, 'x')); }, "banco de dados"},
  };
  for (const auto& f : faults) {
    std::filesystem::remove_all(db);
    f.make();
    try {
      rdm.Open("adqUtilFontExp", params);
      ADD_FAILURE() << f.what << ": no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(f.message), std::string::npos) << f.what << ": " << e.what();
    }
    EXPECT_FALSE(rdm.Connected()) << f.what;
    EXPECT_FALSE(std::filesystem::is_regular_file(db) && f.what == std::string("missing")) << "never created";
  }
  std::filesystem::remove_all(db);
  make_database(db);
  auto rs = rdm.Open("adqUtilFontExp", params);
  EXPECT_TRUE(rdm.Connected());
  ClientDataSet ds;
  rs.load_into(ds);
  EXPECT_EQ(ds.FieldByName("IDUTILFONTEXP").AsString(), "S");
  EXPECT_EQ(rdm.ConnectionString(), "sqlite:Dados/imp.db");
}

TEST_F(DataModule, CaptionsByCountry) {
  TrdmImpressoras rdm;
  EXPECT_EQ(rdm.MensagemPadrao("", "DATA"), "DATA");
  EXPECT_EQ(rdm.MensagemPadrao("04", "DATA"), "DATE");
  EXPECT_EQ(rdm.MensagemPadrao("05", "DATA"), "FECHA");
  EXPECT_EQ(rdm.MensagemPadrao("99", "data1"), "Data:");
}

}  // namespace
}  // namespace imp
