#include <gtest/gtest.h>

#include <chrono>

#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/rtl.h"
#include "support/test_support.h"

namespace imp {
namespace {

class Logs : public ::testing::Test {
 protected:
  void SetUp() override {
    hostdir::set(dir.str());
    setenv("IMP_NOW", "2026-12-09T12:30:05", 1);
  }
  void TearDown() override {
    hostdir::set("");
    unsetenv("IMP_NOW");
  }
  test::TempDir dir;
};

TEST_F(Logs, ClockReadsImpNow) {
  EXPECT_DOUBLE_EQ(clock::Now(), EncodeDateTime(2026, 12, 9, 12, 30, 5, 0));
  EXPECT_DOUBLE_EQ(clock::Date(), EncodeDate(2026, 12, 9));
  setenv("IMP_NOW", "2027-01-02T03:04:05.678", 1);  // milliseconds read as 000
  EXPECT_DOUBLE_EQ(clock::Now(), EncodeDateTime(2027, 1, 2, 3, 4, 5, 0));
}

TEST_F(Logs, DailyLogCreatesItsFoldersAndAppendsUtf8Lines) {
  log::LogErroImpNaoFiscal("INICIO THREAD_PEDIDO");
  log::LogErroImpNaoFiscal("Mapeamento NÃO realizado"_cp);
  log::LogErroImpNaoFiscal("");
  auto file = dir.path() / "dados" / "LogImp00000NF" / "LogImp00000NF2026" / "LogImp00000NF091226.txt";
  EXPECT_EQ(test::read_file(file),
            "09/12/2026 12:30:05 - INICIO THREAD_PEDIDO\n"
            "09/12/2026 12:30:05 - Mapeamento NÃO realizado\n"
            "09/12/2026 12:30:05 - \n");
}

TEST_F(Logs, DailyLogReusesAFolderSpelledOtherwise) {
  std::filesystem::create_directories(dir.path() / "Dados" / "logimp00000nf");
  log::LogErroImpNaoFiscal("x");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "Dados" / "logimp00000nf" / "LogImp00000NF2026" /
                                      "LogImp00000NF091226.txt"));
}

TEST_F(Logs, PrintLogNeedsItsFolderAndReportsToTheDailyLog) {
  log::LogImpNFiscal("Cupom 12");  // Dados\ImpNaoFiscal does not exist: not created
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "Dados" / "ImpNaoFiscal"));
  auto daily = test::read_file(log::daily_log_path());
  EXPECT_NE(daily.find("LogImpressoraNFiscal1226.txt"), std::string::npos) << daily;
  EXPECT_NE(daily.find("Imp00000 - Funcao:LogImpNFiscal"), std::string::npos) << daily;

  std::filesystem::create_directories(dir.path() / "Dados" / "ImpNaoFiscal");
  log::LogImpNFiscal("Cupom 13");
  EXPECT_EQ(test::read_file(dir.path() / "Dados" / "ImpNaoFiscal" / "LogImpressoraNFiscal1226.txt"),
            "09/12/2026 12:30:05 - Cupom 13\n");
}

TEST_F(Logs, AnUnwritableLogNeverStopsTheCaller) {
  test::write_file(dir.path() / "dados", "a file where the log folder should be");
  EXPECT_NO_THROW(log::LogErroImpNaoFiscal("x"));
  EXPECT_NO_THROW(log::LogImpNFiscal("y"));
}

TEST(Pauses, ScaleZeroMakesThemInstant) {
  setenv("IMP_PAUSE_SCALE", "0", 1);
  auto t0 = std::chrono::steady_clock::now();
  clock::pause_ms(5000);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  setenv("IMP_PAUSE_SCALE", "junk", 1);
  EXPECT_EQ(clock::pause_scale(), 1);
  setenv("IMP_PAUSE_SCALE", "-3", 1);
  EXPECT_EQ(clock::pause_scale(), 0);
  unsetenv("IMP_PAUSE_SCALE");
  EXPECT_EQ(clock::pause_scale(), 1);
}

}  // namespace
}  // namespace imp
