#include "demo.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "network.h"
#include "platform/error.h"
#include "preview.h"
#include "runner.h"
#include "values.h"

namespace imphost {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLogTailLines = 20;

std::string read_from(const fs::path& p, std::uintmax_t offset) {
  std::ifstream in(p, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The child of `dir` whose name matches `name` regardless of case (an exact spelling wins).
std::optional<fs::path> child_nocase(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::is_directory(dir / name, ec)) return dir / name;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_directory(ec) && lower(e.path().filename().string()) == lower(name)) return e.path();
  return std::nullopt;
}

// The module's daily log written last, if any.
std::optional<fs::path> latest_module_log(const fs::path& host_dir) {
  std::optional<fs::path> dados = child_nocase(host_dir, "Dados");
  std::optional<fs::path> logs = dados ? child_nocase(*dados, "LogImp00000NF") : std::nullopt;
  if (!logs) return std::nullopt;
  std::optional<fs::path> latest;
  fs::file_time_type latest_time{};
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(*logs, ec)) {
    if (!e.is_regular_file(ec)) continue;
    const auto t = e.last_write_time(ec);
    if (!latest || t > latest_time) latest = e.path(), latest_time = t;
  }
  return latest;
}

void copy_config(const DemoOptions& o) {
  // The demo host folder is a copy of examples/demo-host: imphost.json and the till's local files
  // (Dados\Cadastros\cdsMapeamento.cds ...), replacing what an earlier run left.
  const fs::path source = o.examples_dir / "demo-host";
  if (!fs::is_regular_file(source / "imphost.json"))
    throw std::runtime_error("missing " + (source / "imphost.json").string());
  fs::copy(source, o.host_dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string read_text(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + p.string());
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void remove_database_files(const fs::path& db) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(fs::path(db.string() + suffix));
}

// The receipt of a printed file's new bytes drawn beside it, as the listing names it.
std::string receipt_image(const fs::path& host_dir, const fs::path& file, std::string_view bytes) {
  const fs::path png = preview_path(file);
  try {
    const imp::raster::Image page = write_preview(bytes, png);
    return ", image " + fs::relative(png, host_dir).string() + " " + std::to_string(page.width) + "x" +
           std::to_string(page.height);
  } catch (const imp::Error& e) {
    return std::string(", no image: ") + cp1252_to_utf8(e.what());
  } catch (const std::exception& e) {
    return std::string(", no image: ") + e.what();
  }
}

void preview(const fs::path& host_dir, const std::map<fs::path, std::uintmax_t>& before, std::ostream& out) {
  out << "\n== preview\n";
  bool printed = false;
  for (const auto& [file, size] : file_sizes(host_dir / "printers")) {
    auto it = before.find(file);
    const std::uintmax_t from = it == before.end() || it->second > size ? 0 : it->second;
    if (size == from) continue;
    std::error_code ec;
    // Not printed: the text preview beside a network printer's job, and the receipt images written below.
    if (file.extension() == ".txt" && fs::exists(fs::path(file).replace_extension(".prn"), ec)) continue;
    if (is_preview_file(file)) continue;
    printed = true;
    if (file.extension() == ".png") {  // a bitmap page: an image, not text
      out << "-- " << fs::relative(file, host_dir).string() << " (PNG image, " << size - from << " bytes)\n";
      continue;
    }
    const std::string bytes = read_from(file, from);
    out << "-- " << fs::relative(file, host_dir).string() << " (" << size - from << " bytes"
        << receipt_image(host_dir, file, bytes) << ")\n";
    std::string text = printable(bytes);
    out << text << (text.empty() || text.back() != '\n' ? "\n" : "");
  }
  if (!printed) out << "-- printers: nothing printed\n";

  std::optional<fs::path> log = latest_module_log(host_dir);
  if (!log) {
    out << "-- module log: none yet\n";
    return;
  }
  std::string text = read_from(*log, 0);
  if (!utf8_to_cp1252(text) && !text.empty()) text = cp1252_to_utf8(text);  // not UTF-8: an 8-bit log
  std::deque<std::string> tail;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    tail.push_back(line);
    if (tail.size() > kLogTailLines) tail.pop_front();
  }
  out << "-- module log " << fs::relative(*log, host_dir).string() << " (last " << tail.size() << " lines)\n";
  for (const auto& line : tail) out << line << '\n';
}

}  // namespace

