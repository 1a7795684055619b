// Print jobs through the C ABI: the dispatchers, their job threads and the dispatch on kind, country and the
// kind of the sale's first cash movement, with a host whose parameter record and yes/no answer the test sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library.h"
#include "support/demo_db.h"
#include "support/test_support.h"

namespace imp::test {
namespace {

using nlohmann::json;
using JobFn = void (*)(const imp_variant*, int32_t, imp_variant*);
using Station = std::map<std::string, std::string>;

const char* const kNotAvailable = ": rotina não disponível";

// A sale of till 001 charged to a consumer account: its first cash movement is of kind "T".
const char* const kAccountSale = R"(
  INSERT INTO MOVCAIXA (CDCAIXA, CDFILIAL, CDTIPORECE, DTABERCAIX, DTMOVIMCAIXA, IDTIPOMOVIVE, NRSEQVENDA, VRMOVIVEND)
  VALUES ('001', '0001', '001', '2026-12-09 08:00:00', '2026-12-09 12:40:00', 'T', '0000002000', 35.00);)";

class Jobs : public ::testing::Test, public AbiValues {
 protected:
  void SetUp() override {
    setenv("IMP_NOW", "2026-12-09T12:00:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    create_demo_db(dir.path() / "Dados" / "imp.db", kAccountSale);
    // The production printers of the orders print to files.
    write_file(dir.path() / "imphost.json", R"({"ports": {"COM1": "printers/COM1.prn", "COM2": "printers/COM2.prn"}})");
    lib.fn<void (*)(const char*)>("imp_set_host_dir")(dir.str().c_str());
    imp_host host{};
    host.size = sizeof(imp_host);
    host.context = this;
    host.parameters = [](void* ctx, imp_variant* out) -> int32_t {
      auto* self = static_cast<Jobs*>(ctx);
      if (self->parameters_delay_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(self->parameters_delay_ms));
      if (self->on_parameters) self->on_parameters();
      out->type = IMP_VT_BYTES;
      out->v.bytes.ptr = reinterpret_cast<uint8_t*>(self->station_packet.data());
      out->v.bytes.len = static_cast<int32_t>(self->station_packet.size());
      return 1;
    };
    host.question = [](void* ctx, const char* text, const char* button) -> int32_t {
      auto* self = static_cast<Jobs*>(ctx);
      std::lock_guard lk(self->mutex);
      self->questions.push_back(std::string(text) + "|" + button);
      return self->answer ? 1 : 0;
    };
    lib.fn<void (*)(const imp_host*)>("imp_set_host")(&host);
    set_station({});
    lib.fn<void (*)()>("Initialize")();
  }
  void TearDown() override {
    lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(-1);
    lib.fn<void (*)()>("Finalize")();
    lib.fn<void (*)(const imp_host*)>("imp_set_host")(nullptr);
  }

  // The host's parameter record: outlet 0001, till 001 and the given switches.
  void set_station(Station fields) {
    fields.emplace("CDFILIAL", "0001");
    fields.emplace("CDCAIXA", "001");
    station_packet = packet_json(fields);
  }
  static std::string packet_json(const Station& fields) {
    json p = {{"fields", json::array()}, {"rows", json::array({json::object()})}};
    for (const auto& [name, value] : fields) {
      p["fields"].push_back({{"name", name}, {"type", "string"}});
      p["rows"][0][name] = value;
    }
    return p.dump();
  }

  // The seven elements of a non-fiscal job.
  std::vector<imp_variant> job(const std::string& kind, imp_variant dados1, imp_variant dados4) {
    return {boolean(true), text(kind), dados1, null(), null(), dados4, text("")};
  }
  imp_variant sale(const std::string& nrSeqVenda, const std::string& country) {
    return packet(packet_json({{"NRSEQVENDA", nrSeqVenda}, {"CDCAIXA", "001"}, {"STIDPAISINTEGRA", country}}));
  }

  void call(const char* entry, const std::vector<imp_variant>& items) {
    lib.fn<JobFn>(entry)(items.empty() ? nullptr : items.data(), static_cast<int32_t>(items.size()), nullptr);
  }
  void run(const char* entry, const std::vector<imp_variant>& items) {
    call(entry, items);
    ASSERT_EQ(lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(30000), 1);
  }

  // The module log from `from` on, one entry per line without the date and time.
  std::vector<std::string> log_lines(std::size_t from = 0) {
    std::string all =
        read_file(dir.path() / "Dados" / "LogImp00000NF" / "LogImp00000NF2026" / "LogImp00000NF091226.txt");
    std::vector<std::string> lines;
    std::istringstream in(all.substr(std::min(from, all.size())));
    for (std::string line; std::getline(in, line);) {
      const std::string stamp = "09/12/2026 12:00:00 - ";
      lines.push_back(line.rfind(stamp, 0) == 0 ? line.substr(stamp.size()) : line);
    }
    return lines;
  }
  std::size_t log_size() {
    return read_file(dir.path() / "Dados" / "LogImp00000NF" / "LogImp00000NF2026" / "LogImp00000NF091226.txt").size();
  }
  static int count(const std::vector<std::string>& lines, const std::string& part) {
    int n = 0;
    for (const auto& l : lines) n += l.find(part) != std::string::npos;
    return n;
  }
  // The document routines a job reached, in order, by what they logged: the line of a routine that does not
  // exist yet, a routine's failure (these jobs carry no bill or order: the tickets and the orders of the other
  // countries refuse the missing packet under their own name), or the start of the Brazilian sale ticket. The
  // Brazilian order is told apart by its own lines.
  static std::vector<std::string> routines_reached(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    const std::string tail = kNotAvailable, failure = " - Imp00000 - Funcao:", start = "INICIO ImpCupom_";
    for (const auto& l : lines) {
      if (l.find("ImpPedido_Brasil") != std::string::npos) continue;
      if (l.size() > tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0)
        names.push_back(l.substr(0, l.size() - tail.size()));
      else if (auto at = l.find(failure); at != std::string::npos && l.find("Thread.Execute_") == std::string::npos)
        names.push_back(l.substr(at + failure.size()));
      else if (l.rfind(start, 0) == 0)
        names.push_back(l.substr(std::string("INICIO ").size()));
    }
    return names;
  }

  imp_variant global(const char* name) {
    imp_variant v{};
    EXPECT_EQ(lib.fn<int32_t (*)(const char*, imp_variant*)>("imp_global_get")(name, &v), 1) << name;
    return v;
  }
  bool global_bool(const char* name) { return global(name).v.b != 0; }
  std::string global_text(const char* name) {
    imp_variant v = global(name);
    std::string s(v.v.text.ptr ? v.v.text.ptr : "", static_cast<std::size_t>(v.v.text.len));
    lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&v);
    return s;
  }
  void set_global_bool(const char* name, bool b) {
    imp_variant v = boolean(b);
    ASSERT_EQ(lib.fn<int32_t (*)(const char*, const imp_variant*)>("imp_global_set")(name, &v), 1);
  }

