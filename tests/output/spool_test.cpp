// SendSpool against a private cupsd: which queue a share, a port or the default printer finds, documents kept
// open across writes, backups, refusals.
#include "output/spool.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "host/services.h"
#include "module/globals.h"
#include "platform/cp1252.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "support/network_printer.h"
#include "support/private_spooler.h"
#include "support/test_support.h"

namespace imp {
namespace {

namespace fs = std::filesystem;
using test::PrivateSpooler;

class Spool : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:00:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    hostdir::set(dir.str());
    host::install(nullptr);
    fs::create_directories(dir.path() / "printers");
    fs::create_directories(dir.path() / "cap");
    test::write_file(dir.path() / "imphost.json",
                     R"({"parameters": {"CDCAIXA": "001"}, "ports": {"COM1": "printers/COM1.prn"}})");
    cups = std::make_unique<PrivateSpooler>(dir.path());  // records itself in imphost.json
    cups->add("COZINHA", "capture:" + file("COZINHA").string(), "", true);
    cups->add("BALCAO", "capture:" + file("BALCAO").string(), "Elgin i9");
    cups->add("SWEDA", "capture:" + (dir.path() / "printers" / "COM1.prn").string(), "Sweda SI-300");
    cups->add("IPCOM", "capture:" + (dir.path() / "cap" / "IP_COM2").string(), "SWEDA IX");
    cups->add("REDE", network.uri(), "Generic");
    cups->add("VIZINHO", "socket://127.0.0.20:9100", "Generic");  // an address that only looks alike
    for (GlobalText* g : {&globals::stPortaSpool, &globals::stIpAddress, &globals::stHostName}) g->clear();
    globals::hPrinter.store(nullptr);
  }
  void TearDown() override {
    FinishOpenSpoolDocument();
    cups.reset();
    hostdir::set("");
  }
  fs::path file(const std::string& queue) const { return dir.path() / "cap" / (queue + ".prn"); }
  std::string log() { return test::read_file(log::daily_log_path()); }

  test::TempDir dir;
  test::NetworkPrinter network;
  std::unique_ptr<PrivateSpooler> cups;
};

TEST_F(Spool, SharesPortsAndTheDefaultPrinterFindTheirQueue) {
  struct Case {
    std::string name, share, port, filter;
    fs::path lands;  // empty: nothing found, result 0
  };
  const fs::path com1 = dir.path() / "printers" / "COM1.prn", com2 = dir.path() / "cap" / "IP_COM2";
  const std::vector<Case> cases = {
      {"server\\printer in any case", "127.0.0.1\\cozinha", "", "", file("COZINHA")},
      {"host name form", GetHost() + "\\BALCAO", "", "", file("BALCAO")},
      {"address form", "\\\\" + GetIpAddress() + "\\balcao", "", "", file("BALCAO")},
      {"a share no server answers for", "127.0.0.3\\NAOHA", "", "", {}},
      {"port through the port map", "", "COM1", "sweda", com1},
      {"IP_ port name", "", "COM2", "SWEDA", com2},
      {"a network printer's address", "", "127.0.0.1", "", {}},  // lands on the loopback printer (below)
      {"an address matches whole", "", "127.0.0.2", "GENERIC", {}},
      {"no port: the default printer without the driver", "", "COM9", "SWEDA", {}},
      {"the default printer", "", "", "", file("COZINHA")},
      {"the default printer with another driver", "", "", "elgin", {}},
  };
  std::map<fs::path, std::string> expected;  // what each capture file holds so far
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string data = "ticket de " + c.name + "\n";
    const int result = SendSpool(c.share, c.port, c.filter, "QuivaneDoc", data, false, true);
    const bool network_case = c.port == "127.0.0.1";
    EXPECT_EQ(result, c.lands.empty() && !network_case ? 0 : 1) << log();
    if (!c.lands.empty()) {
      expected[c.lands] += data;
      EXPECT_EQ(PrivateSpooler::captured(c.lands, expected[c.lands].size()), expected[c.lands]);
    }
    if (network_case) {
      EXPECT_EQ(network.jobs(1), std::vector<std::string>{data});
    }
    EXPECT_EQ(globals::hPrinter.load(), nullptr) << "a finished document releases hPrinter";
  }
  EXPECT_EQ(globals::stPortaSpool.get(), "127.0.0.1") << "the port of the last port search that matched";
  const std::string l = log();
  EXPECT_NE(l.find("stShareName2: \\\\127.0.0.1\\COZINHA\n"), std::string::npos) << l;
  EXPECT_NE(l.find("stIpAddress: \\\\" + GetIpAddress() + " - stHostName: \\\\" + GetHost() + "\n"), std::string::npos);
  EXPECT_NE(l.find("stPortName: COM1\n"), std::string::npos);
  EXPECT_NE(l.find("boFinishDoc: S\n"), std::string::npos);
}

