// Kitchen orders end to end: a till's "PEDIDO" job through the C ABI, on the reference host of a temporary
// host folder (imphost.json, the demo restaurant's database, LPT ports mapped to files), compared byte for
// byte with what each printer is expected to receive.
//
// Every case is a folder of orders/: pedido.json (the order rows), params.json (the order parameters),
// expected/ (every file the printers must hold afterwards, by its path below printers/) and optionally host/
// (files copied into the host folder, such as the combo tables). On a mismatch the actual files are written
// to order_e2e_actual/<case>/ next to the test binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "golden.h"
#include "library.h"
#include "platform/cp1252.h"
#include "station.h"
#include "support/demo_db.h"
#include "support/test_support.h"

namespace imp::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using JobFn = void (*)(const imp_variant*, int32_t, imp_variant*);

const fs::path kCases = fs::path(IMP_SOURCE_DIR) / "tests" / "package" / "orders";

// The station record of the demo outlet: branch 0001, shop 01, till 001, the kitchen printer (model 13 on
// LPT1) and the bar printer (model 4 on LPT2), the puxa report after the order.

json printer(const char* closing) {
  return {{"columns", 48}, {"lineFeed", "\n"}, {"closing", closing}};
}

struct Case {
  std::string name;
  json station;          // fields added to or replacing the demo station's
  std::string sql;       // after the demo data (the expanded font is off on till 001 unless a case turns it on)
  bool reprint = false;  // element [7] of the job
  Files ports = {};      // port -> file below printers/; empty: LPT1 to LPT4 each to <port>.prn
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      // Where ports share a file, the file shows which printed first.
      // Kitchen (model 13, 42 columns, plain) and bar (model 4, bold header wrapper): the bar first; an item
      // without a printer and an observation product are not printed.
      {"two_printers", json::object(), "", false, {{"LPT1", "kitchen_bar.prn"}, {"LPT2", "kitchen_bar.prn"}}},
      // Seats sorted inside the printer (the cut needs seat control); kept in launch order; one ticket per seat.
      {"seats_sorted", json::object(), "UPDATE LOJA SET IDLUGARMESA = 'N', IDUTLCORTEPED = 'S';"},
      {"seats_controlled", json::object(), "UPDATE LOJA SET IDLUGARMESA = 'S', IDUTLCORTEPED = 'N';"},
      {"seats_cut_per_seat", json::object(), "UPDATE LOJA SET IDLUGARMESA = 'S', IDUTLCORTEPED = 'S';"},
      // A comanda sale; an item of 2,5 units printed one ticket per whole unit, after the ticket before it.
      {"unit_per_ticket", json::object(), ""},
      // A counter sale: fractions, 1,5, a product sold by weight, observations before the item.
      {"quantities_obs_before", json::object(), ""},
      // A combo with its button caption and combo observations (host tables) on the kitchen; a promotion and a
      // promotion caption on the bar; the promotion's item launched on the kitchen stays there.
      {"combo_and_promotion", json::object(),
       "INSERT INTO PRODUTO (CDARVPROD, CDPRODUTO, IDCOBTXSERV, IDPESAPROD, NMPRODUTO, SGUNIDADE) VALUES"
       " ('09.02.001', '9100', 'S', 'N', 'Combo Executivo', 'UN'), ('09.02.002', '9200', 'S', 'N', 'Happy Hour', 'UN'),"
       " ('09.02.003', '9300', 'S', 'N', 'Dose dupla', 'UN');"},
      // The reprint title; the puxa report keeps its own title.
      {"reprint", json::object(), "", true},
      // The puxa report (LPT3) after the production tickets, or before them as a call of its own.
      {"puxa_after", json::object(), "", false, {{"LPT1", "all.prn"}, {"LPT2", "all.prn"}, {"LPT3", "all.prn"}}},
      {"puxa_before",
       {{"IDIMPPUXANTPED", "S"}},
       "",
       false,
       {{"LPT1", "all.prn"}, {"LPT2", "all.prn"}, {"LPT3", "all.prn"}}},
      // Delivery header with the origin, the place of consumption and the expected time; a take-away line.
      {"delivery", json::object(), ""},
      // Expanded font: the pager ticket widened, the first ticket wrapped, then a model that cannot print it
      // turns it off for the rest of the job.
      {"expanded_font",
       {{"NRSEQIMPRLOJA4", "4"}, {"IDTIPOIMPNF4", "16"}, {"CDPORTIMPNF4", "LPT4"}},
       "UPDATE CAIXA SET IDUTILFONTEXP = 'S' WHERE CDCAIXA = '001';",
       false,
       {{"LPT1", "all.prn"}, {"LPT2", "all.prn"}, {"LPT4", "all.prn"}}},
      // The pager ticket on the fourth printer, once, though an item prints again on its second printer.
      {"pager", {{"NRSEQIMPRLOJA4", "4"}, {"IDTIPOIMPNF4", "4"}, {"CDPORTIMPNF4", "LPT4"}}, ""},
  };
  return all;
}

