// End to end through the command-line host: imphost loads the built library with dlopen and calls it from
// job files, as a till would.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/raster.h"
#include "support/test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using imp::test::read_file;
using imp::test::TempDir;
using imp::test::write_file;
using nlohmann::json;

fs::path imphost_path() {
#ifdef IMP_IMPHOST_PATH
  return IMP_IMPHOST_PATH;
#else
  return fs::path(IMP_LIBRARY_PATH).parent_path() / "imphost";
#endif
}

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
  std::map<std::string, json> by_job;  // result lines by job name, the last one per job
  std::vector<json> lines;
};

// Runs imphost with `args` in `dir` (its working folder), with a fixed clock and no pauses.
Outcome imphost(const TempDir& dir, const std::string& args) {
  setenv("IMP_NOW", "2026-12-09T12:30:00", 1);
  setenv("IMP_PAUSE_SCALE", "0", 1);
  unsetenv("IMP_LIBRARY");
  unsetenv("IMP_HOST_DIR");
  const std::string cmd = "cd '" + dir.str() + "' && '" + imphost_path().string() + "' " + args + " >'" + dir.str() +
                          "/stdout' 2>'" + dir.str() + "/stderr'";
  const int status = std::system(cmd.c_str());
  Outcome o;
  o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.out = read_file(dir.path() / "stdout");
  o.err = read_file(dir.path() / "stderr");
  std::istringstream lines(o.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] != '{') continue;
    json j = json::parse(line);
    o.by_job[j["job"].get<std::string>()] = j;
    o.lines.push_back(j);
  }
  return o;
}

// A job file calling `entry` with the arguments written as JSON.
std::string job(const std::string& entry, const std::string& args) {
  return json{{"entry", entry}, {"args", json::parse(args)}}.dump();
}

// A run of rows of a receipt image that hold ink: a printed line, a code, a cut. [top, bottom) x [left, right).
struct Band {
  int top = 0, bottom = 0, left = 0, right = 0;
  long ink = 0;
  int height() const { return bottom - top; }
};

std::vector<Band> bands(const imp::raster::Image& img) {
  std::vector<Band> found;
  bool open = false;
  for (int y = 0; y < img.height; ++y) {
    Band row{y, y + 1, img.width, 0, 0};
    for (int x = 0; x < img.width; ++x)
      if (img.at(x, y) == imp::raster::kBlack) row.left = std::min(row.left, x), row.right = x + 1, ++row.ink;
    if (row.ink == 0) {
      open = false;
      continue;
    }
    if (!open) found.push_back({y, y, row.left, row.right, 0});
    Band& b = found.back();
    b.bottom = y + 1, b.left = std::min(b.left, row.left), b.right = std::max(b.right, row.right), b.ink += row.ink;
    open = true;
  }
  return found;
}

// Changes between ink and paper along row y.
int transitions(const imp::raster::Image& img, int y) {
  int n = 0;
  for (int x = 1; x < img.width; ++x)
    n += (img.at(x, y) == imp::raster::kBlack) != (img.at(x - 1, y) == imp::raster::kBlack);
  return n;
}

