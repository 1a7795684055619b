// The fault-drill fixture: a kitchen order sent through the C ABI while a port, the database, a data packet,
// the job array or the host folder is broken or hostile. Each drill checks that the failure reaches the module
// log with its own words, that no job thread is left behind, and that the next good order (which needs `cs`)
// prints exactly what a healthy host folder prints.
#pragma once

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

namespace fs = std::filesystem;
using nlohmann::json;
using JobFn = void (*)(const imp_variant*, int32_t, imp_variant*);
using Files = std::map<std::string, std::string>;  // path below printers/ -> content

inline const fs::path kOrder = fs::path(IMP_SOURCE_DIR) / "examples" / "jobs" / "pedido";

// The demo outlet's station: kitchen printer model 13 on LPT1, bar printer model 4 on LPT2.

// The good order: table 12's items, each on one production printer only, so one call starts one job.
inline json good_order() {
  json order = json::parse(read_file(kOrder / "mesa12-itens.json"));
  for (json& row : order["rows"]) row["CDPORIMPPROD2"] = row["IDMODEIMPRES2"] = "";
  return order;
}

inline Files files_below(const fs::path& dir) {
  Files files;
  if (!fs::is_directory(dir)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), dir).generic_string()] = read_file(entry.path());
  return files;
}

inline std::size_t occurrences(const std::string& text, const std::string& part) {
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

  // The kept tickets (Dados/ImpPendentes/*.json with their .prn) of a port, oldest first, joined.
  std::string kept_bytes(const std::string& port) {
    const fs::path folder = dir.path() / "Dados" / "ImpPendentes";
    std::vector<std::pair<std::string, std::string>> tickets;  // (time + id, bytes)
    if (!fs::is_directory(folder)) return {};
    for (const auto& e : fs::directory_iterator(folder)) {
      if (e.path().extension() != ".json") continue;
      const json side = json::parse(read_file(e.path()));
      if (side["port"] != port) continue;
      const fs::path prn = folder / (side["id"].get<std::string>() + ".prn");
      tickets.emplace_back(side["time"].get<std::string>() + side["id"].get<std::string>(), read_file(prn));
    }
    std::sort(tickets.begin(), tickets.end());
    std::string all;
    for (const auto& t : tickets) all += t.second;
    return all;
  }

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
    bool loggedOnce = false;  // each part of `logged` appears exactly once
    // The tickets the broken port did not take are all kept in Dados/ImpPendentes/, in order: what was printed
    // there and what was kept make the healthy printout of that port file.
    std::string keptPort = {};
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
    for (const std::string& part : d.logged) {
      EXPECT_NE(log.find(part), std::string::npos) << part << "\n" << log;
      if (d.loggedOnce) {
        EXPECT_EQ(occurrences(log, part), 1u) << part << "\n" << log;
      }
    }
    if (!d.keptPort.empty()) {
      const std::string file = d.keptPort + ".prn";
      EXPECT_EQ(kept_bytes(d.keptPort), reference().at(file)) << "tickets lost on " << d.keptPort;
    }
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
inline int open_fifo_reader(const fs::path& path) {
  EXPECT_EQ(mkfifo(path.c_str(), 0644), 0);
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_SETPIPE_SZ, 4096), 4096);
  return fd;
}

// An order of `rows` items on the kitchen printer: every item reaches the ticket.
inline void FaultDrills::print_rows(int rows) {
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

}  // namespace imp::test
