// The host folder of the end-to-end ticket tests: the module loaded on the reference host, a station with
// its formats, the port map (each port a file of printers/), the demo restaurant's database.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "golden.h"
#include "library.h"
#include "station.h"
#include "support/demo_db.h"
#include "support/test_support.h"

namespace imp::test {

namespace ticket_host_detail {
namespace fs = std::filesystem;
using nlohmann::json;
using JobFn = void (*)(const imp_variant*, int32_t, imp_variant*);
}  // namespace ticket_host_detail
using namespace ticket_host_detail;

inline json merged(json base, const json& changes) {
  for (auto it = changes.begin(); it != changes.end(); ++it) base[it.key()] = it.value();
  return base;
}

// The stations of the countries: the demo outlet's identity and printers, with each country's company data.
inline json brasil() {
  return merged(demo_station(), {{"NMCAIXA", "Caixa 1"},
                                 {"NMRAZSOCFILI", "Sabor da Praça Alimentação Ltda"},
                                 {"DSENDEFILI", "Rua das Laranjeiras, 120"},
                                 {"NMBAIRFILI", "Centro"},
                                 {"NMMUNICIPIOFILI", "São Paulo"},
                                 {"SGESTADOFILI", "SP"},
                                 {"CDINSCMUNIFILI", "4.123.456-7"},
                                 {"IDIMPCOMPCUPVEN", "1"},
                                 {"IDIMPCOMPDEBCON", "1"},
                                 {"IDIMPPEDPROD", "N"}});
}

inline json brazilian_format() {
  return {
      {"decimalSeparator", ","}, {"thousandSeparator", "."}, {"shortDate", "dd/mm/yyyy"}, {"shortTime", "hh:nn:ss"}};
}

inline json printer(int columns, const char* closing) {
  return {{"columns", columns}, {"lineFeed", "\n"}, {"closing", closing}};
}

// A host folder for the tickets: the module loaded, the station, formats, ports and database of each test.
class TicketHost : public ::testing::Test, public AbiValues {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:30:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    lib.fn<void (*)(const imp_host*)>("imp_set_host")(nullptr);
    lib.fn<void (*)()>("Initialize")();
  }
  void TearDown() override {
    lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(-1);
    lib.fn<void (*)()>("Finalize")();
  }

  // The host folder `host` (below the test's folder): imphost.json with the station and formats, the port
  // mapping table of the LPT ports, the database. The module works there from now on (and reads the formats).
  void prepare(const std::string& host, const json& station, const json& format, const std::string& sql,
               json ports = json::object()) {
    folder = dir.path() / host;
    write_config(station, format, std::move(ports));
    json mapping = json::array();
    for (const char* p : {"LPT1", "LPT2", "LPT3", "LPT4"}) mapping.push_back({{"CDPORTAIMPR", p}});
    json table = {{"fields", {{{"name", "CDPORTAIMPR"}, {"type", "string"}, {"size", 10}}}}, {"rows", mapping}};
    write_file(folder / "Dados" / "Cadastros" / "cdsMapeamento.cds", table.dump());
    fs::create_directories(folder / "printers");
    create_demo_db(folder / "Dados" / "imp.db", sql);
    lib.fn<void (*)(const char*)>("imp_set_host_dir")(folder.string().c_str());
  }
  // imphost.json; each port the map leaves out prints to printers/<port>.prn.
  void write_config(const json& station, const json& format, json ports) {
    for (const char* p : {"LPT1", "LPT2", "LPT3", "LPT4", "COM1"})
      if (!ports.contains(p)) ports[p] = std::string("printers/") + p + ".prn";
    const json properties = {{"4", printer(48, "\x1bm")}, {"13", printer(48, "\x1bm")}, {"14", printer(40, "\x1bi")}};
    json config = {{"parameters", station},
                   {"connection", over_odbc ? "odbc:Driver=SQLite3;Database=" + (folder / "Dados" / "imp.db").string() +
                                                  ";LoadExt=" IMP_SQLITE_EXTENSION
                                            : "sqlite:Dados/imp.db"},
                   {"format", format},
                   {"printerProperties", properties},
                   {"ports", ports}};
    write_file(folder / "imphost.json", config.dump(2));
  }

  imp_variant packet_of(const fs::path& file) { return fs::exists(file) ? packet(read_file(file)) : null(); }
  void run_job(const std::string& kind, imp_variant pedido, imp_variant conta, imp_variant params) {
    const std::vector<imp_variant> job = {boolean(true), text(kind), pedido, conta, null(), params, text("")};
    lib.fn<JobFn>("DisparaImpressaoNaoFiscal")(job.data(), static_cast<int32_t>(job.size()), nullptr);
    ASSERT_EQ(lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(30000), 1);
  }
  // The job of a case folder of tickets/.
  void run_case(const std::string& kind, const fs::path& c) {
    run_job(kind, packet_of(c / "pedido.json"), packet_of(c / "conta.json"), packet_of(c / "params.json"));
  }

  // An order or a sale ticket through its export, on this thread.
  void call(const std::string& routine, const imp_variant& pedido, const imp_variant& conta,
            const imp_variant& params) {
    const imp_variant nothing = null();
    if (routine.find("ImpPedido_") != std::string::npos)
      lib.fn<void (*)(const imp_variant*, const imp_variant*)>(routine.c_str())(&pedido, &params);
    else if (routine.find("Brasil") != std::string::npos)
      lib.fn<void (*)(const imp_variant*, const imp_variant*, const imp_variant*, const imp_variant*, const char*)>(
          routine.c_str())(&pedido, &conta, &nothing, &params, "CUPOM");
    else
      lib.fn<void (*)(const imp_variant*, const imp_variant*, const imp_variant*, const imp_variant*)>(routine.c_str())(
          &pedido, &conta, &nothing, &params);
  }

  // Everything the printers received, all ports together.
  std::string printed() {
    std::string all;
    for (const auto& [file, content] : files_below(folder / "printers")) all += content;
    return all;
  }

  std::string module_log() {
    return read_file(folder / "Dados" / "LogImp00000NF" / "LogImp00000NF2026" / "LogImp00000NF091226.txt");
  }

  Library& lib = Library::get();
  TempDir dir;
  fs::path folder;
  bool over_odbc = false;  // the database through unixODBC and the SQLite ODBC driver
};

}  // namespace imp::test