TEST(Imphost, DemoSetsUpTheHostFolderAndRunsTheExamples) {
  TempDir dir;
  Outcome o = imphost(dir, "demo --host-dir demo");
  ASSERT_EQ(o.exit_code, 0) << o.err;

  const fs::path host = dir.path() / "demo";
  EXPECT_EQ(read_file(host / "imphost.json"),
            read_file(fs::path(IMP_SOURCE_DIR) / "examples" / "demo-host" / "imphost.json"));
  for (const char* sub : {"Dados/Cadastros", "Dados/ImpNaoFiscal", "printers"})
    EXPECT_TRUE(fs::is_directory(host / sub)) << sub;

  const std::map<std::string, json> expected = {
      {"01-numero-en-letras.json", "MIL DIECISéIS COMA CINCUENTA"},
      {"02-cpf.json", "123.456.789-09"},
      {"03-cnpj.json", "12.345.678/0001-95"},
      {"04-mdc.json", 25},
      {"05-senha.json", "1"},
      {"20-log.json", nullptr},
  };
  for (const auto& [name, result] : expected) {
    ASSERT_TRUE(o.by_job.count(name)) << name << "\n" << o.out << o.err;
    EXPECT_EQ(o.by_job[name]["result"], result) << name;
  }
  const std::size_t preview = o.out.find("== preview");
  ASSERT_NE(preview, std::string::npos) << o.out;
  EXPECT_NE(o.out.find("Demonstração iniciada", preview), std::string::npos) << o.out;

  // The sale tickets and the orders of every layout, each station of another country in its own host folder.
  const std::vector<std::pair<std::string, std::string>> printed = {
      {"demo", "VENDA - CREDITO PESSOAL"},      {"01-colombia", "FACTURA DE VENTA. SETT 4587"},
      {"01-colombia", "POSICION 01"},           {"02-peru", "RUC 20512345678"},
      {"02-peru", "NR.PEDIDO  000112"},         {"03-mexico", "TOTAL S/.:"},
      {"03-mexico", "---> 3  Tacos al pastor"}, {"04-estados-unidos", "RECEIPT"},
      {"04-estados-unidos", "POSITION 01"},
  };
  for (const auto& [station, text] : printed) {
    const std::size_t at = station == "demo" ? preview : o.out.find("== station " + station);
    ASSERT_NE(at, std::string::npos) << station << "\n" << o.out;
    const std::size_t end = o.out.find("== station", at + 1);
    EXPECT_NE(o.out.substr(at, end == std::string::npos ? end : end - at).find(text), std::string::npos)
        << station << ": " << text;
  }
  EXPECT_TRUE(fs::is_regular_file(host / "countries" / "01-colombia" / "Dados" / "imp.db"));

  // The station on the network: the bar on a network printer, the kitchen through the private spooler's share.
  const fs::path network = host / "rede" / "printers";
  EXPECT_NE(read_file(network / "rede" / "job-0002.prn").find("Chope 300 ml"), std::string::npos) << o.out;
  if (fs::exists("/usr/sbin/cupsd")) {
    EXPECT_NE(read_file(network / "spooler" / "COZINHA.prn").find("Hamburguer da casa"), std::string::npos) << o.out;
    EXPECT_FALSE(fs::exists(host / "rede" / "spooler" / "cupsd.pid")) << "the demo stops its spooler";
    // The bitmap model's receipt: one PNG page as wide as its 80 mm queue's canvas.
    const imp::raster::Image page = imp::raster::decode_png(read_file(network / "spooler" / "ZJIANG.png"));
    EXPECT_EQ(page.width, 575);
    EXPECT_GT(page.height, 8 * 14) << "eight lines, a QR code and a barcode";
    EXPECT_FALSE(fs::exists(network / "spooler" / "ZJIANG.png.preview.png")) << "a bitmap page is only named";
  }
  // The station on the makers' libraries: the kitchen on an Epson on USB, the bar on a Bematech on the network.
  const fs::path devices = host / "dispositivos" / "printers";
  EXPECT_NE(read_file(devices / "USB.prn").find("Hamburguer da casa"), std::string::npos) << o.out;
  std::string bar;
  for (const auto& e : fs::directory_iterator(devices / "rede"))
    if (e.path().extension() == ".prn") bar += read_file(e.path());
  EXPECT_NE(bar.find("Chope 300 ml"), std::string::npos) << o.out;

  // Beside each printed file of every station, the receipt its new bytes print, named in the listing; the
  // images are never listed as printed jobs themselves.
  std::map<std::string, int> receipts;  // by station
  for (const auto& e : fs::recursive_directory_iterator(host)) {
    const std::string name = e.path().filename().string();
    if (!e.is_regular_file() || name.size() < 12 || name.substr(name.size() - 12) != ".preview.png") continue;
    const imp::raster::Image page = imp::raster::decode_png(read_file(e.path()));
    EXPECT_EQ(page.width, 576) << e.path();
    EXPECT_GT(page.height, 0) << e.path();
    const fs::path at = fs::relative(e.path(), host);
    const std::string first = at.begin()->string();
    ++receipts[first == "printers" ? "demo" : first == "countries" ? std::next(at.begin())->string() : first];
  }
  for (const char* station :
       {"demo", "01-colombia", "02-peru", "03-mexico", "04-estados-unidos", "rede", "dispositivos"})
    EXPECT_GE(receipts[station], 1) << station;
  EXPECT_NE(o.out.find("-- printers/LPT1.prn ("), std::string::npos);
  EXPECT_NE(o.out.find(" bytes, image printers/LPT1.prn.preview.png 576x"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find(".preview.png ("), std::string::npos) << o.out;
}

// `imphost preview`: what the printer would put on paper, checked on the image's ink.
TEST(Imphost, PreviewDrawsTheReceiptAPrinterPrints) {
  using imp::raster::Image;
  auto b = [](std::initializer_list<int> v) {
    std::string s;
    for (int c : v) s.push_back(static_cast<char>(c));
    return s;
  };
  const std::string url = "https://nfce.exemplo/consulta?p=35261212345678000195";
  const std::string qr = b({0x1b, 'a', 1, 0x1d, '(', 'k', 3, 0, 49, 67, 4}) +
                         b({0x1d, '(', 'k', static_cast<int>(url.size() + 3), 0, 49, 80, 48}) + url +
                         b({0x1d, '(', 'k', 3, 0, 49, 81, 48});
  struct Case {
    std::string name;
    std::string bytes;
    std::function<void(const Image&, const std::vector<Band>&)> check;
  };
  const std::vector<Case> cases = {
      {"centred", b({0x1b, 'a', 1}) + "MESA 12\n",
       [](const Image&, const std::vector<Band>& ink) {
         ASSERT_EQ(ink.size(), 1u);
         EXPECT_NEAR(ink[0].left, 576 - ink[0].right, 12);
       }},
      {"double-height", "TOTAL\n\x1b!\x10TOTAL\n",
       [](const Image&, const std::vector<Band>& ink) {
         ASSERT_EQ(ink.size(), 2u);
         EXPECT_GE(ink[1].height(), 2 * ink[0].height() - 2);
         EXPECT_NEAR(ink[1].right - ink[1].left, ink[0].right - ink[0].left, 2) << "as wide as before";
       }},
      // A bare ESC E (bold until ESC F) takes no parameter: the line feed after it still ends a line.
      {"bare-bold", "MESA 12\n" + b({0x1b, 'E'}) + "\nMESA 12\n" + b({0x1b, 'F'}) + "MESA 12\n",
       [](const Image&, const std::vector<Band>& ink) {
         ASSERT_EQ(ink.size(), 3u);
         EXPECT_GT(ink[1].ink, ink[0].ink * 23 / 20);
         EXPECT_EQ(ink[2].ink, ink[0].ink);
       }},
      // 48 columns of font A fill the line; the 49th starts the next one.
      {"columns", std::string(48, 'H') + "\n" + std::string(49, 'H') + "\n",
       [](const Image&, const std::vector<Band>& ink) {
         ASSERT_EQ(ink.size(), 3u);
         EXPECT_LT(ink[0].left, 12);
         EXPECT_GT(ink[0].right, 576 - 12);
         EXPECT_EQ(ink[1].right, ink[0].right);
         EXPECT_LT(ink[2].right, 12);
       }},
      {"qr-code", qr,
       [](const Image&, const std::vector<Band>& ink) {
         ASSERT_EQ(ink.size(), 1u);
         const int w = ink[0].right - ink[0].left;
         EXPECT_EQ(w, ink[0].height()) << "square";
         EXPECT_EQ(w % 4, 0) << "modules of 4 dots";
         EXPECT_GE(w, 21 * 4);
         EXPECT_NEAR(ink[0].left, 576 - ink[0].right, 1) << "centred";
       }},
      {"code128", b({0x1d, 'h', 60, 0x1d, 'w', 2, 0x1d, 'H', 2, 0x1d, 'k', 73, 10}) + "{B12345678",
       [](const Image& img, const std::vector<Band>& ink) {
         ASSERT_EQ(ink.size(), 2u) << "the bars and their digits";
         EXPECT_EQ(ink[0].height(), 60);
         EXPECT_GE(transitions(img, ink[0].top + 30), 30);
         EXPECT_LT(ink[1].right - ink[1].left, ink[0].right - ink[0].left);
       }},
      {"raster-image", b({0x1d, 'v', '0', 0, 2, 0, 8, 0}) + std::string(16, '\xff'),
       [](const Image&, const std::vector<Band>& ink) {
         ASSERT_EQ(ink.size(), 1u);
         EXPECT_EQ(ink[0].right - ink[0].left, 16);
         EXPECT_EQ(ink[0].height(), 8);
       }},
      {"cut", "Mesa\n\x1bm",
       [](const Image& img, const std::vector<Band>& ink) {
         ASSERT_EQ(ink.size(), 2u);
         const Band& cut = ink[1];
         EXPECT_GT(cut.right - cut.left, 576 * 9 / 10);
         EXPECT_GE(transitions(img, cut.top), 40) << "dashed";
         EXPECT_LE(img.height - cut.bottom, 16) << "the page ends there";
       }},
      // Commands that print nothing, and commands cut short by the end of the bytes.
      {"controls-only",
       b({0x1b, '@', 0x1b, '!', 0x10, 0x1d, '!', 0x11, 0x1b, 'E', 0x10, 4, 1, 0x1d, 0xf9, '5', '0', 0x1d, '(', 'k', 5}),
       [](const Image& img, const std::vector<Band>& ink) {
         EXPECT_TRUE(ink.empty());
         EXPECT_GT(img.height, 0);
         EXPECT_LE(img.height, 64);
       }},
      {"truncated-raster", b({0x1d, 'v', '0', 0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}),
       [](const Image& img, const std::vector<Band>& ink) {
         EXPECT_TRUE(ink.empty());
         EXPECT_GT(img.height, 0);
         EXPECT_LE(img.height, 64);
       }},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_file(dir.path() / (c.name + ".prn"), c.bytes);
    Outcome o = imphost(dir, "preview " + c.name + ".prn --png " + c.name + ".png");
    ASSERT_EQ(o.exit_code, 0) << o.err;
    const Image page = imp::raster::decode_png(read_file(dir.path() / (c.name + ".png")));
    EXPECT_EQ(page.width, 576);
    c.check(page, bands(page));
  }
}

TEST(Imphost, PreviewWritesBesideTheFileAndRefusesAnUnreadableOne) {
  TempDir dir;
  write_file(dir.path() / "printers" / "LPT1.prn", "\x1b@Mesa 12\n");
  Outcome o = imphost(dir, "preview printers/LPT1.prn --width 384");
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("printers/LPT1.prn.preview.png (384x"), std::string::npos) << o.out;
  EXPECT_EQ(imp::raster::decode_png(read_file(dir.path() / "printers" / "LPT1.prn.preview.png")).width, 384);

  o = imphost(dir, "preview printers/LPT9.prn");
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.err.find("cannot read printers/LPT9.prn"), std::string::npos) << o.err;
}