  Library& lib = Library::get();
  TempDir dir;
  std::string station_packet;
  std::mutex mutex;
  std::vector<std::string> questions;
  bool answer = true;
  int parameters_delay_ms = 0;
  std::function<void()> on_parameters;
};

// Order rows: product and production printers (the second one may be empty).
std::string order_rows(const std::vector<std::vector<std::string>>& rows) {
  json p = {{"fields", json::array()}, {"rows", json::array()}};
  for (const char* f : {"NMPRODUTO", "CDPORIMPPROD", "IDMODEIMPRES", "CDPORIMPPROD2", "IDMODEIMPRES2"})
    p["fields"].push_back({{"name", f}, {"type", "string"}});
  for (const auto& r : rows)
    p["rows"].push_back({{"NMPRODUTO", r[0]},
                         {"CDPORIMPPROD", r[1]},
                         {"IDMODEIMPRES", r[2]},
                         {"CDPORIMPPROD2", r[3]},
                         {"IDMODEIMPRES2", r[4]}});
  return p.dump();
}

TEST_F(Jobs, OneJobLogsItsStepsInOrderAndCopiesTheStationSwitches) {
  set_station({{"IDIMPPUXANTPED", "S"}, {"IDESQUEMA", "ZEL"}, {"IDENVCUPOMEMAIL", "N"}, {"DTABERCAIX", "09/12/2026"}});
  const bool module_existed = global_bool("rdmImpressoras");
  run("DisparaImpressaoNaoFiscal", job("CANCCUPOM", null(), sale("0000001042", "")));

  std::vector<std::string> expected = {"ArrayLength: 7", "INICIO THREAD_CANCCUPOM"};
  if (!module_existed) expected.insert(expected.end(), {"Assigned(rdmImpressoras)", "TrdmImpressoras.create"});
  expected.insert(expected.end(), {"Assigned(cdsParametrosZel)", "cdsParametrosZel TClientDataSet.Create",
                                   "TERMINATE THREAD_CANCCUPOM", ""});
  EXPECT_EQ(log_lines(), expected);
  EXPECT_EQ(global_text("stIdImpPuxAntPed"), "S");
  EXPECT_EQ(global_text("Rev_stIdEsquema"), "ZEL");
  EXPECT_EQ(global_text("stDtAbertur"), "09/12/2026");

  // A job that fails logs the failure with the kind, and still ends as every job does.
  const std::size_t from = log_size();
  imp_variant five{};
  five.type = IMP_VT_INT;
  five.v.i = 5;
  run("Cli_imp00000_DisparaImpressaoNaoFiscal", job("CUPOM", null(), five));
  auto lines = log_lines(from);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "Dados4 não é um pacote de dados - Imp00000 - Funcao:Thread.Execute_CUPOM");
  EXPECT_EQ(lines[lines.size() - 2], "TERMINATE THREAD_CUPOM");
  EXPECT_EQ(lines.back(), "");
}

