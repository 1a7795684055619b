// The CUPS spooler against a private cupsd: queues, default printer, paper, raw documents written in pieces,
// cancelled, refused, and connections to another server's printer.
#include "platform/spooler.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/error.h"
#include "support/private_spooler.h"
#include "support/test_support.h"

namespace imp::spooler {
namespace {

using test::PrivateSpooler;

TEST(CupsSpooler, QueuesAndRawDocuments) {
  test::TempDir host;
  PrivateSpooler cups(host.path());
  const auto kitchen = host.path() / "cozinha.prn", till = host.path() / "caixa.prn";
  cups.add("COZINHA", "capture:" + kitchen.string(), "", true);
  cups.add("CAIXA", "capture:" + till.string(), "Sweda SI-300");
  auto sp = Cups({cups.server(), 2});

  const std::vector<Printer> printers = sp->printers();
  ASSERT_EQ(printers.size(), 2u);
  EXPECT_EQ(printers[0].name, "CAIXA");
  EXPECT_EQ(printers[0].share, "CAIXA");
  EXPECT_EQ(printers[0].port, "capture:" + till.string());
  EXPECT_NE(printers[0].driver.find("Sweda SI-300"), std::string::npos) << printers[0].driver;
  EXPECT_EQ(printers[0].server, "");
  EXPECT_EQ(sp->default_printer(), "COZINHA");
  EXPECT_EQ(sp->paper("CAIXA").yResolution, 203);
  EXPECT_NEAR(sp->paper("CAIXA").width, 800, 2) << "80 mm paper";
  EXPECT_EQ(sp->paper("COZINHA").width, 577) << "a raw queue without media";
  EXPECT_EQ(sp->paper("COZINHA").yResolution, 100);

  // One document written in three pieces is one job, its bytes exactly as sent.
  const std::string third("\x1b@\0\xff fim", 8);
  {
    auto doc = sp->begin("COZINHA", "QuivaneDoc");
    doc->write("PEDIDO ");
    doc->write("MESA 12\n");
    doc->write(third);
    doc->finish();
  }
  const std::string all = "PEDIDO MESA 12\n" + third;
  EXPECT_EQ(PrivateSpooler::captured(kitchen, all.size()), all);
  EXPECT_EQ(cups.job_titles("COZINHA"), std::vector<std::string>{"QuivaneDoc"});

  // A cancelled document prints nothing; a queue that rejects jobs refuses the document.
  {
    auto doc = sp->begin("COZINHA", "cancelado");
    doc->write("nada");
    doc->cancel();
  }
  cups.reject("CAIXA");
  EXPECT_THROW(sp->begin("CAIXA", "x"), Error);
  EXPECT_THROW(sp->begin("NAOEXISTE", "x"), Error);

  // Another server's printer (here the spooler itself over TCP) becomes a queue that forwards to it.
  const std::string server = "127.0.0.1:" + std::to_string(cups.ipp_port());
  const std::string queue = sp->connect_printer(server, "COZINHA");
  bool listed = false;
  for (const Printer& p : sp->printers())
    if (p.name == queue) {
      listed = true;
      EXPECT_EQ(p.server, "\\\\127.0.0.1");
      EXPECT_EQ(p.port, "ipp://" + server + "/printers/COZINHA");
    }
  EXPECT_TRUE(listed) << queue;
  {
    auto doc = sp->begin(queue, "encaminhado");
    doc->write("via rede\n");
  }  // an open document is finished when it goes
  EXPECT_EQ(PrivateSpooler::captured(kitchen, all.size() + 9, 20), all + "via rede\n");
  EXPECT_THROW(sp->connect_printer("127.0.0.5", "COZINHA"), Error) << "a server that does not answer";
}

TEST(CupsSpooler, ASpoolerThatIsNotThereCostsItsTimeout) {
  test::TempDir dir;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(Cups({(dir.path() / "no.sock").string(), 1})->printers(), Error);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
}  // namespace imp::spooler
