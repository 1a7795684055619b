// What a hostile tester tries: absurd values, unusual characters and printer commands in order data, links
// planted in the host folder, a host folder that moves under queued jobs, stalled printers, floods of jobs and
// values nested without end. Each case goes through the C ABI as a till would and checks that no order is lost,
// nothing escapes the host folder and the next order still prints.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "drill_fixture.h"
#include "platform/cp1252.h"

namespace imp::test {
namespace {

class HostileInput : public FaultDrills {
 public:
  // Rewrites one part of the folder's imphost.json.
  void patch_host(const std::function<void(json&)>& change, const fs::path& root = {}) {
    const fs::path file = (root.empty() ? dir.path() : root) / "imphost.json";
    json host = json::parse(read_file(file));
    change(host);
    write_file(file, host.dump(2));
  }
  // The order with one row changed.
  static json order_with(const std::function<void(json& row)>& change, std::size_t row = 0) {
    json order = good_order();
    change(order["rows"][row]);
    return order;
  }
  std::string print_order(const json& order) {
    dispatch(order_job(order.dump()));
    EXPECT_EQ(wait_idle(30000), 1);
    const Files out = printed();
    std::string all;
    for (const auto& [file, bytes] : out) all += bytes;
    return all;
  }
};

TEST_F(HostileInput, BogusQuantitiesOfItemsPrintedOncePerUnit) {
  const struct {
    double quantity;
    std::size_t tickets;
    bool logged;
  } cases[] = {{3, 3, false}, {2.5, 2, false}, {1e6, 1, true}, {1e308, 1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.quantity);
    prepare();
    json order = order_with([&](json& row) {
      row["IDIMPRODUVEZ"] = "S";
      row["QTPRODCOMVEN"] = c.quantity;
      row["NMPRODUTO"] = "Copo unitario";
    });
    const std::string out = print_order(order);
    EXPECT_EQ(occurrences(out, "Copo unitario"), c.tickets);
    EXPECT_EQ(occurrences(module_log(), "impressa num único ticket"), c.logged ? 1u : 0u);
  }
  good_order_prints();
}

TEST_F(HostileInput, UnusualCharactersAndPrinterCommandsInDataPrintAsText) {
  json order = good_order();
  order["rows"][0]["NMPRODUTO"] = "Chope \U0001F37A";                        // an emoji from a delivery app
  order["rows"][1]["NMPRODUTO"] = std::string("Cho\0pp", 6);                 // a NUL in a cell
  order["rows"][2]["NMPRODUTO"] = "Bolinho\x1bi";                            // ESC i: cut
  order["rows"][2]["DSOBSERVACAO"] = std::string("Sem sal\x1bp\0\x19", 11);  // ESC p: the cash drawer's kick
  order["rows"][3]["NMPRODUTO"] = "Pastel \U0001F600\U0001F600";
  const std::string out = print_order(order);
  EXPECT_NE(out.find("Chope ?"), std::string::npos) << out;
  EXPECT_NE(out.find("Cho pp"), std::string::npos) << out;
  EXPECT_NE(out.find("Bolinho i"), std::string::npos) << out;
  EXPECT_NE(out.find("Sem sal p"), std::string::npos) << out;
  EXPECT_NE(out.find("Pastel ??"), std::string::npos) << out;
  EXPECT_EQ(out.find("\x1bp"), std::string::npos);
  EXPECT_EQ(out.find("\x1bi"), std::string::npos);
  EXPECT_EQ(occurrences(module_log(), "impressos como \"?\""), 1u) << module_log();  // once per job

  // Texts of the database print as data too: a room name and a combo name holding the drawer's kick.
  prepare({},
          "UPDATE SALA SET NMSALA = 'Varanda' || char(27) || 'p' || char(0) || char(25);"
          "UPDATE PRODUTO SET NMPRODUTO = 'Combo' || char(27) || 'p';");
  json combo = good_order();
  combo["rows"][0]["CDPRODPROMOCAO"] = combo["rows"][0]["CDPRODUTO"];
  const std::string fromDb = print_order(combo);
  EXPECT_NE(fromDb.find("Varanda p"), std::string::npos) << fromDb;
  EXPECT_NE(fromDb.find("Combo p"), std::string::npos) << fromDb;
  EXPECT_EQ(fromDb.find("\x1bp"), std::string::npos);
}

// Data written to the log cannot forge a line of its own.
TEST_F(HostileInput, LogLinesCannotBeForged) {
  using Log = void (*)(const char*);
  lib.fn<Log>("Cli_imp00000_LogErroImpNaoFiscal")("pedido 12\r\n09/12/2026 12:30:00 - Gaveta aberta pelo gerente");
  EXPECT_NE(module_log().find("pedido 12\\r\\n09/12/2026 12:30:00 - Gaveta"), std::string::npos) << module_log();
  EXPECT_EQ(occurrences(module_log(), "\n"), 1u);
}

// An order handed as a text variant (Windows-1252 JSON) reads the same in the order run and in the run of the
// second production printer.
TEST_F(HostileInput, ATextPacketReadsAlikeInBothProductionRuns) {
  json order = good_order();
  order["rows"][0]["NMPRODUTO"] = "Caipirinha de limão";
  order["rows"][0]["CDPORIMPPROD2"] = "LPT1";
  order["rows"][0]["IDMODEIMPRES2"] = "13";
  const std::string utf8 = order.dump();
  auto job = order_job(utf8);
  const Files asBytes = [&] {
    dispatch(job);
    EXPECT_EQ(wait_idle(30000), 1);
    return printed();
  }();
  prepare();
  job[2] = text(*cp1252::from_utf8(utf8));  // the same JSON as a text: in Windows-1252
  dispatch(job);
  ASSERT_EQ(wait_idle(30000), 1);
  EXPECT_EQ(printed(), asBytes);
  EXPECT_EQ(occurrences(printed()["LPT1.prn"], "Caipirinha de limao"), 1u);  // accents go on these printers
  EXPECT_EQ(occurrences(printed()["LPT2.prn"], "Caipirinha de limao"), 1u);
}

TEST_F(HostileInput, JobsKeepTheHostFolderTheyWereDispatchedWith) {
  TempDir other;
  prepare_folder(other.path());
  // The other folder prints its dates its own way: the queued orders keep the formats of their own folder.
  patch_host([](json& h) { h["format"] = {{"shortDate", "yyyy-mm-dd"}, {"decimalSeparator", "."}}; }, other.path());
  const auto job = order_job(good_order().dump());
  for (int i = 0; i < 30; ++i) dispatch(job);
  lib.fn<void (*)(const char*)>("imp_set_host_dir")(other.str().c_str());  // while the orders wait for cs
  ASSERT_EQ(wait_idle(60000), 1);
  Files expected;
  for (const auto& [file, ticket] : reference())
    for (int i = 0; i < 30; ++i) expected[file] += ticket;
  EXPECT_EQ(printed(), expected);
  EXPECT_EQ(files_below(other.path() / "printers"), Files{});

  // A relative folder is the folder it named when it was set, whatever the host's working folder is later.
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.path().parent_path());
  lib.fn<void (*)(const char*)>("imp_set_host_dir")(dir.path().filename().c_str());
  fs::current_path(other.path());
  prepare();
  dispatch(job);
  ASSERT_EQ(wait_idle(30000), 1);
  fs::current_path(cwd);
  EXPECT_EQ(printed(), reference());
  EXPECT_EQ(files_below(other.path() / "printers"), Files{});
}

// A printer that takes nothing costs one timeout per job: after it, the job's other writes to that port fail
// at once (logged) and every ticket is kept.
TEST_F(HostileInput, AStalledPortCostsOneTimeoutPerJob) {
  const fs::path fifo = dir.path() / "printers" / "LPT1.fifo";
  prepare({{"LPT1", fifo.string()}});
  const int reader = open_fifo_reader(fifo);
  const int filler = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  const std::string block(4096, 'x');
  while (write(filler, block.data(), block.size()) > 0) {
  }
  close(filler);
  dispatch(order_job(good_order().dump()));
  ASSERT_EQ(wait_idle(30000), 1);
  close(reader);
  const std::string log = module_log();
  std::size_t timeouts = 0, refused = 0;
  for (std::size_t at = 0, nl; (nl = log.find('\n', at)) != std::string::npos; at = nl + 1) {
    const std::string line = log.substr(at, nl - at);
    if (line.find("já falhou neste job") != std::string::npos)
      ++refused;
    else if (line.find("tempo esgotado") != std::string::npos && line.find("guardada") == std::string::npos)
      ++timeouts;
  }
  EXPECT_EQ(timeouts, 1u) << log;
  EXPECT_GE(refused, 1u) << log;
  EXPECT_EQ(kept_bytes("LPT1"), reference().at("LPT1.prn"));
  good_order_prints();
}

// A ticket the printer did not take waits in Dados/ImpPendentes/ until the host reprints it, byte for byte;
// imphost does the same from the command line.
TEST_F(HostileInput, KeptTicketsAreReprintedByteForByte) {
  auto break_lpt1 = [this] {
    patch_host([](json& h) { h["ports"]["LPT1"] = "/dev/imp-no-such-printer"; });
    dispatch(order_job(good_order().dump()));
    EXPECT_EQ(wait_idle(30000), 1);
    patch_host([](json& h) { h["ports"]["LPT1"] = "printers/LPT1.prn"; });
  };
  break_lpt1();
  EXPECT_EQ(printed().count("LPT1.prn"), 0u);
  const json list = json::parse(take_text(lib.fn<char* (*)()>("imp_pending_list")()));
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list[0]["port"], "LPT1");
  EXPECT_EQ(list[0]["model"], "13");
  EXPECT_EQ(list[0]["kind"], "PEDIDO");
  EXPECT_NE(list[0]["failure"].get<std::string>().find("impressora não conectada"), std::string::npos);