TEST_F(Jobs, DispatchByKindCountryAndMovementKind) {
  const std::string card = "0000001042", account = "0000002000";  // first movement "E" / "T"
  struct Case {
    std::string kind, country, sale;
    Station station;
    std::vector<std::string> routines;  // missing routines logged, in order
    bool brazilian_order = false;
  };
  const std::vector<Case> cases = {
      {"VENDA_NFCe", "", card, {}, {"ImpDANFE_NFCe"}},
      {"VENDA_NFCe", "", account, {}, {}},
      {"VENDA_NFCe", "", account, {{"IDUTLINTFACELE", "N"}}, {"ImpDANFE_NFCe"}},
      {"VENDA_NFCe", "04", card, {}, {}},
      {"VENDA_NFCe", "04", card, {{"IDUTLNFSVENCONS", "S"}}, {"ImpCompNFiscalNFSe"}},
      {"VENDA_NFCe", "05", card, {{"IDUTLINTFACELE", "S"}, {"IDINTBOLETCHILE", "3"}}, {"ImpDANFE_Signature"}},
      {"EXTRATO_SAT", "", card, {}, {"ImpExtrato_SAT"}},
      {"EXTRATO_SAT", "01", card, {}, {}},
      {"EXTRATO_SAT_CANC", "", card, {}, {"ImpExtrato_SAT_Canc"}},
      {"VENDA_NFE", "", card, {}, {"ImpDANFE_NFE"}},
      {"VENDA_NFE", "", account, {}, {}},
      {"CUPOM", "", card, {{"IDIMPCOMPCUPVEN", "2"}}, {"ImpCupom_Brasil", "ImpCupom_Brasil"}},
      {"CUPOM", "", card, {{"IDIMPCOMPCUPVEN", "3"}}, {}},
      {"CUPOM", "", card, {}, {}},
      {"CUPOM", "01", card, {{"IDIMPCOMPCUPVEN", "1"}}, {"ImpCupom_Colombia"}},
      {"CUPOM", "", account, {{"IDIMPCOMPCUPVEN", "2"}, {"IDIMPCOMPDEBCON", "1"}}, {"ImpCupom_Brasil"}},
      {"CUPOM_PEDIDO", "02", card, {{"IDIMPCOMPCUPVEN", "0"}, {"IDIMPPEDPROD", "S"}}, {"ImpPedido_Peru"}},
      {"CUPOM_PEDIDO", "04", card, {{"IDIMPCOMPCUPVEN", "1"}, {"IDIMPPEDPROD", "N"}}, {"ImpCupom_Americano"}},
      {"PEDIDO", "03", "", {}, {"ImpPedido_Mexico"}},
      {"PEDIDO", "04", "", {}, {"ImpPedido_Americano"}},
      {"PEDIDO_PUXA", "01", card, {}, {}, true},
      {"PEDIDO_PUXA", "01", account, {}, {}},
      // A printer that is not there: the routine logs the ticket it could not send.
      {"PARCIALCONTA", "", card, {{"IDTIPOIMPNF1", "13"}, {"CDPORTIMPNF1", "XPT9"}}, {"ImpParcialConta_Brasil"}},
      {"CANCCUPOM", "", card, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind + " country '" + c.country + "' sale " + c.sale + " " + packet_json(c.station));
    Station station = c.station;
    station["IDPAISINTEGRA"] = c.kind == "PEDIDO" ? c.country : "07";  // the sale's country wins for sales
    set_station(station);
    const std::size_t from = log_size();
    imp_variant dados1 = c.kind == "PARCIALCONTA" ? text("MESA 12") : null();
    run("DisparaImpressaoNaoFiscal", job(c.kind, dados1, sale(c.sale, c.country)));
    auto lines = log_lines(from);
    EXPECT_EQ(routines_reached(lines), c.routines);
    EXPECT_EQ(count(lines, "ImpPedido_Brasil") > 0, c.brazilian_order);
    EXPECT_EQ(count(lines, "Funcao:Thread.Execute_"), 0);
    EXPECT_EQ(count(lines, "TERMINATE THREAD_" + c.kind), 1);
  }
}