// Every case runs on the embedded SQLite backend and again over ODBC (unixODBC, the SQLite ODBC driver with the
// catalogue's functions loaded): the printers must receive the same bytes.
enum class Backend { Sqlite, Odbc };

class OrderEndToEnd : public ::testing::TestWithParam<std::tuple<Case, Backend>>, public AbiValues {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:30:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    lib.fn<void (*)(const imp_host*)>("imp_set_host")(nullptr);
    lib.fn<void (*)(const char*)>("imp_set_host_dir")(dir.str().c_str());
    lib.fn<void (*)()>("Initialize")();
  }
  void TearDown() override {
    lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(-1);
    lib.fn<void (*)()>("Finalize")();
  }

  // The host folder of a case: imphost.json, the port mapping table, the database and the case's host files.
  void prepare(const Case& c, Backend backend) {
    json params = demo_station();
    for (auto it = c.station.begin(); it != c.station.end(); ++it) params[it.key()] = it.value();
    Files ports = c.ports;
    if (ports.empty())
      for (const char* p : {"LPT1", "LPT2", "LPT3", "LPT4"}) ports[p] = std::string(p) + ".prn";
    json portMap = json::object(), mapping = json::array();
    for (const auto& [port, file] : ports) {
      portMap[port] = "printers/" + file;
      mapping.push_back({{"CDPORTAIMPR", port}});
    }
    json host = {{"parameters", params},
                 {"connection", backend == Backend::Sqlite
                                    ? "sqlite:Dados/imp.db"
                                    : "odbc:Driver=SQLite3;Database=" + (dir.path() / "Dados" / "imp.db").string() +
                                          ";LoadExt=" IMP_SQLITE_EXTENSION},
                 {"format",
                  {{"decimalSeparator", ","},
                   {"thousandSeparator", "."},
                   {"shortDate", "dd/mm/yyyy"},
                   {"shortTime", "hh:nn:ss"}}},
                 {"printerProperties",
                  {{"4", printer("\x1bm")},
                   {"13", printer("\x1bm")},
                   {"14", printer("\x1bi")},
                   {"16", printer("\x1d\x56\x01")}}},
                 {"ports", portMap}};
    write_file(dir.path() / "imphost.json", host.dump(2));
    json table = {{"fields",
                   {{{"name", "CDPORTAIMPR"}, {"type", "string"}, {"size", 10}},
                    {{"name", "DSENDPORTA"}, {"type", "string"}, {"size", 60}}}},
                  {"rows", mapping}};
    write_file(dir.path() / "Dados" / "Cadastros" / "cdsMapeamento.cds", table.dump());
    fs::create_directories(dir.path() / "printers");
    create_demo_db(dir.path() / "Dados" / "imp.db", "UPDATE CAIXA SET IDUTILFONTEXP = 'N';" + c.sql);
    const fs::path hostFiles = kCases / c.name / "host";
    if (fs::is_directory(hostFiles))
      fs::copy(hostFiles, dir.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }

  void print(const Case& c) {
    const fs::path folder = kCases / c.name;
    // Packets travel as UTF-8 JSON bytes, exactly as stored.
    const imp_variant pedido = text(read_file(folder / "pedido.json"), IMP_VT_BYTES);
    const imp_variant params = text(read_file(folder / "params.json"), IMP_VT_BYTES);
    const std::vector<imp_variant> job = {boolean(true), text("PEDIDO"), pedido,   null(),
                                          null(),        params,         text(""), boolean(c.reprint)};
    lib.fn<JobFn>("DisparaImpressaoNaoFiscal")(job.data(), static_cast<int32_t>(job.size()), nullptr);
    ASSERT_EQ(lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(30000), 1);
  }

  std::string module_log() {
    return read_file(dir.path() / "Dados" / "LogImp00000NF" / "LogImp00000NF2026" / "LogImp00000NF091226.txt");
  }

  Library& lib = Library::get();
  TempDir dir;
};

TEST_P(OrderEndToEnd, PrintersReceiveExactlyTheExpectedTickets) {
  const auto& [c, backend] = GetParam();
  prepare(c, backend);
  print(c);

  expect_same_files(kCases / c.name / "expected", dir.path() / "printers", "order_e2e_actual", c.name);

  // Nothing failed along the way.
  const std::string log = module_log();
  EXPECT_EQ(log.find("Funcao:"), std::string::npos) << log;
  EXPECT_EQ(log.find("_Erro"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Orders, OrderEndToEnd,
                         ::testing::Combine(::testing::ValuesIn(cases()),
                                            ::testing::Values(Backend::Sqlite, Backend::Odbc)),
                         [](const ::testing::TestParamInfo<OrderEndToEnd::ParamType>& info) {
                           return std::get<0>(info.param).name +
                                  (std::get<1>(info.param) == Backend::Odbc ? "_over_odbc" : "");
                         });

}  // namespace
}  // namespace imp::test
