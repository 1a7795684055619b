// Fault drills: a kitchen order sent through the C ABI while a port, the database, a data packet or the job
// array is broken. Each drill checks that the failure reaches the module log with its own words, that no job
// thread is left behind, and that the next good order (which needs `cs`) prints exactly what a healthy host
// folder prints.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "library.h"
#include "station.h"
#include "support/demo_db.h"
#include "support/test_support.h"

namespace imp::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using JobFn = void (*)(const imp_variant*, int32_t, imp_variant*);
using Files = std::map<std::string, std::string>;  // path below printers/ -> content

const fs::path kOrder = fs::path(IMP_SOURCE_DIR) / "examples" / "jobs" / "pedido";

// The demo outlet's station: kitchen printer model 13 on LPT1, bar printer model 4 on LPT2.

// The good order: table 12's items, each on one production printer only, so one call starts one job.
json good_order() {
  json order = json::parse(read_file(kOrder / "mesa12-itens.json"));
  for (json& row : order["rows"]) row["CDPORIMPPROD2"] = row["IDMODEIMPRES2"] = "";
  return order;
}

Files files_below(const fs::path& dir) {
  Files files;
  if (!fs::is_directory(dir)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), dir).generic_string()] = read_file(entry.path());
  return files;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

class FaultDrills : public ::testing::Test, public AbiValues {
 public:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:30:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    lib.fn<void (*)(const imp_host*)>("imp_set_host")(nullptr);
    lib.fn<void (*)()>("Initialize")();
    reference();
    prepare();
    lib.fn<void (*)(const char*)>("imp_set_host_dir")(dir.str().c_str());
  }
  void TearDown() override {
    wait_idle(-1);
    lib.fn<void (*)()>("Finalize")();
  }

  // What the good order prints in a healthy host folder.
  const Files& reference() {
    static const Files printed = [this] {
      TempDir healthy;
      prepare_folder(healthy.path());
      lib.fn<void (*)(const char*)>("imp_set_host_dir")(healthy.str().c_str());
      dispatch(order_job(good_order().dump()));
      EXPECT_EQ(wait_idle(30000), 1);
      return files_below(healthy.path() / "printers");
    }();
    return printed;
  }

  // A healthy host folder: imphost.json, the port mapping table, the demo database; no printout, no log.
  void prepare_folder(const fs::path& root, const json& ports = {}, const std::string& sql = {}) {
    std::error_code ec;
    fs::remove_all(root / "printers", ec);
    fs::remove_all(root / "Dados", ec);
    json portMap = {{"LPT1", "printers/LPT1.prn"}, {"LPT2", "printers/LPT2.prn"}};
    for (auto it = ports.begin(); it != ports.end(); ++it) portMap[it.key()] = it.value();
    json host = {{"parameters", demo_station()},
                 {"connection", "sqlite:Dados/imp.db"},
                 {"printerProperties",
                  {{"4", {{"columns", 48}, {"lineFeed", "\n"}, {"closing", "\x1bm"}}},
                   {"13", {{"columns", 48}, {"lineFeed", "\n"}, {"closing", "\x1bm"}}}}},
                 {"portTimeoutSeconds", 1},
                 {"ports", portMap}};
    write_file(root / "imphost.json", host.dump(2));
    json table = {{"fields",
                   {{{"name", "CDPORTAIMPR"}, {"type", "string"}, {"size", 10}},
                    {{"name", "DSENDPORTA"}, {"type", "string"}, {"size", 60}}}},
                  {"rows", {{{"CDPORTAIMPR", "LPT1"}}, {{"CDPORTAIMPR", "LPT2"}}}}};
    write_file(root / "Dados" / "Cadastros" / "cdsMapeamento.cds", table.dump());
    create_demo_db(root / "Dados" / "imp.db", "UPDATE CAIXA SET IDUTILFONTEXP = 'N';" + sql);
    fs::create_directories(root / "printers");
  }
  void prepare(const json& ports = {}, const std::string& sql = {}) { prepare_folder(dir.path(), ports, sql); }

  // A "PEDIDO" job whose order rows are the given packet text.
  std::vector<imp_variant> order_job(const std::string& dados1) {
    return {boolean(true), text("PEDIDO"), text(dados1, IMP_VT_BYTES),
            null(),        null(),         text(read_file(kOrder / "mesa12-parametros.json"), IMP_VT_BYTES),
            text(""),      boolean(false)};
  }

  void dispatch(const std::vector<imp_variant>& items, const char* entry = "DisparaImpressaoNaoFiscal") {
    lib.fn<JobFn>(entry)(items.empty() ? nullptr : items.data(), static_cast<int32_t>(items.size()), nullptr);
  }
  int wait_idle(int timeout_ms) { return lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(timeout_ms); }

  std::string module_log() {
    std::error_code ec;
    const fs::path file = dir.path() / "Dados" / "LogImp00000NF" / "LogImp00000NF2026" / "LogImp00000NF091226.txt";
    return fs::is_regular_file(file, ec) ? read_file(file) : std::string();
  }
  Files printed() { return files_below(dir.path() / "printers"); }

  // The fault is over: a healthy folder again, and the good order prints exactly, which it can only do once
  // `cs` is free.
  void good_order_prints() {
    prepare();
    dispatch(order_job(good_order().dump()));
    ASSERT_EQ(wait_idle(30000), 1);
    EXPECT_EQ(printed(), reference());
  }

  // One drill: `fault` breaks the healthy folder (or the job), the job runs, every part of `logged` is in the
  // module log, no job thread is left, then the good order prints.
  struct Drill {
    std::string name;
    std::function<void(FaultDrills&)> fault;
    std::vector<std::string> logged;
    enum class Printout { Partly, Whole, Nothing } printout = Printout::Partly;  // what the faulty job prints
  };
  void run(const Drill& d) {
    SCOPED_TRACE(d.name);
    prepare();
    dados1 = good_order().dump();
    d.fault(*this);
    dispatch(order_job(dados1));
    EXPECT_EQ(wait_idle(30000), 1) << "a job thread is still running";
    if (after_job) after_job();
    after_job = nullptr;
    const std::string log = module_log();
    for (const std::string& part : d.logged) EXPECT_NE(log.find(part), std::string::npos) << part << "\n" << log;
    if (d.printout == Drill::Printout::Whole) {
      EXPECT_EQ(printed(), reference());
    } else if (d.printout == Drill::Printout::Nothing) {
      EXPECT_EQ(printed(), Files{});
    }
    good_order_prints();
  }

  void print_rows(int rows);

  Library& lib = Library::get();
  TempDir dir;
  std::string dados1;               // the order rows of the drill's job
  std::function<void()> after_job;  // releases what a fault holds (a FIFO reader, a locking process)
};