TEST_F(Jobs, FiscalPrintoutQuestion) {
  struct Case {
    std::string solicita;     // IDSOLIMPCUPFIS
    const char* reimpressao;  // IDREIMPRNFCE of the sale, nullptr: the packet lacks it
    bool answer;
    bool asked, started, confirmed;
  };
  const Case cases[] = {
      {"S", "S", false, false, true, false},  // a reprint is never asked for
      {"S", "N", false, true, false, false},  // declined: no job at all
      {"S", "N", true, true, true, true},    {"S", nullptr, true, true, true, true},
      {"N", "N", false, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.solicita + "/" + (c.reimpressao ? c.reimpressao : "missing") + (c.answer ? " yes" : " no"));
    set_station({{"IDSOLIMPCUPFIS", c.solicita}, {"IDBTNIMPCUPFIS", "2"}});
    questions.clear();
    answer = c.answer;
    set_global_bool("boImprCupom", !c.confirmed);
    Station fields = {{"NRSEQVENDA", "0000009999"}};
    if (c.reimpressao) fields["IDREIMPRNFCE"] = c.reimpressao;
    const std::size_t from = log_size();
    run("DisparaImpressaoNaoFiscal", job("VENDA_NFCe", null(), packet(packet_json(fields))));
    auto lines = log_lines(from);
    EXPECT_EQ(questions, c.asked ? std::vector<std::string>{"IMPRIMIR CUPOM FISCAL?|2"} : std::vector<std::string>{});
    EXPECT_EQ(count(lines, "INICIO THREAD_VENDA_NFCe"), c.started ? 1 : 0);
    EXPECT_EQ(count(lines, "ImpDANFE_NFCe"), c.started ? 1 : 0);
    if (c.started) {
      EXPECT_EQ(global_bool("boImprCupom"), c.confirmed);
    }
  }
}

