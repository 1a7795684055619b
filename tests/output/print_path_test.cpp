#include "output/print_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "support/demo_db.h"
#include "support/test_support.h"

namespace imp {
namespace {

const char* kMapeamento = R"({"fields": [{"name": "CDPORTAIMPR", "type": "string", "size": 10},
                                         {"name": "DSENDPORTA", "type": "string", "size": 60}],
                              "rows": [{"CDPORTAIMPR": "LPT1"}, {"CDPORTAIMPR": "LPT2"}, {"CDPORTAIMPR": "LPT4"},
                                       {"CDPORTAIMPR": "LPT5"}, {"CDPORTAIMPR": "LPT6"},
                                       {"CDPORTAIMPR": "LPT3", "DSENDPORTA": "servidor\\cozinha"}]})";

class PrintPath : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:00:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    hostdir::set(dir.str());
    host::install(nullptr);
    std::filesystem::create_directories(dir.path() / "printers");
    std::filesystem::create_directories(dir.path() / "folder");
    // No spooler answers: the share routes fail without ever reaching the system's.
    test::write_file(dir.path() / "imphost.json", R"({
      "spooler": {"server": ")" + (dir.path() / "sem-spooler.sock").string() +
                                                      R"(", "timeoutSeconds": 1},
      "parameters": {"CDFILIAL": "0001", "CDCAIXA": "001", "CDLOJA": "01"},
      "ports": {"LPT1": "printers/LPT1.prn", "LPT2": "printers/LPT2.prn", "LPT3": "printers/LPT3.prn",
                "LPT4": "folder", "LPT5": "/dev/full", "LPT6": "nofolder/x.prn", "COM1": "printers/COM1.prn"},
      "portTimeoutSeconds": 1})");
    test::write_file(dir.path() / "Dados" / "Cadastros" / "cdsMapeamento.cds", kMapeamento);
    globals::stTipoImpressora.clear();
    globals::stIDUTILFONTEXP.clear();
    globals::boPulaFree.store(false);
  }
  void TearDown() override {
    FreeDataModule();
    hostdir::set("");
  }
  std::string printed(const char* port) {
    return test::read_file(dir.path() / "printers" / (std::string(port) + ".prn"));
  }
  std::string log() { return test::read_file(log::daily_log_path()); }
  test::TempDir dir;
};

TEST_F(PrintPath, LegacyDirectRouteWritesTheWholeTicketToItsPort) {
  EXPECT_TRUE(Envia_Dados_Impressora("13", "LPT1", "P\xE3o de queijo\n", "\n", "\x1bm", "N", ""));
  // reset, the formatted text with accents removed, the line feed and two line ends, reset, closing command
  EXPECT_EQ(printed("LPT1"), "\x1b@\x1b\x0f\x12Pao de queijo\n\n\r\n\r\n\x1b@\x1bm");
  EXPECT_EQ(globals::stPortaDireta.get(), "LPT1");

  // models 18, 53 and 54 take no ESC SI DC2 prefix (the model recorded by the printer choice decides);
  // "S" adds no extra feed; 10 sends no closing command
  globals::stTipoImpressora = "54";
  EXPECT_TRUE(Envia_Dados_Impressora("54", "COM1", "A", "\n", "CUT", "S", ""));
  EXPECT_EQ(printed("COM1"),
            "\x1b@A\r\n\r\n\x1b@"
            "CUT");
  globals::stTipoImpressora = "10";
  EXPECT_TRUE(Envia_Dados_Impressora("10", "LPT2", "B", "\n", "CUT", "S", ""));
  EXPECT_EQ(printed("LPT2"),
            "\x1b@\x1b\x0f\x12"
            "B\r\n\r\n\x1b@");
}

TEST_F(PrintPath, LegacyRouteBytesPerModel) {
  const std::string R = "\x1b@", P = "\x1b\x0f\x12", CRLF2 = "\r\n\r\n";
  struct Case {
    const char* model;
    const char* noExtraFeed;
    std::string want;
  } cases[] = {
      {"13", "N", R + P + "T|" + CRLF2 + R + "<C>"},    // text, one feed, two line ends
      {"13", "S", R + P + "T" + CRLF2 + R + "<C>"},     // no extra feed
      {"14", "N", R + P + "T|" + CRLF2 + R + "<C>"},    // the Epson letter type does not reach the port
      {"18", "N", R + "T|" + CRLF2 + R + "<C>"},        // no ESC SI DC2 for 18, 53 and 54
      {"53", "N", R + "T|" + CRLF2 + R + "<C>"},        //
      {"10", "N", R + P + "T|" + CRLF2 + R},            // no closing command for model 10
      {"34", "N", R + R + P + "T|\n\n\n" + R + "<C>"},  // reset again and three LF
      {"1", "N", R + P + "T||" + R + "<C>"},            // model 1 feeds once more, no line ends
      {"4", "N", R + P + "T|" + R + "<C>"},             // any other model: the text as it is
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir.path() / "printers" / "LPT1.prn");
    globals::stTipoImpressora = "18";  // another job's model: the ticket's own model decides the prefix
    EXPECT_TRUE(Envia_Dados_Impressora(c.model, "LPT1", "T", "|", "<C>", c.noExtraFeed, "")) << c.model;
    EXPECT_EQ(printed("LPT1"), c.want) << "model " << c.model << " " << c.noExtraFeed;
  }
}