std::string printable(std::string_view bytes) {
  std::string out;
  char hex[8];
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    const auto b = static_cast<unsigned char>(bytes[k]);
    const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    if (b == '\n' || (b == '\r' && k + 1 < bytes.size() && bytes[k + 1] == '\n')) {
      if (b == '\n') out += '\n';
    } else if (b < 0x20 || b == 0x7F) {
      // Control bytes by their ASCII names: ESC E reads "<ESC>E".
      static const char* const kNames[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
                                           "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                           "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
      out += '<';
      out += b == 0x7F ? "DEL" : kNames[b];
      out += '>';
    } else if (undefined) {
      std::snprintf(hex, sizeof hex, "<%02X>", b);
      out += hex;
    } else {
      out += cp1252_to_utf8(bytes.substr(k, 1));
    }
  }
  return out;
}

void create_demo_database(const fs::path& db_dir, const fs::path& target) {
  const std::string schema = read_text(db_dir / "schema.sql");
  const std::string demo = read_text(db_dir / "demo.sql");
  const fs::path building = target.string() + ".new";
  remove_database_files(building);

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(building.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::string error;
  auto exec = [&](const std::string& sql, const fs::path& from) {
    if (!error.empty()) return;
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
      error = from.string() + ": " + (message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
  };
  if (rc != SQLITE_OK) error = building.string() + ": " + sqlite3_errmsg(db);
  exec("BEGIN", building);
  exec(schema, db_dir / "schema.sql");
  exec(demo, db_dir / "demo.sql");
  exec("COMMIT", building);
  if (sqlite3_close(db) != SQLITE_OK && error.empty()) error = building.string() + ": cannot close";
  if (!error.empty()) {
    remove_database_files(building);
    throw std::runtime_error("cannot create the demo database: " + error);
  }
  // A journal left beside the old database must not be taken for the new one's.
  remove_database_files(target);
  fs::rename(building, target);
}

std::map<fs::path, std::uintmax_t> file_sizes(const fs::path& dir) {
  std::map<fs::path, std::uintmax_t> sizes;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return sizes;
  for (const auto& e : fs::recursive_directory_iterator(dir, ec))
    if (e.is_regular_file(ec)) sizes[e.path()] = e.file_size(ec);
  return sizes;
}

namespace {

std::vector<Job> jobs_in(const fs::path& dir) {
  std::vector<Job> jobs;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file() && e.path().extension() == ".json")
      jobs.push_back({e.path(), e.path().filename().string()});
  if (ec) throw std::runtime_error("cannot list the example jobs in " + dir.string());
  std::sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.shown < b.shown; });
  return jobs;
}