  using Reprint = int32_t (*)(const char*, const char*, char**);
  char* report = nullptr;
  EXPECT_EQ(lib.fn<Reprint>("imp_pending_reprint")(nullptr, "lpt1", &report), static_cast<int32_t>(list.size()));
  EXPECT_EQ(occurrences(take_text(report), ": ok\n"), list.size());
  EXPECT_EQ(printed()["LPT1.prn"], reference().at("LPT1.prn"));
  EXPECT_EQ(take_text(lib.fn<char* (*)()>("imp_pending_list")()), "[]");
  EXPECT_EQ(lib.fn<Reprint>("imp_pending_reprint")("../imp-registry", nullptr, nullptr), 0);

  // Through imphost, in another process.
  prepare();
  break_lpt1();
  // Under the address sanitizer, GCC 12's LeakSanitizer crashes at exit while it walks the dynamic TLS of the
  // libraries a dlopen brought in (a fault of the sanitizer on this glibc, not a leak): the child skips the
  // TLS roots. Builds without the sanitizer ignore the variable.
  const std::string imphost =
      std::string("LSAN_OPTIONS=use_tls=0 ") + IMP_IMPHOST_PATH + " --lib " + IMP_LIBRARY_PATH + " pending ";
  const std::string at = " --host-dir '" + dir.str() + "'";
  EXPECT_EQ(std::system((imphost + "list" + at + " > /dev/null").c_str()), 0);
  EXPECT_EQ(std::system((imphost + "reprint --port LPT1" + at + " > /dev/null").c_str()), 0);
  EXPECT_EQ(printed()["LPT1.prn"], reference().at("LPT1.prn"));
  EXPECT_NE(std::system((imphost + "drop nao-existe" + at + " 2> /dev/null").c_str()), 0);
  good_order_prints();
}

