#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "library.h"
#include "support/test_support.h"

namespace imp::test {
namespace {

using VoidFn = void (*)();

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:00:00", 1);
    lib.fn<void (*)(const char*)>("imp_set_host_dir")(dir.str().c_str());
  }
  void call(const char* name) { lib.fn<VoidFn>(name)(); }
  imp_variant global(const char* name) {
    imp_variant v{};
    EXPECT_EQ(lib.fn<int32_t (*)(const char*, imp_variant*)>("imp_global_get")(name, &v), 1) << name;
    return v;
  }
  bool set_global(const char* name, imp_variant v) {
    return lib.fn<int32_t (*)(const char*, const imp_variant*)>("imp_global_set")(name, &v) == 1;
  }
  bool cs_assigned() {
    imp_variant v = global("cs");
    return v.type == IMP_VT_BOOL && v.v.b == 1;
  }
  std::string daily_log() {
    return read_file(dir.path() / "dados" / "LogImp00000NF" / "LogImp00000NF2026" / "LogImp00000NF091226.txt");
  }
  Library& lib = Library::get();
  TempDir dir;
};

imp_variant text(const char* s) {
  imp_variant v{};
  v.type = IMP_VT_TEXT;
  v.v.text.ptr = const_cast<char*>(s);
  v.v.text.len = static_cast<int32_t>(strlen(s));
  return v;
}

TEST_F(Frame, NestedLoadsCreateAndFreeCsOnce) {
  EXPECT_FALSE(cs_assigned());
  call("Initialize");
  EXPECT_TRUE(cs_assigned());
  call("Pkg_imp00000_PackageLoad");  // the full name reaches the same routine
  call("Finalize");
  EXPECT_TRUE(cs_assigned()) << "the inner unload must not free cs";
  call("Pkg_imp00000_PackageUnload");
  EXPECT_FALSE(cs_assigned());
  call("Finalize");  // one unload too many does nothing
  EXPECT_FALSE(cs_assigned());
  call("Cli_imp00000_initialization");  // the unit section alone also creates it
  EXPECT_TRUE(cs_assigned());
  call("Cli_imp00000_Finalization");
  EXPECT_FALSE(cs_assigned());
}

TEST_F(Frame, GlobalsStartAsDeclaredAndUnloadClearsTextsAndVariants) {
  imp_variant v = global("boPortaFechada");
  EXPECT_EQ(v.type, IMP_VT_BOOL);
  EXPECT_EQ(v.v.b, 1);
  v = global("stTipoImpressora");
  EXPECT_EQ(v.type, IMP_VT_TEXT);
  EXPECT_EQ(v.v.text.len, 0);
  lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&v);

  call("Initialize");
  const char* texts[] = {"stTipoImpressora", "Rev_stIdEsquema", "stNrSeqImprLoja2", "stIDUTILFONTEXP", "stPortaAux",
                         "stMsgDesconto",    "stNrCupom",       "stImpQrCodeG",     "stCRMBONUSResult"};
  for (const char* name : texts) EXPECT_TRUE(set_global(name, text("13"))) << name;
  EXPECT_TRUE(set_global("oleDadosConta", text("x")));
  imp_variant yes{};
  yes.type = IMP_VT_BOOL;
  yes.v.b = 1;
  EXPECT_TRUE(set_global("boPulaFree", yes));
  EXPECT_FALSE(set_global("rdmImpressoras", yes)) << "objects refuse writes";
  EXPECT_FALSE(set_global("nonexistent", yes));
  EXPECT_FALSE(set_global("itPaperWidth", text("wide"))) << "a value that does not convert";
  call("Finalize");

  for (const char* name : texts) {
    imp_variant t = global(name);
    EXPECT_EQ(t.v.text.len, 0) << name << " must be empty after unload";
    lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&t);
  }
  EXPECT_EQ(global("oleDadosConta").type, IMP_VT_EMPTY);
  EXPECT_EQ(global("boPulaFree").v.b, 1) << "booleans are not part of the unload";
  EXPECT_TRUE(set_global("boPulaFree", imp_variant{IMP_VT_BOOL, {.b = 0}}));
  imp_variant unknown{};
  EXPECT_EQ(lib.fn<int32_t (*)(const char*, imp_variant*)>("imp_global_get")("stNaoExiste", &unknown), 0);
}

TEST_F(Frame, EntryPointsOutsideTheLoadLogAndDoNothing) {
  auto senha = lib.fn<void (*)(const char*, double, imp_variant*)>("Cli_imp00000_TrdmImpressoras_getSenhaCupom");
  imp_variant r{};
  senha("0001", 46000, &r);
  EXPECT_EQ(r.type, IMP_VT_EMPTY);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "imphost-sequences.db")) << "no number consumed";
  EXPECT_NE(daily_log().find("getSenhaCupom: Imp00000 n\xC3\xA3o carregado"), std::string::npos) << daily_log();
}

TEST_F(Frame, UtilitiesThroughTheAbi) {
  call("Initialize");
  EXPECT_EQ(take_text(lib.fn<char* (*)(double)>("Cli_imp00000_NumeroEnLetras")(12.5)), "DOCE COMA CINCUENTA");
  EXPECT_EQ(lib.fn<int32_t (*)(int32_t, int32_t)>("Cli_imp00000_MDC")(25, 100), 25);
  auto cpf = lib.fn<char* (*)(const char*)>("Cli_imp00000_TrdmImpressoras_formataCPFCNPJ");
  EXPECT_EQ(take_text(cpf("12345678901")), "123.456.789-01");
  EXPECT_EQ(take_text(cpf(nullptr)), "../-");
  auto log = lib.fn<void (*)(const char*)>("Cli_imp00000_LogErroImpNaoFiscal");
  log("Teste \xE7");  // Windows-1252 in, UTF-8 in the file
  EXPECT_NE(daily_log().find("09/12/2026 12:00:00 - Teste \xC3\xA7\n"), std::string::npos);
  std::string info = take_text(lib.fn<char* (*)()>("GetPackageInfoTable")());
  EXPECT_NE(info.find("Contains: Pkg_imp00000, Cli_imp00000, Cli_imp00400"), std::string::npos) << info;
  EXPECT_NE(info.find("Pkg_Gpe00002"), std::string::npos) << info;
  call("Finalize");
}

TEST_F(Frame, GetSenhaCupomConsumesOneNumberPerCallFromTwoThreads) {
  call("Initialize");
  auto senha = lib.fn<void (*)(const char*, double, imp_variant*)>("Cli_imp00000_TrdmImpressoras_getSenhaCupom");
  auto clear = lib.fn<void (*)(imp_variant*)>("imp_variant_clear");
  constexpr int kEach = 40;
  std::vector<std::string> got[2];
  auto worker = [&](int t) {
    for (int i = 0; i < kEach; ++i) {
      imp_variant r{};
      senha("0001", 46365.0, &r);
      ASSERT_EQ(r.type, IMP_VT_TEXT);
      got[t].emplace_back(r.v.text.ptr, r.v.text.len);
      clear(&r);
    }
  };
  std::thread a(worker, 0), b(worker, 1);
  a.join();
  b.join();
  std::set<std::string> all(got[0].begin(), got[0].end());
  all.insert(got[1].begin(), got[1].end());
  EXPECT_EQ(all.size(), 2u * kEach);
  EXPECT_TRUE(all.count("1") && all.count(std::to_string(2 * kEach)));
  call("Finalize");
}

}  // namespace
}  // namespace imp::test