TEST_F(Jobs, OrdersWithASecondProductionPrinterStartASecondJob) {
  set_station({{"IDPAISINTEGRA", "01"}});
  struct Case {
    std::vector<std::vector<std::string>> rows;
    int runs;
    std::string com1;  // the items printed on COM1, in order
  };
  const Case cases[] = {
      {{{"Picanha", "COM1", "13", "", ""}, {"Chope", "COM2", "4", "", ""}}, 1, "Picanha"},
      {{{"Picanha", "COM1", "13", "", ""}, {"Chope", "COM2", "4", "COM1", "13"}}, 2, "Picanha Chope"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir.path() / "printers");
    std::filesystem::create_directories(dir.path() / "printers");
    const std::size_t from = log_size();
    run("DisparaImpressaoNaoFiscal", job("PEDIDO", packet(order_rows(c.rows)), packet(packet_json({}))));
    auto lines = log_lines(from);
    EXPECT_EQ(count(lines, "INICIO THREAD_PEDIDO"), c.runs);
    EXPECT_EQ(count(lines, "ArrayLength:"), 1);
    EXPECT_EQ(count(lines, "Funcao:"), 0);
    // Each run prints its own ticket of the Colombian order.
    std::string items;
    std::istringstream com1(read_file(dir.path() / "printers" / "COM1.prn"));
    for (std::string line; std::getline(com1, line);)
      if (line.rfind("---> 0,000  ", 0) == 0) items += (items.empty() ? "" : " ") + line.substr(12);
    EXPECT_EQ(items, c.com1);
    EXPECT_NE(read_file(dir.path() / "printers" / "COM2.prn").find("---> 0,000  Chope"), std::string::npos);
  }
}

TEST_F(Jobs, ReprintFlagTravelsWithEachOrder) {
  set_station({{"IDPAISINTEGRA", "01"}});
  struct Case {
    const char* kind;
    std::vector<imp_variant> extra;  // elements after the seventh
    bool before, after;
  };
  const std::vector<Case> cases = {
      {"PEDIDO", {}, true, false},  // missing counts as false
      {"PEDIDO", {boolean(true)}, false, true},
      {"PEDIDO", {text("S")}, true, false},  // not a boolean
      {"PEDIDO", {null()}, true, false},
      {"CUPOM", {boolean(false)}, true, true},  // only orders carry the flag
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.kind) + " with " + std::to_string(c.extra.size()) + " extra");
    set_global_bool("boReimpressaoPedido", c.before);
    auto items = job(c.kind, null(), packet(packet_json({})));
    items.insert(items.end(), c.extra.begin(), c.extra.end());
    run("DisparaImpressaoNaoFiscal", items);
    EXPECT_EQ(global_bool("boReimpressaoPedido"), c.after);
  }

  // Two orders sent at once: each job sees its own flag while it prints, and they print in order.
  std::vector<bool> seen;
  on_parameters = [&] { seen.push_back(global_bool("boReimpressaoPedido")); };
  auto reprint = job("PEDIDO", null(), packet(packet_json({})));
  reprint.push_back(boolean(true));
  auto first_print = job("PEDIDO", null(), packet(packet_json({})));
  first_print.push_back(boolean(false));
  call("DisparaImpressaoNaoFiscal", reprint);
  call("DisparaImpressaoNaoFiscal", first_print);
  ASSERT_EQ(lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(30000), 1);
  on_parameters = nullptr;
  seen.erase(std::unique(seen.begin(), seen.end()), seen.end());  // a job reads the station more than once
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST_F(Jobs, ShortJobArraysAreRefused) {
  std::vector<imp_variant> seven = job("CANCCUPOM", null(), null());
  std::vector<imp_variant> cancel(18, text("13"));
  cancel[8] = null();
  struct Case {
    const char* entry;
    std::vector<imp_variant> items;
    std::string logged;  // the refusal, or what the job reached
  };
  const std::vector<Case> cases = {
      {"DisparaImpressaoNaoFiscal",
       {},
       "DisparaImpressaoNaoFiscal: lista de dados com 0 elemento(s); são necessários 7"},
      {"DisparaImpressaoNaoFiscal", {boolean(true)}, "lista de dados com 1 elemento(s)"},
      {"DisparaImpressaoNaoFiscal", {seven.begin(), seven.end() - 1}, "lista de dados com 6 elemento(s)"},
      {"DisparaImpNaoFiscalDlv", {seven.begin(), seven.end() - 1}, "DisparaImpNaoFiscalDlv: lista de dados com 6"},
      {"DisparaImprimeCancProduto", {cancel.begin(), cancel.end() - 1}, "são necessários 18"},
      {"LogImpNFiscal", {}, "LogImpNFiscal: lista de dados com 0 elemento(s); são necessários 1"},
      {"DisparaImprimeCancProduto", cancel, "Funcao:ImpCancProduto"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + " with " + std::to_string(c.items.size()));
    const std::size_t from = log_size();
    run(c.entry, c.items);
    auto lines = log_lines(from);
    EXPECT_EQ(count(lines, c.logged), 1);
    EXPECT_EQ(count(lines, "INICIO THREAD_"), 0);
    if (c.items.size() < 18) {
      EXPECT_EQ(count(lines, "ImpCancProduto"), 0);
    }
  }
  // The MP-100 model prints cancellations through its own unit.
  cancel[1] = text("7");
  const std::size_t from = log_size();
  run("Cli_imp00000_DisparaImprimeCancProduto", cancel);
  EXPECT_EQ(routines_reached(log_lines(from)), std::vector<std::string>{"ImpCancelamento_Bematech_MP100"});
}