TEST_F(HostileInput, AbsurdColumnCountsFallBackToTheModels) {
  patch_host([](json& h) {
    h["printerProperties"]["4"]["columns"] = 2147483647;
    h["printerProperties"]["13"]["columns"] = -5;
  });
  dispatch(order_job(good_order().dump()));
  ASSERT_EQ(wait_idle(30000), 1);
  EXPECT_EQ(printed(), reference());
  EXPECT_NE(module_log().find("número de colunas 2147483647 do modelo 4 fora de 1 a 255"), std::string::npos);
}

// One bad entry of the port map fails its own port only.
TEST_F(HostileInput, ABadPortEntryFailsOnlyItsPort) {
  patch_host([](json& h) {
    h["ports"]["LPT1"] = 5;
    h["ports"]["COM9"] = "";
  });
  dispatch(order_job(good_order().dump()));
  ASSERT_EQ(wait_idle(30000), 1);
  EXPECT_EQ(printed()["LPT2.prn"], reference().at("LPT2.prn"));
  EXPECT_NE(module_log().find("a porta LPT1 deve ser um texto"), std::string::npos) << module_log();
  EXPECT_EQ(kept_bytes("LPT1"), reference().at("LPT1.prn"));
}

// No link planted in the host folder takes a write outside it.
TEST_F(HostileInput, LinksPlantedInTheHostFolderLeadNowhere) {
  TempDir outside;
  const fs::path victim = outside.path() / "victim.txt";
  struct Plant {
    const char* name;
    fs::path link;    // below the host folder
    fs::path target;  // outside it
  };
  const std::vector<Plant> plants = {
      {"dangling port file", "printers/LPT1.prn", outside.path() / "new.prn"},
      {"port file to a file outside", "printers/LPT1.prn", victim},
      {"port file to a device outside", "printers/LPT1.prn", "/dev/null"},
      {"log file", "Dados/LogImp00000NF/LogImp00000NF2026/LogImp00000NF091226.txt", victim},
      {"log folder", "Dados/LogImp00000NF", outside.path()},
      {"registry temporary", "imp-registry.json.tmp", victim},
      {"registry", "imp-registry.json", victim},
      {"kept tickets folder", "Dados/ImpPendentes", outside.path()},
  };
  using Ctrl = int32_t (*)(int32_t, const char*, int32_t);
  for (const Plant& p : plants) {
    SCOPED_TRACE(p.name);
    prepare();
    for (const char* f : {"imp-registry.json", "imp-registry.json.tmp"}) fs::remove(dir.path() / f);
    write_file(victim, "intocado");
    fs::create_directories((dir.path() / p.link).parent_path());
    fs::create_symlink(p.target, dir.path() / p.link);
    dispatch(order_job(good_order().dump()));
    ASSERT_EQ(wait_idle(30000), 1);
    lib.fn<Ctrl>("Cli_imp00000_TrdmImpressoras_CtrlImpress")(1, "LPT1", 1);
    std::vector<std::string> there;
    for (const auto& e : fs::directory_iterator(outside.path())) there.push_back(e.path().filename().string());
    EXPECT_EQ(there, std::vector<std::string>{"victim.txt"});
    EXPECT_EQ(read_file(victim), "intocado");
    // A ticket refused at a planted port file is kept, never written away (to /dev/null) as printed.
    if (p.link == "printers/LPT1.prn") {
      EXPECT_EQ(kept_bytes("LPT1"), reference().at("LPT1.prn"));
    }
    fs::remove(victim);
  }
  good_order_prints();

  // A pipe planted at the day's log file never holds up the job that logs (nor the jobs after it).
  prepare();
  const fs::path log = dir.path() / "Dados" / "LogImp00000NF" / "LogImp00000NF2026" / "LogImp00000NF091226.txt";
  fs::create_directories(log.parent_path());
  ASSERT_EQ(mkfifo(log.c_str(), 0644), 0);
  dispatch(order_job(good_order().dump()));
  ASSERT_EQ(wait_idle(30000), 1);
  EXPECT_EQ(printed(), reference());
}