// A station of another country (examples/countries/<name>: its imphost.json and jobs/) prints in a host folder
// of its own below the demo's, with the demo database and the main host's local files.
int run_country(const Library& lib, const DemoOptions& o, const fs::path& country, std::ostream& out,
                std::ostream& err) {
  const fs::path host = o.host_dir / "countries" / country.filename();
  for (const char* dir : {"Dados/Cadastros", "printers"}) fs::create_directories(host / dir);
  fs::copy(o.examples_dir / "demo-host" / "Dados", host / "Dados",
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(country / "imphost.json", host / "imphost.json", fs::copy_options::overwrite_existing);
  create_demo_database(o.db_dir, host / "Dados" / "imp.db");
  out << "\n== station " << country.filename().string() << " (host " << host.string() << ")\n";
  const auto before = file_sizes(host / "printers");
  const int failed = run_session(lib, host, jobs_in(country / "jobs"), out, err);
  preview(host, before, out);
  return failed;
}

// The demo station with its printers on the network: the bar's LPT2 is a network printer on loopback (raw
// TCP, each connection one job in printers/rede/), and the kitchen's LPT1 is mapped to the share
// \\127.0.0.1\COZINHA of a private spooler whose queue captures to printers/spooler/COZINHA.prn. Without cupsd
// the kitchen prints on its port as in the main station.
int run_network(const Library& lib, const DemoOptions& o, std::ostream& out, std::ostream& err) {
  const fs::path host = o.host_dir / "rede";
  std::error_code ec;
  fs::remove_all(host / "printers", ec);
  fs::create_directories(host / "printers");
  fs::copy(o.examples_dir / "demo-host", host, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  create_demo_database(o.db_dir, host / "Dados" / "imp.db");
  out << "\n== station on the network (host " << host.string() << ")\n";

  bool spooled = false;
  if (!spooler_available()) {
    out << "spooler: cupsd is not installed (packages cups-daemon, cups-client): the kitchen prints on LPT1\n";
  } else {
    try {
      const SpoolerInfo info = start_spooler(host);
      add_queue(host, "COZINHA", "capture:" + (host / "printers" / "spooler" / "COZINHA.prn").string(), "", false);
      // The default printer takes bitmap pages: a Zjiang (model 41) whose queue keeps each page's PNG.
      add_queue(host, "ZJIANG", "capture:" + (host / "printers" / "spooler" / "ZJIANG.png").string(), "Zjiang ZJ-8220",
                true);
      nlohmann::json table = nlohmann::json::parse(read_text(host / "Dados" / "Cadastros" / "cdsMapeamento.cds"));
      for (auto& row : table["rows"])
        if (row.value("CDPORTAIMPR", "") == "LPT1") row["DSENDPORTA"] = "127.0.0.1\\COZINHA";
      std::ofstream(host / "Dados" / "Cadastros" / "cdsMapeamento.cds", std::ios::trunc) << table.dump(1);
      fs::create_directories(host / "printers" / "spooler");
      spooled = true;
      out << "spooler: private cupsd on " << info.server << "; LPT1 mapped to \\\\127.0.0.1\\COZINHA\n";
    } catch (const std::exception& e) {
      out << "spooler: " << e.what() << ": the kitchen prints on LPT1\n";
    }
  }
  NetworkPrinter bar(0, host / "printers" / "rede");
  bar.start();
  nlohmann::json config = nlohmann::json::parse(read_text(host / "imphost.json"));
  config["ports"]["LPT2"] = "socket://127.0.0.1:" + std::to_string(bar.port());
  std::ofstream(host / "imphost.json", std::ios::trunc) << config.dump(2) << "\n";
  out << "network printer: LPT2 is socket://127.0.0.1:" << bar.port() << "\n";

  std::vector<Job> jobs = {{o.examples_dir / "jobs" / "00-pedido-mesa12.json", "00-pedido-mesa12.json"}};
  if (spooled) {
    // A receipt on the bitmap model: its lines, a QR code and a barcode drawn on one page, printed as a PNG.
    const fs::path dir = host / "jobs";
    fs::create_directories(dir);
    const std::vector<std::pair<std::string, std::string>> calls = {
        {"IniciaPorta_DLL", R"(["41", "USB"])"},
        {"FormataTX_DLL",
         R"(["41", "SABOR DA PRACA\n----------\nMesa 12\nHamburguer da casa       32,00\nChope 300 ml       27,00\n----------\nTotal       59,00\n", 2, 0, 0, 0, 0])"},
        {"ImprimeQRCode_DLL", R"(["41", "https://nfce.exemplo/consulta?p=35261212345678000195", ""])"},
        {"ImprimeCODE128_DLL", R"(["41", "35261212345678000195"])"},
        {"AcionaGuilhotina_DLL", R"(["41", 0])"},
        {"FechaPorta_DLL", R"(["41", "USB"])"},
    };
    for (std::size_t i = 0; i < calls.size(); ++i) {
      const fs::path file = dir / ("bitmap-" + std::to_string(i) + ".json");
      std::ofstream(file, std::ios::trunc) << R"({"entry": "Cli_imp00000_TrdmImpressoras_)" << calls[i].first
                                           << R"(", "args": )" << calls[i].second << "}";
      jobs.push_back({file, "bitmap-" + std::to_string(i) + "-" + calls[i].first + ".json"});
    }
  }
  const auto before = file_sizes(host / "printers");
  const int failed = run_session(lib, host, jobs, out, err);
  if (spooled) {
    if (!wait_spooler_idle(host, 15)) out << "spooler: jobs still printing after 15 s\n";
    stop_spooler(host);
  }
  // The network printer stores a job once its connection closes; give the last one a moment.
  for (int i = 0; i < 50 && file_sizes(host / "printers" / "rede").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  preview(host, before, out);
  return failed;
}

// The demo station on the makers' libraries (the stand-in drivers of this build): the kitchen on an Epson
// TM-T88V on "USB" (printers/USB.prn), the bar on a Bematech MP-4200 that the library reaches over the network
// (a network printer on loopback, its jobs in printers/rede/).
int run_devices(const Library& lib, const DemoOptions& o, std::ostream& out, std::ostream& err) {
  const fs::path host = o.host_dir / "dispositivos";
  out << "\n== station on the makers' libraries (host " << host.string() << ")\n";
  if (!std::getenv("IMP_DRIVER_PATH")) {
    out << "drivers: no stand-in drivers in " << IMP_DRIVERS_DIR << " (set IMP_DRIVER_PATH): station left out\n";
    return 0;
  }
  std::error_code ec;
  fs::remove_all(host / "printers", ec);
  fs::create_directories(host / "printers");
  fs::create_directories(host / "jobs" / "pedido");
  fs::copy(o.examples_dir / "demo-host", host, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  create_demo_database(o.db_dir, host / "Dados" / "imp.db");
  NetworkPrinter bar(0, host / "printers" / "rede");
  bar.start();
  const std::string address = "127.0.0.1:" + std::to_string(bar.port());
  nlohmann::json config = nlohmann::json::parse(read_text(host / "imphost.json"));
  config["ports"]["USB"] = "printers/USB.prn";
  std::ofstream(host / "imphost.json", std::ios::trunc) << config.dump(2) << "\n";
  out << "drivers: " << std::getenv("IMP_DRIVER_PATH") << "; kitchen: model 14 on USB, bar: model 13 at " << address
      << "\n";

  // The order of the main station with its printers moved to the libraries.
  const fs::path order = o.examples_dir / "jobs" / "pedido";
  nlohmann::json items = nlohmann::json::parse(read_text(order / "mesa12-itens.json"));
  for (auto& row : items["rows"]) {
    for (const char* n : {"", "2"}) {
      const std::string port = std::string("CDPORIMPPROD") + n, model = std::string("IDMODEIMPRES") + n;
      if (row.value(port, "") == "LPT1") row[port] = "USB", row[model] = "14";
      if (row.value(port, "") == "LPT2") row[port] = address, row[model] = "13";
    }
  }
  std::ofstream(host / "jobs" / "pedido" / "mesa12-itens.json", std::ios::trunc) << items.dump();
  fs::copy_file(order / "mesa12-parametros.json", host / "jobs" / "pedido" / "mesa12-parametros.json",
                fs::copy_options::overwrite_existing);
  std::ofstream(host / "jobs" / "01-epson.json", std::ios::trunc)
      << R"({"entry": "StartInterfaceEpsonNF", "args": ["USB"]})";
  std::ofstream(host / "jobs" / "02-bematech.json", std::ios::trunc) << R"({"entry": "StartMp2032", "args": []})";
  std::ofstream(host / "jobs" / "03-pedido.json", std::ios::trunc)
      << R"({"entry": "DisparaImpressaoNaoFiscal", "args": [true, "PEDIDO", {"packet": "pedido/mesa12-itens.json"},)"
      << R"( null, null, {"packet": "pedido/mesa12-parametros.json"}, "", false]})";

  const auto before = file_sizes(host / "printers");
  const int failed = run_session(lib, host, jobs_in(host / "jobs"), out, err);
  for (int i = 0; i < 50 && file_sizes(host / "printers" / "rede").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  preview(host, before, out);
  return failed;
}

}  // namespace

int run_demo(const Library& lib, const DemoOptions& o, std::ostream& out, std::ostream& err) {
  // The makers' libraries (and the QR generator of the bitmap pages) are this build's stand-ins.
  if (!std::getenv("IMP_DRIVER_PATH") && fs::is_directory(IMP_DRIVERS_DIR))
    ::setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);
  for (const char* dir : {"Dados", "Dados/Cadastros", "Dados/ImpNaoFiscal", "printers"})
    fs::create_directories(o.host_dir / dir);
  copy_config(o);
  create_demo_database(o.db_dir, o.host_dir / "Dados" / "imp.db");

  const std::vector<Job> jobs = jobs_in(o.examples_dir / "jobs");

  out << "== demo host " << o.host_dir.string() << " (library " << lib.path() << ", database Dados/imp.db)\n";
  const auto before = file_sizes(o.host_dir / "printers");
  int failed = run_session(lib, o.host_dir, jobs, out, err);
  preview(o.host_dir, before, out);

  std::vector<fs::path> countries;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(o.examples_dir / "countries", ec))
    if (e.is_directory() && fs::is_regular_file(e.path() / "imphost.json")) countries.push_back(e.path());
  std::sort(countries.begin(), countries.end());
  for (const auto& country : countries) failed += run_country(lib, o, country, out, err);
  failed += run_network(lib, o, out, err);
  failed += run_devices(lib, o, out, err);
  return failed == 0 ? 0 : 1;
}

}  // namespace imphost