// A FIFO at `path`, with the pipe shrunk to one page so that a ticket does not fit in it.
int open_fifo_reader(const fs::path& path) {
  EXPECT_EQ(mkfifo(path.c_str(), 0644), 0);
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_SETPIPE_SZ, 4096), 4096);
  return fd;
}

TEST_F(FaultDrills, PortFaults) {
  const std::vector<Drill> drills = {
      {"missing device",
       [](FaultDrills& t) {
         t.prepare({{"LPT1", "/dev/imp-drill-no-such-printer"}});
       },
       {"Porta LPT1 (/dev/imp-drill-no-such-printer): impressora não conectada"}},
      {"folder in place of the port file",
       [](FaultDrills& t) { fs::create_directories(t.dir.path() / "printers" / "LPT1.prn"); },
       {"printers/LPT1.prn): não é um dispositivo nem um arquivo"}},
      {"device refuses writes",
       [](FaultDrills& t) {
         t.prepare({{"LPT1", "/dev/full"}});
       },
       {"Porta LPT1 (/dev/full): erro de escrita"}},
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
         t.after_job = [reader] { reader->join(); };
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
       {"tempo esgotado na escrita (impressora não responde)"}},
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
      {"character outside Windows-1252",
       edit([](json& o) { o["rows"][0]["NMPRODUTO"] = "Chope \u2713"; }),
       {refused + "campo 'NMPRODUTO' da linha 1: caractere fora do Windows-1252"}},
      {"NUL in a text",
       edit([](json& o) { o["rows"][0]["NMPRODUTO"] = std::string("Cho\0pe", 6); }),
       {refused + "campo 'NMPRODUTO' da linha 1: caractere NUL no texto"}},
  };
  for (Drill d : drills) {
    d.printout = Drill::Printout::Nothing;
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

// An order of `rows` items on the kitchen printer: every item reaches the ticket.
void FaultDrills::print_rows(int rows) {
  json order = {{"fields", json::array()}, {"rows", json::array()}};
  for (const char* f : {"NRCOMANDA", "NRMESA", "NMPRODUTO", "CDPRODUTO", "CDARVPROD", "CDPORIMPPROD", "IDMODEIMPRES",
                        "NRLUGARMESA", "DSCOMANDA", "IDCOMANDA"})
    order["fields"].push_back({{"name", f}, {"type", "string"}});
  order["fields"].push_back({{"name", "QTPRODCOMVEN"}, {"type", "float"}});
  order["fields"].push_back({{"name", "NRSEQITEM"}, {"type", "integer"}});
  for (int i = 1; i <= rows; ++i)
    order["rows"].push_back({{"NRCOMANDA", "0012"},
                             {"NRMESA", "12"},
                             {"NMPRODUTO", "Item " + std::to_string(i)},
                             {"CDPRODUTO", "1001"},
                             {"CDARVPROD", "01.01.001"},
                             {"CDPORIMPPROD", "LPT1"},
                             {"IDMODEIMPRES", "13"},
                             {"NRLUGARMESA", "01"},
                             {"DSCOMANDA", "MESA 12"},
                             {"IDCOMANDA", "1"},
                             {"QTPRODCOMVEN", 1},
                             {"NRSEQITEM", i}});
  dispatch(order_job(order.dump()));
  ASSERT_EQ(wait_idle(-1), 1);
  const Files out = printed();
  ASSERT_EQ(out.count("LPT1.prn"), 1u) << module_log().substr(0, 4000);
  const std::string& ticket = out.at("LPT1.prn");
  EXPECT_EQ(occurrences(ticket, "---> 1  Item "), static_cast<std::size_t>(rows));
  EXPECT_EQ(occurrences(ticket, "  Item " + std::to_string(rows) + "\n"), 1u);
  EXPECT_EQ(occurrences(ticket, "  Item 1\n"), 1u);
  EXPECT_EQ(occurrences(module_log(), "Funcao:"), 0u);
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