TEST_F(PrintPath, ResetGoesToThePortOfThisJob) {
  globals::stTipoImpressora = "13";
  ASSERT_EQ(IniciaPorta("LPT2"), 1);  // the previous job's printer
  EXPECT_EQ(ResetImpressora("13", "LPT1"), 1);
  EXPECT_EQ(printed("LPT1"), "\x1b@");
  EXPECT_EQ(printed("LPT2"), "") << "the reset must not reach the previous job's printer";
  EXPECT_EQ(ResetImpressora("13", "USB"), 1);
  EXPECT_EQ(ResetImpressora("29", "LPT1"), 1);
  EXPECT_EQ(printed("LPT1"), "\x1b@") << "USB and bitmap models send nothing";
  EXPECT_NE(log().find("ResetImpressora_13_Bematech_MP-4200_MP-4200_ADV"), std::string::npos);
}

TEST_F(PrintPath, PortFaultsFailTheSendAndAreLogged) {
  struct Case {
    const char* port;
    const char* logged;
  } cases[] = {
      {"LPT4", "IniciaPorta_Porta LPT4"},  // a folder in place of the port
      {"LPT6", "IniciaPorta_Porta LPT6"},  // a port file whose folder is missing
      {"LPT5", "Formata_Porta LPT5"},      // a port that refuses writes (/dev/full)
      {"LPT9", "Mapeamento N"},            // an LPT port the mapping table does not know
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(Envia_Dados_Impressora("13", c.port, "x", "\n", "", "N", "")) << c.port;
    EXPECT_NE(log().find(c.logged), std::string::npos) << c.port << "\n" << log();
  }
  // the next good job still prints
  EXPECT_TRUE(Envia_Dados_Impressora("13", "LPT1", "ok", "\n", "", "S", ""));
  EXPECT_NE(printed("LPT1").find("ok"), std::string::npos);
}

TEST_F(PrintPath, AFifoNobodyReadsFailsWithinTheTimeout) {
  auto fifo = dir.path() / "printers" / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  test::write_file(dir.path() / "imphost.json", R"({"ports": {"COM3": "printers/fifo"}, "portTimeoutSeconds": 1})");
  EXPECT_FALSE(Envia_Dados_Impressora("13", "COM3", "x", "\n", "", "N", ""));  // no reader: cannot open
  // a reader that never reads: the write times out instead of hanging the job
  int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_FALSE(Envia_Dados_Impressora("13", "COM3", std::string(1 << 20, 'x'), "\n", "", "N", ""));
  EXPECT_NE(log().find("tempo esgotado"), std::string::npos) << log();
  ::close(reader);
}

TEST_F(PrintPath, PortMapping) {
  EXPECT_TRUE(DoPortMapping("13", "COM1")) << "a serial port needs no mapping";
  EXPECT_TRUE(DoPortMapping("13", "LPT1")) << "a record with an empty share";
  EXPECT_FALSE(DoPortMapping("13", "LPT7"));
  EXPECT_TRUE(DoPortMapping("24", "LPT7")) << "model 24 carries on";
  EXPECT_TRUE(DoPortMapping("13", "LPT3"));
  std::string l = log();
  EXPECT_NE(l.find(" Impress: 13\n"), std::string::npos) << l;
  EXPECT_NE(l.find("   Porta: LPT3\n"), std::string::npos) << l;
  EXPECT_NE(l.find("Endereco: servidor\\cozinha\n"), std::string::npos) << l;
  EXPECT_NE(l.find("/C NET USE LPT3 \\\\servidor\\cozinha /PERSISTENT:YES"), std::string::npos) << l;
  EXPECT_NE(l.find("Mapeaemento realizado"), std::string::npos) << l;
  // the port now stands for the share, and with no spooler there the send fails and says so
  EXPECT_FALSE(Envia_Dados_Impressora("13", "LPT3", "x", "\n", "", "N", ""));
  EXPECT_EQ(printed("LPT3"), "");
  EXPECT_NE(log().find("o spooler não recebeu a impressão"), std::string::npos) << log();
}

