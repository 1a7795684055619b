#include <gtest/gtest.h>

#include "library.h"
#include "support/test_support.h"

namespace imp::test {
namespace {

TEST(PrintPathAbi, PlainAndFullNamesReachTheSameRoutine) {
  Library& lib = Library::get();
  TempDir dir;
  setenv("IMP_NOW", "2026-12-09T12:00:00", 1);
  setenv("IMP_PAUSE_SCALE", "0", 1);
  write_file(dir.path() / "imphost.json", R"({"ports": {"LPT1": "printers/LPT1.prn"}})");
  write_file(dir.path() / "Dados" / "Cadastros" / "cdsMapeamento.cds",
             R"({"fields": [{"name": "CDPORTAIMPR", "type": "string"}], "rows": [{"CDPORTAIMPR": "LPT1"}]})");
  std::filesystem::create_directories(dir.path() / "printers");
  lib.fn<void (*)(const char*)>("imp_set_host_dir")(dir.str().c_str());
  lib.fn<void (*)()>("Initialize")();

  using Print = int32_t (*)(const char*, const char*, const char*);
  EXPECT_EQ(lib.fn<Print>("ImprimePadrao")("LPT1", "13", "um\n"), 1);
  EXPECT_EQ(lib.fn<Print>("Cli_imp00000_ImprimePadrao")("LPT1", "13", "dois\n"), 1);
  std::string printed = read_file(dir.path() / "printers" / "LPT1.prn");
  EXPECT_NE(printed.find("um\n"), std::string::npos);
  EXPECT_NE(printed.find("dois\n"), std::string::npos);

  using NF = void (*)(const char*, const char*, const char*, char**);
  char* result = nullptr;
  lib.fn<NF>("ImprimeNF")("LPT1", "13", "tres", &result);
  EXPECT_EQ(take_text(result), "Ok");
  lib.fn<NF>("Cli_imp00000_ImprimeNF")("LPT8", "13", "quatro", &result);
  EXPECT_EQ(take_text(result), "Erro na impress\xE3o da impressora n\xE3o fiscal");

  using Adjust = void (*)(const char*, const char*, const char*, int32_t*);
  int32_t columns = 48;
  lib.fn<Adjust>("AjustaImpressaoDireta")("RelMesaComanda", "21", "COM1", &columns);
  EXPECT_EQ(columns, 48);  // no database here: the till cannot be read, which is logged, and nothing changes
  lib.fn<void (*)()>("Finalize")();
}

}  // namespace
}  // namespace imp::test
