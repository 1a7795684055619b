#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "library.h"
#include "support/test_support.h"

namespace imp::test {
namespace {

class DataModuleAbi : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:00:00", 1);
    write_file(dir.path() / "imphost.json", R"({"parameters": {"CDFILIAL": "0001", "CDLOJA": "01"}})");
    lib.fn<void (*)(const char*)>("imp_set_host_dir")(dir.str().c_str());
    lib.fn<void (*)()>("Initialize")();
  }
  void TearDown() override { lib.fn<void (*)()>("Finalize")(); }
  imp_variant packet(const std::string& json) {
    imp_variant v{};
    v.type = IMP_VT_BYTES;
    v.v.bytes.ptr = reinterpret_cast<uint8_t*>(const_cast<char*>(json.data()));
    v.v.bytes.len = static_cast<int32_t>(json.size());
    return v;
  }
  Library& lib = Library::get();
  TempDir dir;
};

TEST_F(DataModuleAbi, DefineParametrosImpressoraWritesItsVarParameters) {
  auto define = lib.fn<void (*)(const char*, int32_t*, char**, char**, char**, char**, const char*, const char*,
                                const char*, const char*, const char*, const char*, const char*)>(
      "Cli_imp00000_TrdmImpressoras_DefineParametrosImpressora");
  char mine[] = "caller's own text";  // read on entry, never freed by the module
  int32_t columns = 0;
  char *ctrl1 = mine, *ctrl2 = nullptr, *model = nullptr, *port = nullptr;
  define("EMITECUPOM", &columns, &ctrl1, &ctrl2, &model, &port, "13", "53", "LPT1", "COM2", "A", "C", "C");
  EXPECT_EQ(columns, 32);
  EXPECT_EQ(take_text(model), "53");
  EXPECT_EQ(take_text(port), "COM2");
  EXPECT_EQ(take_text(ctrl1), "\n");
  EXPECT_EQ(take_text(ctrl2), "\x1dV\x01");
  EXPECT_STREQ(mine, "caller's own text");
  imp_variant tipo{};
  lib.fn<int32_t (*)(const char*, imp_variant*)>("imp_global_get")("stTipoImpressora", &tipo);
  EXPECT_EQ(std::string(tipo.v.text.ptr, tipo.v.text.len), "53");
  lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&tipo);
}

TEST_F(DataModuleAbi, DeliveryRowsFromAPacketTheHostLoads) {
  auto set = lib.fn<int32_t (*)(const char*, const imp_variant*)>("imp_dataset_set");
  auto get = lib.fn<int32_t (*)(const char*, imp_variant*)>("imp_dataset_get");
  std::string vendas = R"({"fields": [{"name": "CDPRODUTO", "type": "string", "size": 10},
                                       {"name": "QTPRODCOMVEN", "type": "float"}],
                           "rows": [{"CDPRODUTO": "P001", "QTPRODCOMVEN": -3}]})";
  imp_variant p = packet(vendas);
  ASSERT_EQ(set("cdsVendas", &p), 1);
  lib.fn<void (*)()>("Cli_imp00000_TrdmImpressoras_PreencheImprimePedido")();
  imp_variant out{};
  ASSERT_EQ(get("cdsImprimePedidoDlv", &out), 1);
  ASSERT_EQ(out.type, IMP_VT_BYTES);
  auto json = nlohmann::json::parse(std::string(reinterpret_cast<char*>(out.v.bytes.ptr), out.v.bytes.len));
  lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&out);
  ASSERT_EQ(json["rows"].size(), 1u);
  EXPECT_EQ(json["rows"][0]["QTPRODCOMVEN"], 3);
  EXPECT_EQ(json["rows"][0]["SENHACUPOM"], "1");

  // The same packet handed as a text (Windows-1252, as a till's string holds it) reads the same.
  const std::string cp1252 =
      "{\"fields\": [{\"name\": \"CDPRODUTO\", \"type\": \"string\"}], "
      "\"rows\": [{\"CDPRODUTO\": \"P\xe3o\"}]}";
  imp_variant asText{};
  asText.type = IMP_VT_TEXT;
  asText.v.text.ptr = const_cast<char*>(cp1252.data());
  asText.v.text.len = static_cast<int32_t>(cp1252.size());
  ASSERT_EQ(set("cdsVendas", &asText), 1);
  ASSERT_EQ(get("cdsVendas", &out), 1);
  const std::string back(reinterpret_cast<char*>(out.v.bytes.ptr), static_cast<std::size_t>(out.v.bytes.len));
  lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&out);
  EXPECT_EQ(nlohmann::json::parse(back)["rows"][0]["CDPRODUTO"], "P\u00e3o") << back;

  // An unknown dataset or a packet that does not load is refused and logged; nothing crosses the ABI.
  EXPECT_EQ(set("cdsNaoExiste", &p), 0);
  std::string not_json = "{not json";
  imp_variant bad = packet(not_json);
  EXPECT_EQ(set("cdsVendas", &bad), 0);
  std::string log = read_file(dir.path() / "dados" / "LogImp00000NF" / "LogImp00000NF2026" / "LogImp00000NF091226.txt");
  EXPECT_NE(log.find("cdsNaoExiste"), std::string::npos) << log;
  EXPECT_NE(log.find("Imp00000 - Funcao:imp_dataset_set"), std::string::npos) << log;
}

TEST_F(DataModuleAbi, FlagsAndCaptions) {
  auto ctrl = lib.fn<int32_t (*)(int32_t, const char*, int32_t)>("Cli_imp00000_TrdmImpressoras_CtrlImpress");
  EXPECT_EQ(ctrl(0, "Impressora1", 1), 0);
  EXPECT_EQ(ctrl(1, "Impressora1", 1), 1);
  EXPECT_EQ(ctrl(0, "Impressora1", 0), 1);
  auto msg = lib.fn<char* (*)(const char*, const char*)>("Cli_imp00000_TrdmImpressoras_MensagemPadrao");
  EXPECT_EQ(take_text(msg("04", "DATA")), "DATE");
  EXPECT_EQ(take_text(msg("", "CUPOM")), "NR.CUPOM");
  EXPECT_EQ(take_text(msg("02", "Tp_Receb")), "");
}

}  // namespace
}  // namespace imp::test