// `imphost printer serve`: each connection is one job file with its preview; SIGTERM ends it cleanly.
TEST(Imphost, PrinterServeStoresEachConnectionAsAJob) {
  TempDir dir;
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_adddup2(&files, pipe_fds[1], 1);
  posix_spawn_file_actions_addclose(&files, pipe_fds[0]);
  const std::string exe = imphost_path().string(), out = (dir.path() / "jobs").string();
  std::vector<const char*> argv = {exe.c_str(), "printer", "serve", "--port", "0", "--out", out.c_str(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &files, nullptr, const_cast<char* const*>(argv.data()), environ), 0);
  posix_spawn_file_actions_destroy(&files);
  ::close(pipe_fds[1]);
  FILE* said = ::fdopen(pipe_fds[0], "r");
  char line[512] = {};
  ASSERT_TRUE(std::fgets(line, sizeof line, said));
  std::fclose(said);
  const std::string first(line);
  const std::size_t colon = first.find("127.0.0.1:");
  ASSERT_NE(colon, std::string::npos) << first;
  const int port = std::atoi(first.c_str() + colon + 10);

  for (const std::string& ticket : {std::string("\x1b@Mesa 12\n"), std::string("\x1bm")}) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::send(fd, ticket.data(), ticket.size(), MSG_NOSIGNAL), static_cast<ssize_t>(ticket.size()));
    ::close(fd);
  }
  for (int i = 0; i < 250 && !fs::exists(dir.path() / "jobs" / "job-0002.txt"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(read_file(dir.path() / "jobs" / "job-0001.prn"), "\x1b@Mesa 12\n");
  EXPECT_EQ(read_file(dir.path() / "jobs" / "job-0001.txt"), "<ESC>@Mesa 12\n");
  EXPECT_EQ(read_file(dir.path() / "jobs" / "job-0002.prn"), "\x1bm");
}

TEST(Imphost, JobArgumentsReachTheEntryPointsConverted) {
  TempDir dir;
  write_file(dir.path() / "pedido.json", R"({"fields": [{"name": "NMPRODUTO", "type": "string"}],
                                             "rows": [{"NMPRODUTO": "Pão de queijo"}]})");
  // Every value kind of a job file, read back unchanged from a variant global.
  const std::string all_kinds = R"([true, 2.5, {"int": -7}, {"date": "2026-12-09T10:00:00.250"},
      {"date": "1899-12-29T06:00:00"}, "Açúcar € Ž", null, {"empty": true},
      {"packet": {"fields": [], "rows": []}}, ["x", [{"int": 1}]]])";
  struct Case {
    std::string name;
    std::string job;
    json result;
  };
  const std::vector<Case> cases = {
      // Windows-1252 both ways, including the characters of the 80..9F block.
      {"cp1252", job("Cli_imp00000_TrdmImpressoras_formataCPFCNPJ", R"(["ÁÉÍÓÚçãõ€Ž1"])"), "ÁÉÍ.ÓÚç.ãõ€-Ž1"},
      {"null-text", job("Cli_imp00000_TrdmImpressoras_formataCPFCNPJ", "[null]"), "../-"},
      {"double", job("Cli_imp00000_NumeroEnLetras", "[1016]"), "MIL DIECISéIS"},
      {"int-as-double", job("Cli_imp00000_NumeroEnLetras", R"([{"int": 7}])"), "SIETE"},
      // A date-time is days from 1899-12-30 plus the fraction of the day.
      {"date-1900", job("Cli_imp00000_NumeroEnLetras", R"([{"date": "1900-01-01T12:00:00"}])"), "DOS COMA CINCUENTA"},
      {"date-2026", job("Cli_imp00000_NumeroEnLetras", R"([{"date": "2026-12-09T12:00:00"}])"),
       "CUARENTA Y SEIS MIL TRESCIENTOS SESENTA Y CINCO COMA CINCUENTA"},
      {"ints-from-numbers", job("Cli_imp00000_MDC", "[25, 100]"), 25},
      {"ints", job("Cli_imp00000_MDC", R"([{"int": 7}, {"int": 0}])"), 7},
      {"senha-1", job("Cli_imp00000_TrdmImpressoras_getSenhaCupom", R"(["0001", {"date": "2026-12-09T10:00:00"}])"),
       "1"},
      {"senha-2", job("Cli_imp00000_TrdmImpressoras_getSenhaCupom", R"(["0001", {"date": "2026-12-09T10:00:00"}])"),
       "2"},
      {"set-kinds", job("imp_global_set", R"(["oleDadosConta", )" + all_kinds + "]"), 1},
      {"set-packet-file", job("imp_global_set", R"(["oleDadosPedido", {"packet": "pedido.json"}])"), 1},
  };
  std::string args = "run --host-dir host";
  for (const Case& c : cases) {
    write_file(dir.path() / (c.name + ".json"), c.job);
    args += " " + c.name + ".json";
  }
  write_file(dir.path() / "get-kinds.json", job("imp_global_get", R"(["oleDadosConta"])"));
  write_file(dir.path() / "get-packet.json", job("imp_global_get", R"(["oleDadosPedido"])"));
  fs::create_directories(dir.path() / "host");
  Outcome o = imphost(dir, args + " get-kinds.json get-packet.json");
  ASSERT_EQ(o.exit_code, 0) << o.err;

  for (const Case& c : cases) {
    ASSERT_TRUE(o.by_job.count(c.name + ".json")) << c.name << "\n" << o.out << o.err;
    EXPECT_EQ(o.by_job[c.name + ".json"]["result"], c.result) << c.name;
  }
  EXPECT_EQ(o.by_job["get-kinds.json"]["var"]["1"], json::parse(all_kinds));
  EXPECT_EQ(o.by_job["get-packet.json"]["var"]["1"]["packet"]["rows"][0]["NMPRODUTO"], "Pão de queijo");
}