TEST_F(Jobs, PrintLogLinesThroughBothNames) {
  std::filesystem::create_directories(dir.path() / "Dados" / "ImpNaoFiscal");
  run("LogImpNFiscal", {text("Cupom 12")});
  run("Cli_imp00000_LogImpNFiscal", {text("Cupom 13")});
  EXPECT_EQ(read_file(dir.path() / "Dados" / "ImpNaoFiscal" / "LogImpressoraNFiscal1226.txt"),
            "09/12/2026 12:00:00 - Cupom 12\n09/12/2026 12:00:00 - Cupom 13\n");
}

TEST_F(Jobs, DeliveryOrderFromTheSaleTheHostLooksUp) {
  set_station({{"IDTIPOIMPNF1", "13"}, {"CDPORTIMPNF1", "LPT1"}, {"CDLOJA", "01"}});
  const std::string pads = packet_json({{"NRCOMANDA", "0012"}, {"NRVENDAREST", "0000000087"}});
  run("DisparaImpNaoFiscalDlv", job("PEDIDO", packet(pads), packet(packet_json({}))));
  imp_variant out{};
  ASSERT_EQ(lib.fn<int32_t (*)(const char*, imp_variant*)>("imp_dataset_get")("cdsImprimePedidoDlv", &out), 1);
  ASSERT_EQ(out.type, IMP_VT_BYTES);
  json rows = json::parse(std::string(reinterpret_cast<char*>(out.v.bytes.ptr), out.v.bytes.len))["rows"];
  lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&out);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0]["NMPRODUTO"], "Chope 300 ml");
  EXPECT_EQ(rows[0]["QTPRODCOMVEN"], 3);
  EXPECT_EQ(rows[0]["NRMESA"], "12");
  EXPECT_EQ(rows[0]["NRCOMANDA"], "0012");
  EXPECT_EQ(rows[0]["IDMODEIMPRES"], "13");  // no ProdLoja.cds: the model of printer 1
  EXPECT_EQ(rows[1]["DSOBSERVACAO"], "SEM GELO;");
  EXPECT_EQ(rows[5]["NMPRODUTO"], "Batata frita");
  EXPECT_EQ(rows[5]["QTPRODCOMVEN"], 0.5);
  EXPECT_EQ(global_text("stIdTipoImpNF1"), "13");
  EXPECT_EQ(global_text("stCdPortImpNF1"), "LPT1");

  // The outlet of the lookup comes from the auxiliary parameters when the host loaded them.
  imp_variant aux = packet(packet_json({{"CDFILIAL", "0002"}}));
  ASSERT_EQ(lib.fn<int32_t (*)(const char*, const imp_variant*)>("imp_dataset_set")("cdsParametrosZelAux", &aux), 1);
  std::size_t from = log_size();
  run("Cli_imp00000_DisparaImpNaoFiscalDlv", job("PEDIDO_PUXA", packet(pads), packet(packet_json({}))));
  auto lines = log_lines(from);
  EXPECT_EQ(count(lines, "a venda 0000000087 da comanda 0012 (filial 0002) não tem itens"), 1);
  EXPECT_EQ(count(lines, "ImpPedido_Brasil"), 0);

  aux = packet(packet_json({{"CDFILIAL", "0001"}}));
  ASSERT_EQ(lib.fn<int32_t (*)(const char*, const imp_variant*)>("imp_dataset_set")("cdsParametrosZelAux", &aux), 1);
  from = log_size();
  run("DisparaImpNaoFiscalDlv", job("PEDIDO_PUXA", packet(pads), packet(packet_json({}))));
  lines = log_lines(from);
  EXPECT_GE(count(lines, "ImpPedido_Brasil"), 1);
  EXPECT_EQ(count(lines, "Funcao:onImpNaoFiscalDlv"), 0);
}

