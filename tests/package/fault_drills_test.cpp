// Fault drills: a kitchen order sent through the C ABI while a port, the database, a data packet or the job
// array is broken (fixture in drill_fixture.h).
#include <sqlite3.h>
#include <sys/wait.h>

#include <chrono>

#include "drill_fixture.h"
#include "support/silent_server.h"

namespace imp::test {
namespace {

TEST_F(FaultDrills, PortFaults) {
  const std::vector<Drill> drills = {
      {"missing device",
       [](FaultDrills& t) {
         t.prepare({{"LPT1", "/dev/imp-drill-no-such-printer"}});
       },
       {"Porta LPT1 (/dev/imp-drill-no-such-printer): impressora não conectada", "Impressão guardada em "},
       Drill::Printout::Partly,
       false,
       "LPT1"},
      {"folder in place of the port file",
       [](FaultDrills& t) { fs::create_directories(t.dir.path() / "printers" / "LPT1.prn"); },
       {"printers/LPT1.prn): não é um dispositivo nem um arquivo"},
       Drill::Printout::Partly,
       false,
       "LPT1"},
      {"device refuses writes",
       [](FaultDrills& t) {
         t.prepare({{"LPT1", "/dev/full"}});
       },
       {"Porta LPT1 (/dev/full): erro de escrita"},
       Drill::Printout::Partly,
       false,
       "LPT1"},
      {"reader goes away in the middle of a ticket",
       [](FaultDrills& t) {
         const fs::path fifo = t.dir.path() / "printers" / "LPT1.fifo";
         t.prepare({{"LPT1", fifo.string()}});
         t.dados1 = [] {  // a ticket longer than the pipe
           json order = good_order();
           for (int i = 0; i < 250; ++i) {
             json row = order["rows"][2];
             row["NMPRODUTO"] = "Bolinho de bacalhau " + std::to_string(i);
             row["NRSEQITEM"] = 10 + i;
             order["rows"].push_back(row);
           }
           return order.dump();
         }();
         int fd = open_fifo_reader(fifo);
         auto reader = std::make_shared<std::thread>([fd] {
           std::size_t got = 0;
           char buf[64];
           const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
           while (got < 100 && std::chrono::steady_clock::now() < give_up) {
             ssize_t n = read(fd, buf, sizeof buf);
             if (n > 0) got += static_cast<std::size_t>(n);
             if (n <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
           }
           close(fd);
         });
         t.after_job = [reader, &t] {
           reader->join();
           EXPECT_NE(t.kept_bytes("LPT1"), "") << "the ticket the reader left is lost";
         };
       },
       {"Formata_Porta LPT1 (", "LPT1.fifo): erro de escrita"}},
      {"no one reads: the write times out",
       [](FaultDrills& t) {
         const fs::path fifo = t.dir.path() / "printers" / "LPT1.fifo";
         t.prepare({{"LPT1", fifo.string()}});
         int fd = open_fifo_reader(fifo);
         int filler = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // the pipe is full before the job
         const std::string block(4096, 'x');
         while (write(filler, block.data(), block.size()) > 0) {
         }
         close(filler);
         t.after_job = [fd] { close(fd); };
       },
       {"tempo esgotado na escrita (impressora não responde)"},
       Drill::Printout::Partly,
       false,
       "LPT1"},
      {"log folder is a file",
       [](FaultDrills& t) { write_file(t.dir.path() / "Dados" / "LogImp00000NF", "x"); },
       {},
       Drill::Printout::Whole},
  };
  for (const Drill& d : drills) run(d);
}

// A process of its own that holds the database in an exclusive transaction until `seconds` have passed.
pid_t lock_database(const fs::path& db, double seconds) {
  int ready[2];
  EXPECT_EQ(pipe(ready), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    sqlite3* conn = nullptr;
    if (sqlite3_open(db.c_str(), &conn) == SQLITE_OK &&
        sqlite3_exec(conn, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK) {
      (void)!write(ready[1], "x", 1);
      usleep(static_cast<useconds_t>(seconds * 1e6));
    }
    _exit(0);
  }
  close(ready[1]);
  char c = 0;
  EXPECT_EQ(read(ready[0], &c, 1), 1) << "the locking process did not start";
  close(ready[0]);
  return pid;
}

TEST_F(FaultDrills, DatabaseFaults) {
  auto db = [](FaultDrills& t) { return t.dir.path() / "Dados" / "imp.db"; };
  const std::vector<Drill> drills = {
      {"missing", [&](FaultDrills& t) { fs::remove(db(t)); }, {"Banco de dados não encontrado: "}},
      {"a folder",
       [&](FaultDrills& t) {
         fs::remove(db(t));
         fs::create_directories(db(t));
       },
       {"Banco de dados inválido (é uma pasta): "}},
      {"not a database",
       [&](FaultDrills& t) { write_file(db(t), std::string(4096, 'x')); },
       {"banco de dados inválido: file is not a database"}},
      {"locked by a writer in another process",
       [&](FaultDrills& t) {
         pid_t pid = lock_database(db(t), 6.5);  // longer than the module waits for a lock
         t.after_job = [pid] {
           int status = 0;
           waitpid(pid, &status, 0);
         };
       },
       {"database is locked"}},
      {"a query names a column the database lacks",
       [](FaultDrills& t) { t.prepare({}, "ALTER TABLE LOJA DROP COLUMN DSENDEZEBRA;"); },
       {"no such column: DSENDEZEBRA"}},
  };
  for (const Drill& d : drills) {
    run(d);
  }
}

// A SQL Server that takes the connection and never answers costs the job one login timeout, however many
// queries the job makes; the next job tries again and prints once the database answers.
TEST_F(FaultDrills, ASilentDatabaseServerCostsOneTimeoutPerJob) {
  test::SilentServer server;
  json host = json::parse(read_file(dir.path() / "imphost.json"));
  host["connection"] = "odbc:" + server.freetds();
  host["odbcTimeoutSeconds"] = 1;
  write_file(dir.path() / "imphost.json", host.dump());
  for (int job = 0; job < 2; ++job) {
    const auto start = std::chrono::steady_clock::now();
    dispatch(order_job(good_order().dump()));
    ASSERT_EQ(wait_idle(30000), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900))
        << "job " << job;  // one timeout of 1 s
  }
  const std::string log = module_log();
  EXPECT_NE(log.find("Timeout expired"), std::string::npos) << log;
  EXPECT_EQ(log.find("segredo"), std::string::npos) << "a password in the log";
  good_order_prints();
}

TEST_F(FaultDrills, RefusedPackets) {
  auto edit = [](std::function<void(json&)> change) {
    return [change](FaultDrills& t) {
      json order = good_order();
      change(order);
      t.dados1 = order.dump();
    };
  };
  const std::string refused = "Pacote de dados inválido: ";
  const std::vector<Drill> drills = {
      {"not JSON",
       [](FaultDrills& t) { t.dados1 = R"({"fields": [{"name": "NRMESA")"; },
       {refused + "não é JSON válido"}},
      {"unknown type",
       edit([](json& o) { o["fields"][4]["type"] = "money"; }),
       {refused + "tipo 'money' desconhecido no campo 'QTPRODCOMVEN'"}},
      {"value of the wrong type",
       edit([](json& o) { o["rows"][1]["QTPRODCOMVEN"] = "um"; }),
       {refused + "campo 'QTPRODCOMVEN' da linha 2: esperado um número"}},
      {"number beyond a double",
       [](FaultDrills& t) {
         t.dados1 = good_order().dump();
         const std::string q = "\"QTPRODCOMVEN\":1";
         t.dados1.replace(t.dados1.find(q), q.size(), "\"QTPRODCOMVEN\":1e309");
       },
       {refused + "não é JSON válido (número fora do intervalo de um double)"}},
  };
  for (Drill d : drills) {
    d.printout = Drill::Printout::Nothing;
    d.loggedOnce = true;  // one refusal, one line
    run(d);
  }
}

TEST_F(FaultDrills, RefusedJobArrays) {
  const std::vector<imp_variant> good = order_job(good_order().dump());
  imp_variant list{};
  list.type = IMP_VT_ARRAY;
  list.v.array.items = const_cast<imp_variant*>(good.data());
  list.v.array.count = 2;
  auto with = [&](std::size_t count, std::size_t at = 99, imp_variant v = {}) {
    std::vector<imp_variant> items(count, text("13"));
    for (std::size_t i = 0; i < count && i < good.size(); ++i) items[i] = good[i];
    if (at < count) items[at] = v;
    return items;
  };
  struct Case {
    const char* entry;
    std::vector<imp_variant> items;
    std::string logged;
  };
  const std::string cannot = "Could not convert variant of type (";
  const std::vector<Case> cases = {
      {"DisparaImpressaoNaoFiscal", with(0), "DisparaImpressaoNaoFiscal: lista de dados com 0 elemento(s); são"},
      {"DisparaImpressaoNaoFiscal", with(1), "DisparaImpressaoNaoFiscal: lista de dados com 1 elemento(s); são"},
      {"DisparaImpressaoNaoFiscal", with(6), "DisparaImpressaoNaoFiscal: lista de dados com 6 elemento(s); são"},
      {"DisparaImpNaoFiscalDlv", with(0), "DisparaImpNaoFiscalDlv: lista de dados com 0 elemento(s); são"},
      {"DisparaImpNaoFiscalDlv", with(1), "DisparaImpNaoFiscalDlv: lista de dados com 1 elemento(s); são"},
      {"DisparaImpNaoFiscalDlv", with(6), "DisparaImpNaoFiscalDlv: lista de dados com 6 elemento(s); são"},
      {"DisparaImprimeCancProduto", with(17),
       "DisparaImprimeCancProduto: lista de dados com 17 elemento(s); são necessários 18. Job recusado."},
      // Elements that cannot become texts.
      {"DisparaImpressaoNaoFiscal", with(8, 1, list), cannot},
      {"DisparaImpressaoNaoFiscal", with(8, 6, text("abc", IMP_VT_BYTES)), cannot},
      {"DisparaImpNaoFiscalDlv", with(7, 1, text("PEDIDO", IMP_VT_BYTES)), cannot},
      {"DisparaImprimeCancProduto", with(18, 3, list), cannot},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + " with " + std::to_string(c.items.size()));
    prepare();
    dispatch(c.items, c.entry);
    EXPECT_EQ(wait_idle(30000), 1);
    const std::string log = module_log();
    EXPECT_EQ(occurrences(log, c.logged), 1u) << log;
    EXPECT_EQ(occurrences(log, "INICIO THREAD_"), 0u) << log;
    EXPECT_EQ(printed(), Files{});
  }
  good_order_prints();
}

TEST_F(FaultDrills, LongTextsAreCutToTheirFields) {
  json order = good_order();
  for (json& f : order["fields"]) {
    if (f["name"] == "NRMESA") f["size"] = 2;
    if (f["name"] == "NMVENDEDOR") f["size"] = 10;  // Windows-1252 characters, not UTF-8 bytes
  }
  for (json& row : order["rows"]) {
    row["NRMESA"] = "12 (varanda, ao fundo)";
    row["NMVENDEDOR"] = "Zé Roberto da Silva";
  }
  dispatch(order_job(order.dump()));
  ASSERT_EQ(wait_idle(30000), 1);
  EXPECT_EQ(printed(), reference());
}

// A very long order prints whole (the order loop never searches the order again for a row it has printed).
TEST_F(FaultDrills, HundredThousandOrderRowsPrint) {
  print_rows(100000);
}

TEST_F(FaultDrills, FinalizeWaitsForJobsFromManyThreads) {
  const std::vector<imp_variant> job = order_job(good_order().dump());
  std::atomic<int> sent{0};
  std::vector<std::thread> hosts;
  for (int t = 0; t < 8; ++t)
    hosts.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        dispatch(job);
        ++sent;
      }
    });
  while (sent < 100) std::this_thread::yield();
  lib.fn<void (*)()>("Finalize")();  // while the hosts still dispatch and the jobs queue for cs
  EXPECT_EQ(wait_idle(0), 1) << "Finalize returned under a running job";
  for (auto& h : hosts) h.join();

  const std::string log = module_log();
  const std::size_t started = occurrences(log, "INICIO THREAD_PEDIDO");
  EXPECT_GE(started, 100u);
  EXPECT_EQ(occurrences(log, "TERMINATE THREAD_PEDIDO"), started);
  EXPECT_EQ(started + occurrences(log, "DisparaImpressaoNaoFiscal: Imp00000 não carregado") +
                occurrences(log, "TImpressaoNaoFiscalThread: Imp00000 em finalização, job não iniciado"),
            200u);
  // Every accepted order printed whole, one ticket after another.
  Files expected;
  for (const auto& [file, ticket] : reference())
    for (std::size_t i = 0; i < started; ++i) expected[file] += ticket;
  const Files before = printed();
  EXPECT_EQ(before, expected);

  // After the last unload every entry point logs and does nothing.
  dispatch(job);
  using Print = int32_t (*)(const char*, const char*, const char*);
  EXPECT_EQ(lib.fn<Print>("ImprimePadrao")("LPT1", "13", "depois\n"), 0);
  EXPECT_EQ(wait_idle(1000), 1);
  EXPECT_EQ(printed(), before);
  const std::string after = module_log().substr(log.size());
  EXPECT_EQ(occurrences(after, "DisparaImpressaoNaoFiscal: Imp00000 não carregado"), 1u) << after;
  EXPECT_EQ(occurrences(after, "ImprimePadrao: Imp00000 não carregado"), 1u) << after;
  EXPECT_EQ(occurrences(after, "INICIO"), 0u) << after;

  lib.fn<void (*)()>("Initialize")();  // for TearDown
  good_order_prints();
}
}  // namespace
}  // namespace imp::test