TEST(Imphost, AJobThatCannotRunIsReportedAndTheNextStillRuns) {
  TempDir dir;
  struct Case {
    std::string content;
    std::string message;
  };
  const std::vector<Case> cases = {
      {job("NoSuchEntry", "[]"), "does not export the entry NoSuchEntry"},
      {job("Pkg_imp00000_PackageLoad", "[]"), "does not know the parameters of Pkg_imp00000_PackageLoad"},
      {"{\"entry\": ", "not valid JSON"},
      {job("Cli_imp00000_MDC", "[1]"), "takes 2 arguments, the job gives 1"},
      {job("Cli_imp00000_MDC", "[2.5, 1]"), "expected a 32-bit integer"},
      {job("Cli_imp00000_MDC", R"([{"int": 1}, {"when": 1}])"), "unknown value"},
      {job("Cli_imp00000_TrdmImpressoras_formataCPFCNPJ", R"(["1 → 2"])"), "outside Windows-1252"},
      {job("Cli_imp00000_NumeroEnLetras", R"([{"date": "2026-02-30T00:00:00"}])"), "is not YYYY-MM-DD"},
      {job("imp_global_set", R"(["oleDadosConta", {"packet": "missing.json"}])"), "cannot read packet file"},
  };
  std::string args = "run";
  for (std::size_t k = 0; k < cases.size(); ++k) {
    write_file(dir.path() / ("bad" + std::to_string(k) + ".json"), cases[k].content);
    args += " bad" + std::to_string(k) + ".json";
  }
  write_file(dir.path() / "good.json", job("Cli_imp00000_MDC", "[12, 18]"));
  Outcome o = imphost(dir, args + " good.json");

  EXPECT_NE(o.exit_code, 0);
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const std::string name = "bad" + std::to_string(k) + ".json";
    const std::size_t at = o.err.find("imphost: " + name + ": ");
    ASSERT_NE(at, std::string::npos) << name << "\n" << o.err;
    const std::string line = o.err.substr(at, o.err.find('\n', at) - at);
    EXPECT_NE(line.find(cases[k].message), std::string::npos) << line;
  }
  ASSERT_EQ(o.lines.size(), 1u) << o.out;
  EXPECT_EQ(o.lines[0]["job"], "good.json");
  EXPECT_EQ(o.lines[0]["result"], 6);
}

}  // namespace