TEST_F(Jobs, ThreadClassesThroughTheirFullNames) {
  using Ctor = void (*)(int32_t, const char*, const imp_variant*, const imp_variant*, const imp_variant*,
                        const imp_variant*, const char*);
  imp_variant nothing = null();
  imp_variant dados4 = sale("0000001042", "");
  // Execute runs on the caller's thread: the job is over when it returns.
  lib.fn<Ctor>("Cli_imp00000_onImpressaoNaoFiscal_Execute")(0, "EXTRATO_SAT", &nothing, nullptr, nullptr, &dados4, "");
  EXPECT_EQ(routines_reached(log_lines()), std::vector<std::string>{"ImpExtrato_SAT"});
  std::size_t from = log_size();
  lib.fn<Ctor>("Cli_imp00000_TImpressaoNaoFiscalThread_Create")(0, "EXTRATO_SAT_CANC", &nothing, nullptr, nullptr,
                                                                &dados4, "");
  ASSERT_EQ(lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(30000), 1);
  auto lines = log_lines(from);
  EXPECT_EQ(routines_reached(lines), std::vector<std::string>{"ImpExtrato_SAT_Canc"});
  EXPECT_EQ(count(lines, "TERMINATE THREAD_EXTRATO_SAT_CANC"), 1);
}

TEST_F(Jobs, FinalizeWaitsForRunningJobs) {
  parameters_delay_ms = 300;  // the job is still reading the station when the host unloads
  call("DisparaImpressaoNaoFiscal", job("CANCCUPOM", null(), null()));
  lib.fn<void (*)()>("Finalize")();
  auto lines = log_lines();
  EXPECT_EQ(count(lines, "TERMINATE THREAD_CANCCUPOM"), 1);
  EXPECT_EQ(lines.back(), "");

  // After the last unload a job is refused: nothing starts.
  parameters_delay_ms = 0;
  run("DisparaImpressaoNaoFiscal", job("CANCCUPOM", null(), null()));
  lines = log_lines();
  EXPECT_EQ(count(lines, "DisparaImpressaoNaoFiscal: Imp00000 não carregado"), 1);
  EXPECT_EQ(count(lines, "INICIO THREAD_"), 1);
  lib.fn<void (*)()>("Initialize")();  // for TearDown
}

}  // namespace
}  // namespace imp::test