// Routes whose printer is not there: a device route (no maker's library yet), an address and a share with no
// spooler answering.
TEST_F(PrintPath, RoutesWithoutTheirPrinterAreFailedSends) {
  for (const char* port : {"USB", "127.0.0.10"}) {
    EXPECT_FALSE(Envia_Dados_Impressora("13", port, "x", "\n", "", "N", "")) << port;
  }
  EXPECT_FALSE(Envia_Dados_Impressora("7", "LPT6", "x", "\n", "", "N", "")) << "the MP-100's line is not there";
  EXPECT_TRUE(Envia_Dados_Impressora("7", "COM1", "x", "\n", "", "N", ""));
  EXPECT_EQ(printed("COM1"), "x\n") << "the MP-100 takes the text and one line feed on its line";
  EXPECT_FALSE(Envia_Dados_Impressora("13", "LPT1", "x", "\n", "", "N", "servidor\\caixa"));
  EXPECT_NE(log().find("Falha ao enviar impress"), std::string::npos);
  EXPECT_EQ(printed("LPT1"), "");
  // the mapped-LPT spooler route fails, falls through to the direct port, and that port stands for the share
  globals::stIDUTILFONTEXP = "S";
  test::write_file(dir.path() / "Dados" / "Cadastros" / "cdsMapeamento.cds",
                   R"({"fields": [{"name": "CDPORTAIMPR", "type": "string"}, {"name": "DSENDPORTA", "type": "string"}],
                       "rows": [{"CDPORTAIMPR": "LPT1", "DSENDPORTA": ""}, {"CDPORTAIMPR": "LPT2", "DSENDPORTA": "srv\\bar"}]})");
  EXPECT_FALSE(Envia_Dados_Impressora("13", "LPT2", "y", "\n", "", "N", "")) << "mapping made; share undeliverable";
}

TEST_F(PrintPath, ImprimePadraoReleasesTheLockAndTheDataModuleOnEveryPath) {
  std::recursive_mutex cs;
  globals::cs.store(&cs);
  EXPECT_FALSE(ImprimePadrao("LPT9", "13", "x"));  // cannot be mapped
  EXPECT_NE(log().find("EXIT ImprimePadrao_LPT9_13"), std::string::npos);
  EXPECT_NE(log().find("FIM ImprimePadrao_LPT9_13\n"), std::string::npos);
  std::thread other([&] {
    EXPECT_TRUE(cs.try_lock());
    cs.unlock();
  });
  other.join();
  EXPECT_EQ(rdmImpressoras(), nullptr);

  globals::boPulaFree.store(true);
  globals::stTipoImpressora = "13";
  EXPECT_TRUE(ImprimePadrao("LPT1", "13", "Conta"));
  // the legacy route: reset, the text as formatted, reset, the model's closing command
  EXPECT_EQ(printed("LPT1"),
            "\x1b@\x1b\x0f\x12"
            "Conta\x1b@\x1bm");
  EXPECT_NE(log().find("INICIO ImprimePadrao_LPT1_13_Bematech_MP-4200_MP-4200_ADV\n"), std::string::npos);
  EXPECT_NE(log().find("PropiedadesImpNF\n"), std::string::npos);
  EXPECT_NE(log().find("Formata: 1\n"), std::string::npos);
  EXPECT_NE(log().find("FIM ImprimePadrao_LPT1_13\n"), std::string::npos);
  EXPECT_NE(rdmImpressoras(), nullptr) << "boPulaFree keeps the data module once";
  EXPECT_FALSE(globals::boPulaFree.load());
  EXPECT_FALSE(ImprimePadrao("USB", "13", "Conta")) << "the device route is not available yet";
  EXPECT_EQ(rdmImpressoras(), nullptr);
  globals::cs.store(nullptr);
}

TEST_F(PrintPath, ImprimeNFReportsTheSendItself) {
  std::string result;
  ImprimeNF("LPT1", "13", "Cupom", result);
  EXPECT_EQ(result, "Ok");
  ImprimeNF("LPT4", "13", "Cupom", result);  // the port is a folder: the send fails, and so does the result
  EXPECT_EQ(result, "Erro na impress\xE3o da impressora n\xE3o fiscal");
}

TEST_F(PrintPath, AjustaImpressaoDiretaOnAFiscalTill) {
  test::create_demo_db(dir.path() / "Dados" / "imp.db",
                       "UPDATE CAIXA SET IDTPEMISSAOZEL = 'SAT' WHERE CDCAIXA = '001';");
  struct Case {
    const char* report;
    const char* model;
    const char* port;
    int want;
  } cases[] = {
      {"RelMesaComanda", "21", "LPT1", 42}, {"REDUCAOZ", "13", "LPT1", 44},       {"RelVendas", "42", "LPT1", 43},
      {"RelMesaComanda", "14", "LPT1", 48}, {"RelMesaComanda", "21", "COM1", 48},
  };
  for (const auto& c : cases) {
    int32_t columns = 48;
    AjustaImpressaoDireta(c.report, c.model, c.port, columns);
    EXPECT_EQ(columns, c.want) << c.report << " " << c.model << " " << c.port;
  }
}

TEST(ModeloImpressora, DisplayNames) {
  EXPECT_EQ(ModeloImpressora("13"), "13_Bematech_MP-4200_MP-4200_ADV");
  EXPECT_EQ(ModeloImpressora("013"), "13_Bematech_MP-4200_MP-4200_ADV");
  EXPECT_EQ(ModeloImpressora("30"), "Tanca TP-650");
  EXPECT_EQ(ModeloImpressora("10"), "10");
  EXPECT_EQ(ModeloImpressora("99"), "99");
  EXPECT_EQ(ModeloImpressora(""), "");
}

}  // namespace
}  // namespace imp
