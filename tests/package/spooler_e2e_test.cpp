// Kitchen orders through the C ABI to printers on the network: an LPT port mapped to a share of the spooler (a
// private cupsd), the mapped-LPT spool route of the expanded font, the share route with its backup, a network
// printer on loopback; and what a stalled or missing network printer and a stopped spooler cost.
#include <chrono>
#include <memory>
#include <thread>

#include "drill_fixture.h"
#include "support/network_printer.h"
#include "support/private_spooler.h"
#include "support/silent_server.h"

namespace imp::test {
namespace {

class NetworkOrders : public FaultDrills {
 public:
  // LPT1 (the kitchen) mapped to the share \\127.0.0.1\COZINHA, a capture queue of a private spooler.
  void share_kitchen(const std::string& sql = {}) {
    prepare({}, sql);
    json table = json::parse(read_file(dir.path() / "Dados" / "Cadastros" / "cdsMapeamento.cds"));
    table["rows"][0]["DSENDPORTA"] = "127.0.0.1\\COZINHA";
    write_file(dir.path() / "Dados" / "Cadastros" / "cdsMapeamento.cds", table.dump());
    cups = std::make_unique<PrivateSpooler>(dir.path());
    cups->add("COZINHA", "capture:" + spooled().string(), "", true);
  }
  fs::path spooled() const { return dir.path() / "spooled" / "COZINHA.prn"; }
  std::string print_good_order() {
    dispatch(order_job(good_order().dump()));
    EXPECT_EQ(wait_idle(30000), 1);
    return module_log();
  }
  void TearDown() override {
    cups.reset();
    FaultDrills::TearDown();
  }
  std::unique_ptr<PrivateSpooler> cups;
};

// The kitchen's LPT1 stands for a share: every write of its ticket reaches the spooler as a document of its
// own, in order, so the queue prints exactly what the port would have; the bar's LPT2 prints directly.
TEST_F(NetworkOrders, AnLptMappedToAShareprintsThroughTheSpooler) {
  fs::create_directories(dir.path() / "spooled");
  share_kitchen();
  const std::string log = print_good_order();
  EXPECT_EQ(PrivateSpooler::captured(spooled(), reference().at("LPT1.prn").size()), reference().at("LPT1.prn")) << log;
  EXPECT_EQ(printed().at("LPT2.prn"), reference().at("LPT2.prn"));
  EXPECT_EQ(printed().count("LPT1.prn"), 0u);
  EXPECT_NE(log.find("/C NET USE LPT1 \\\\127.0.0.1\\COZINHA /PERSISTENT:YES"), std::string::npos) << log;
}

// With the expanded font the ticket of a mapped LPT goes as one document "QuivaneDoc": the text, CR LF three
// times, the closing command and ESC @.
TEST_F(NetworkOrders, TheExpandedFontSendsAMappedLptAsOneDocument) {
  fs::create_directories(dir.path() / "spooled");
  share_kitchen("UPDATE CAIXA SET IDUTILFONTEXP = 'S' WHERE CDCAIXA = '001';");
  const std::string log = print_good_order();
  const std::vector<std::string> jobs = cups->job_titles("COZINHA");
  ASSERT_FALSE(jobs.empty()) << log;
  for (const std::string& title : jobs) EXPECT_EQ(title, "QuivaneDoc");
  const std::string end = "\r\n\r\n\r\n\x1bm\x1b@";
  std::string got;
  for (int i = 0; i < 500 && (got.size() < end.size() || got.compare(got.size() - end.size(), end.size(), end) != 0);
       ++i) {
    got = PrivateSpooler::captured(spooled(), got.size() + 1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_NE(got.find("PEDIDO"), std::string::npos) << got;
  EXPECT_EQ(occurrences(got, "\r\n\r\n\r\n\x1bm\x1b@"), jobs.size()) << got;
  EXPECT_TRUE(got.size() > end.size() && got.compare(got.size() - end.size(), end.size(), end) == 0) << log;
  EXPECT_NE(log.find("Utiliza spool: 127.0.0.1\\COZINHA - stIDUTILFONTEXP: S"), std::string::npos) << log;
}

// Order rows that name a network address print through the share route, with a backup named from the clock.
TEST_F(NetworkOrders, TheShareRouteKeepsABackupNamedFromTheClock) {
  fs::create_directories(dir.path() / "spooled");
  share_kitchen();
  json order = good_order();
  order["fields"].push_back({{"name", "DSENDPORTA"}, {"type", "string"}, {"size", 50}});
  for (json& row : order["rows"])
    if (row["CDPORIMPPROD"] == "LPT1") row["DSENDPORTA"] = "127.0.0.1\\COZINHA";
  dispatch(order_job(order.dump()));
  ASSERT_EQ(wait_idle(30000), 1);
  const fs::path backup = dir.path() / "Dados" / "IMPBACKUP" / "001_0000000000_00000_09_12_2026_12_30_00_000.txt";
  ASSERT_TRUE(fs::exists(backup)) << module_log();
  const std::string ticket = read_file(backup);
  EXPECT_NE(ticket.find("PEDIDO"), std::string::npos);
  EXPECT_EQ(PrivateSpooler::captured(spooled(), ticket.size()), ticket);
  EXPECT_NE(module_log().find("Imp Backup. LPT1 13 127.0.0.1\\COZINHA"), std::string::npos) << module_log();
}

// A stopped spooler: the share's tickets are kept, the job ends, and the next order prints.
TEST_F(NetworkOrders, AStoppedSpoolerCostsTheTicketsNotTheJob) {
  fs::create_directories(dir.path() / "spooled");
  share_kitchen();
  cups->stop();
  const auto start = std::chrono::steady_clock::now();
  const std::string log = print_good_order();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_NE(log.find("o spooler não recebeu a impressão"), std::string::npos) << log;
  EXPECT_EQ(kept_bytes("LPT1"), reference().at("LPT1.prn")) << "tickets lost on LPT1";
  good_order_prints();
}

// A printer on the network (raw TCP on loopback) takes each write of a ticket as one connection.
TEST_F(NetworkOrders, ANetworkPrinterTakesTheTickets) {
  NetworkPrinter printer;
  prepare({{"LPT1", printer.uri()}});
  const std::string log = print_good_order();
  std::string all;
  for (const std::string& job : printer.jobs()) all += job;
  EXPECT_EQ(all, reference().at("LPT1.prn")) << log;
}

TEST_F(NetworkOrders, StalledAndMissingNetworkPrinters) {
  SilentServer stalled(1024);
  const int closed = [] {
    SilentServer gone;
    return gone.port();
  }();
  const std::string big = [] {  // a ticket longer than what the stalled printer's receive buffer holds
    json order = good_order();
    for (int i = 0; i < 300; ++i) {
      json row = order["rows"][2];
      row["NMPRODUTO"] = "Bolinho de bacalhau " + std::to_string(i);
      row["NRSEQITEM"] = 10 + i;
      order["rows"].push_back(row);
    }
    return order.dump();
  }();
  const std::vector<Drill> drills = {
      {"a network printer that never reads",
       [&](FaultDrills& t) {
         t.prepare({{"LPT1", "socket://127.0.0.1:" + std::to_string(stalled.port())}});
         t.dados1 = big;
       },
       {"tempo esgotado na escrita (impressora não responde)", "Impressão guardada em "}},
      {"a network printer nobody listens for",
       [&](FaultDrills& t) {
         t.prepare({{"LPT1", "socket://127.0.0.1:" + std::to_string(closed)}});
       },
       {"não foi possível conectar", "Impressão guardada em "},
       Drill::Printout::Partly,
       false,
       "LPT1"},
  };
  for (const Drill& d : drills) {
    const auto start = std::chrono::steady_clock::now();
    run(d);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << d.name;
  }
}

}  // namespace
}  // namespace imp::test