int threads_now() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  return -1;
}

// However fast a till dispatches, a few job threads run; the other orders wait in the queue and all print.
TEST_F(HostileInput, AFloodOfOrdersUsesAFewThreadsAndLosesNone) {
  const auto job = order_job(good_order().dump());
  const int before = threads_now();
  int most = before;
  for (int i = 0; i < 300; ++i) {
    dispatch(job);
    most = std::max(most, threads_now());
  }
  ASSERT_EQ(wait_idle(120000), 1);
  EXPECT_LE(most - before, 4);
  Files expected;
  for (const auto& [file, ticket] : reference())
    for (int i = 0; i < 300; ++i) expected[file] += ticket;
  EXPECT_EQ(printed(), expected);
}

// Arrays nested without end are refused before anything recurses through them.
TEST_F(HostileInput, DeeplyNestedValuesAreRefused) {
  std::vector<imp_variant> chain(200000);
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
    chain[i].type = IMP_VT_ARRAY;
    chain[i].v.array.items = &chain[i + 1];
    chain[i].v.array.count = 1;
  }
  auto job = order_job(good_order().dump());
  job[6] = chain[0];  // even an element the job never reads
  dispatch(job);
  ASSERT_EQ(wait_idle(30000), 1);
  EXPECT_NE(module_log().find("aninhados além de 64 níveis"), std::string::npos) << module_log();
  EXPECT_EQ(printed(), Files{});

  // imphost's job reader refuses a job file nested as deep.
  std::string deep = R"({"entry": "DisparaImpressaoNaoFiscal", "args": [true, "PEDIDO", )";
  deep += std::string(200000, '[') + std::string(200000, ']') + "]}";
  write_file(dir.path() / "deep.json", deep);
  const std::string cmd = std::string(IMP_IMPHOST_PATH) + " --lib " + IMP_LIBRARY_PATH + " run '" +
                          (dir.path() / "deep.json").string() + "' --host-dir '" + dir.str() + "' > /dev/null 2>&1";
  const int rc = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 1) << rc;
  good_order_prints();
}

// The host folder set while the package unloads never meets a freed `cs` (ThreadSanitizer watches this one).
TEST_F(HostileInput, SettingTheHostFolderRacesNoUnload) {
  std::atomic<bool> stop{false};
  std::thread setter([&] {
    while (!stop) lib.fn<void (*)(const char*)>("imp_set_host_dir")(dir.str().c_str());
  });
  for (int i = 0; i < 200; ++i) {
    lib.fn<void (*)()>("Finalize")();
    lib.fn<void (*)()>("Initialize")();
  }
  stop = true;
  setter.join();
  good_order_prints();
}

}  // namespace
}  // namespace imp::test