TEST_F(Spool, ADocumentKeptOpenIsOneJob) {
  // The SI300 way: open (no data), write, write, finish with ESC @.
  EXPECT_EQ(SendSpool("", "COM1", "SWEDA", "QuivaneDoc", "", false, false), 1);
  EXPECT_NE(globals::hPrinter.load(), nullptr);
  EXPECT_EQ(SendSpool("", globals::stPortaSpool.get(), "SWEDA", "QuivaneDoc", "\x1b\x33\rLinha 1\n", false, false), 1);
  EXPECT_EQ(SendSpool("", globals::stPortaSpool.get(), "SWEDA", "QuivaneDoc", "Linha 2\n", false, false), 1);
  EXPECT_EQ(SendSpool("", globals::stPortaSpool.get(), "SWEDA", "QuivaneDoc", "\x1b@", false, true), 1);
  EXPECT_EQ(globals::hPrinter.load(), nullptr);
  const std::string all = "\x1b\x33\rLinha 1\nLinha 2\n\x1b@";
  EXPECT_EQ(PrivateSpooler::captured(dir.path() / "printers" / "COM1.prn", all.size()), all);
  EXPECT_EQ(cups->job_titles("SWEDA"), std::vector<std::string>{"QuivaneDoc"});
  // The 80 mm queue's paper.
  EXPECT_NEAR(globals::itPaperWidth.load(), 800, 2);
  EXPECT_EQ(globals::itYResolution.load(), 203);
  EXPECT_EQ(globals::itCanvasWidth.load(), 500);

  // A document the job left open is finished at the end of its span, never left holding the queue.
  EXPECT_EQ(SendSpool("127.0.0.1\\COZINHA", "", "", "aberto", "meio documento\n", false, false), 1);
  FinishOpenSpoolDocument();
  EXPECT_EQ(PrivateSpooler::captured(file("COZINHA"), 15), "meio documento\n");
  EXPECT_EQ(globals::hPrinter.load(), nullptr);
  EXPECT_EQ(globals::itPaperWidth.load(), 577) << "a raw queue";
  EXPECT_EQ(globals::itCanvasWidth.load(), 380);
}

TEST_F(Spool, BackupsRefusalsAndUnsafeNames) {
  const std::string name = "001_0000000000_00000_09_12_2026_12_00_00_000.txt";
  EXPECT_EQ(SendSpool("127.0.0.1\\COZINHA", "", "", name, "cupom\n", true, true), 1);
  const fs::path backup = hostdir::resolve("\\Dados\\IMPBACKUP");  // beside the log's folder, whatever its case
  EXPECT_EQ(test::read_file(backup / name), "cupom\n");
  EXPECT_NE(log().find("bobackupFile: S\n"), std::string::npos);
  // A document name is never a path out of the backup folder.
  EXPECT_EQ(SendSpool("127.0.0.1\\COZINHA", "", "", "../../fora\x1b.txt", "x", true, true), 1);
  EXPECT_FALSE(fs::exists(dir.path().parent_path() / "fora.txt"));
  std::size_t backups = 0;
  for (const auto& e : fs::directory_iterator(backup)) backups += e.is_regular_file();
  EXPECT_EQ(backups, 2u);

  // A printer that takes no jobs: 0, hPrinter clear, and the next document elsewhere still goes.
  cups->reject("BALCAO");
  EXPECT_EQ(SendSpool("127.0.0.1\\BALCAO", "", "", "QuivaneDoc", "x", false, false), 0);
  EXPECT_EQ(globals::hPrinter.load(), nullptr);
  EXPECT_EQ(SendSpool("127.0.0.1\\COZINHA", "", "", "QuivaneDoc", "depois\n", false, true), 1);

  // Shares that could carry anything into a URI or a queue name are refused before any search.
  for (const char* bad : {"127.0.0.1\\a b", "\\\\127.0.0.1\\..\\x", "servidor/x\\y", "\\\\127.0.0.1\\a\\b"}) {
    EXPECT_EQ(SendSpool(bad, "", "", "QuivaneDoc", "x", false, true), 0) << bad;
  }
  EXPECT_NE(log().find("compartilhamento inválido"), std::string::npos) << log();
}

}  // namespace
}  // namespace imp
