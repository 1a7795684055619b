// Cancellations, the partial bill, the delivery ticket and the MP-100 unit end to end through the C ABI: job
// arrays and direct calls on the reference host, the demo restaurant's database, LPT ports as capture files,
// and the MP-100 on a pseudo-terminal mapped as its COM port. Tickets are compared byte for byte with the
// files of cancellation/<case>/ (on a mismatch the actual files go to cancellation_actual/<case>/).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/private_spooler.h"
#include "support/pty.h"
#include "ticket_host.h"

namespace imp::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kCases = fs::path(IMP_SOURCE_DIR) / "tests" / "package" / "cancellation";

// A data packet of string fields (QTPRODCOMVEN and the prices as floats) from rows of field -> value.
std::string packet_of_rows(const std::vector<json>& rows) {
  json fields = json::array();
  std::vector<std::string> names;
  for (const json& r : rows)
    for (auto it = r.begin(); it != r.end(); ++it)
      if (std::find(names.begin(), names.end(), it.key()) == names.end()) names.push_back(it.key());
  for (const std::string& n : names) {
    const bool number = n.rfind("QT", 0) == 0 || n.rfind("VR", 0) == 0;
    fields.push_back(number ? json{{"name", n}, {"type", "float"}} : json{{"name", n}, {"type", "string"}});
  }
  return json{{"fields", fields}, {"rows", rows}}.dump();
}

json item(const char* port, const char* model, const char* seq, const char* name, double qty, const char* parent = "",
          const char* reason = "", const char* mark = "S") {
  return {
      {"IDIMPCANITEM", mark},   {"CDPORIMPPROD", port}, {"IDMODEIMPRES", model}, {"NRSEQUITVEND", seq},
      {"NMPRODUTOPAI", parent}, {"QTPRODCOMVEN", qty},  {"NMPRODUTO", name},     {"CDGRPOCOR", reason[0] ? "01" : ""},
      {"DSOCORR", reason}};
}

class Cancellations : public TicketHost {
 protected:
  // The cancellation job array: T1 the model, T2..T7, the packet, T9..T15.
  void cancel_job(const std::string& model, const std::string& packet_json) {
    const std::vector<imp_variant> job = {boolean(true),
                                          text(model),
                                          text("Ze Roberto"),
                                          text(""),
                                          text("12"),
                                          text("01"),
                                          text("Desistiu"),
                                          text("x"),
                                          packet(packet_json),
                                          text("CANCELAMENTO"),
                                          text("CUPOM: "),
                                          text("MOTIVO:"),
                                          text("MESA"),
                                          text("GARCOM"),
                                          text("COMANDA"),
                                          text("x"),
                                          null(),
                                          null()};
    lib.fn<JobFn>("DisparaImprimeCancProduto")(job.data(), static_cast<int32_t>(job.size()), nullptr);
    ASSERT_EQ(lib.fn<int32_t (*)(int32_t)>("imp_wait_idle")(30000), 1);
  }
  void expect_case(const std::string& name) {
    expect_same_files(kCases / name, folder / "printers", "cancellation_actual", name);
  }
};

// Two production printers in index order, each with its own width; a combo's items under its centred name, then
// a plain item after dashes; reasons; rows the filter drops; the expanded font on the model-18 ticket only;
// model 34's sixteen feeds at the end of the last ticket.
TEST_F(Cancellations, EachProductionPrinterGetsItsOwnTicket) {
  prepare("two_printers", brasil(), brazilian_format(), "");
  cancel_job("13", packet_of_rows({
                       item("LPT2", "34", "003", "Chope 300 ml", 2, "", "Cliente desistiu"),
                       item("LPT1", "18", "002", "Batata frita", 0.5, "Combo Casa"),
                       item("LPT1", "18", "001", "Hamburguer da casa", 1, "Combo Casa", "Demora"),
                       item("LPT1", "18", "004", "Bolinho de bacalhau", 1),
                       item("LPT1", "18", "005", "Suco de laranja", 1, "", "", "N"),
                       item("0", "18", "006", "Agua", 1),
                       item("", "18", "007", "Refrigerante", 1),
                   }));
  expect_case("two_printers");
  EXPECT_EQ(module_log().find("Funcao:"), std::string::npos) << module_log();

  // Nothing marked for printing prints nothing.
  prepare("nothing_marked", brasil(), brazilian_format(), "");
  cancel_job("13", packet_of_rows({item("LPT1", "13", "001", "Agua", 1, "", "", "N")}));
  EXPECT_TRUE(files_below(folder / "printers").empty());
}

// A row with a network address goes to that share on the spooler; the others print directly.
TEST_F(Cancellations, ARowWithANetworkAddressGoesToItsShare) {
  prepare("share", brasil(), brazilian_format(), "");
  const fs::path spooled = folder / "spooled" / "COZINHA.prn";
  fs::create_directories(spooled.parent_path());
  PrivateSpooler cups(folder);
  cups.add("COZINHA", "capture:" + spooled.string(), "", true);
  json kitchen = item("LPT1", "13", "001", "Hamburguer da casa", 1);
  kitchen["DSENDPORTA"] = "127.0.0.1\\COZINHA";
  cancel_job("13", packet_of_rows({kitchen, item("LPT2", "4", "002", "Chope 300 ml", 2)}));
  const std::string got = PrivateSpooler::captured(spooled, 100);
  EXPECT_NE(got.find("---> 1 Hamburguer da casa\n"), std::string::npos) << readable(got) << module_log();
  const Files direct = files_below(folder / "printers");
  EXPECT_EQ(direct.count("LPT1.prn"), 0u);
  ASSERT_EQ(direct.count("LPT2.prn"), 1u);
  EXPECT_NE(direct.at("LPT2.prn").find("---> 2 Chope 300 ml\n"), std::string::npos);
}

// The MP-100 (model 7): CR LF lines at 19200 8N1 on the serial line, one ticket per port, for a packet without
// the IDIMPCANITEM and NRCUPOMFIS columns.
TEST_F(Cancellations, TheMp100PrintsOneTicketPerPortOnItsSerialLine) {
  PseudoTerminal kitchen, bar;
  prepare("mp100", brasil(), brazilian_format(), "", {{"COM1", kitchen.path()}, {"COM2", bar.path()}});
  json a = item("COM1", "7", "001", "Hamburguer da casa", 1), b = item("COM2", "7", "002", "Chope 300 ml", 2),
       c = item("COM1", "7", "003", "Batata frita", 1);
  for (json* r : {&a, &b, &c}) r->erase("IDIMPCANITEM");
  cancel_job("7", packet_of_rows({a, b, c}));
  const std::string k = kitchen.received(), r = bar.received();
  EXPECT_NE(k.find("---> 1 Hamburguer da casa\r\n---> 1 Batata frita\r\n"), std::string::npos) << readable(k);
  EXPECT_EQ(k.find("Chope"), std::string::npos);
  EXPECT_NE(r.find("---> 2 Chope 300 ml\r\n"), std::string::npos) << readable(r);
  EXPECT_NE(k.find(" MESA 12\r\n GARCOM Ze Roberto\r\n COMANDA \r\nCUPOM: \r\n"), std::string::npos) << readable(k);
  EXPECT_NE(k.find("MOTIVO:\r\n01 Desistiu\r\n"), std::string::npos) << readable(k);
  EXPECT_EQ(k.find("\r\r\n"), std::string::npos);
  EXPECT_EQ(k.size() - k.rfind("----\r\n") - 6, 20u) << "ten CR LF close the ticket";
  const termios line = kitchen.settings();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_EQ(line.c_oflag & OPOST, 0u) << "raw output: no CR added before LF";
}

// The 24 values of a cancelled sale: model, port, the MP-100 port of a credit sale, sale kind, country.
class CancelledSale : public Cancellations {
 protected:
  std::vector<imp_variant> sale(const std::string& model, const std::string& port, const std::string& kind = "A",
                                const std::string& country = "") {
    const std::string items = packet_of_rows({
        {{"NMPRODUTO", "Hamburguer da casa"}, {"QTPRODCOMVEN", 2}, {"VRPRECCOMVEN", 48.5}, {"VRUNITVENDCL", 0}},
        {{"NMPRODUTO", "Picanha na chapa"}, {"QTPRODCOMVEN", 1}, {"VRPRECCOMVEN", 1234}, {"VRUNITVENDCL", 0.5}},
        {{"NMPRODUTO", "Batata frita"}, {"QTPRODCOMVEN", 1.5}, {"VRPRECCOMVEN", 10}},
    });
    return {text(model),
            text(port),
            text(""),
            text("COM2"),
            text(kind),
            text("0001"),
            text(""),
            text("Caixa 1"),
            text("ECF-01"),
            text("000124"),
            text("Volte sempre"),
            text("00458"),
            text(country),
            text(""),
            boolean(false),
            text("INSC. MUNICIPAL"),
            text("SERIE"),
            text("DATA"),
            text("HORA"),
            text("CUPOM"),
            text("TOTAL"),
            text("CUPOM CANCELADO"),
            text("Consumo registrado"),
            packet(items)};
  }
  // Calls setCupomCancelado; the boolean it wrote in the result, or -1 when it wrote none.
  int call(const std::vector<imp_variant>& args, const char* entry = "setCupomCancelado") {
    imp_variant result{};
    lib.fn<JobFn>(entry)(args.data(), static_cast<int32_t>(args.size()), &result);
    const int r = result.type == IMP_VT_BOOL ? result.v.b : -1;
    lib.fn<void (*)(imp_variant*)>("imp_variant_clear")(&result);
    return r;
  }
  bool mp100_printing() {
    return lib.fn<int32_t (*)(int32_t, const char*, int32_t)>("Cli_imp00000_TrdmImpressoras_CtrlImpress")(0, "MP100",
                                                                                                          0) != 0;
  }
};

// The direct port: one line a write, thousands separators, the unit price with VRUNITVENDCL, a fraction of a
// quantity printed whole, the partial cut; true once the whole receipt went out.
TEST_F(CancelledSale, OnTheDirectPort) {
  prepare("sale_direct", brasil(), brazilian_format(), "");
  EXPECT_EQ(call(sale("13", "LPT1")), 1);
  expect_case("sale_direct");

  // A Peruvian credit sale: the RUC line, the series and number lines, the consumer's ticket number and the
  // credit closing text.
  prepare("sale_peru_credit", brasil(), brazilian_format(), "");
  EXPECT_EQ(call(sale("13", "LPT1", "C", "02"), "Cli_imp00000_setCupomCancelado"), 1);
  const std::string peru = read_file(folder / "printers" / "LPT1.prn");
  for (const char* line : {"RUC: 4.123.456-7", "NR. SERIE:ECF-01 DATA 09/12/2026\r\n",
                           "CUPOM:00458-000124 HORA 12:30:00", "Consumo registrado"})
    EXPECT_NE(peru.find(line), std::string::npos) << line << "\n" << readable(peru);

  // A port that does not open prints nothing and answers false; so do fewer than 24 values.
  prepare("sale_failures", brasil(), brazilian_format(), "", {{"LPT1", "semPasta/LPT1.prn"}});
  EXPECT_EQ(call(sale("13", "LPT1")), 0);
  auto short_list = sale("13", "LPT2");
  short_list.pop_back();
  EXPECT_EQ(call(short_list), 0);
  EXPECT_TRUE(files_below(folder / "printers").empty());
  EXPECT_NE(module_log().find("setCupomCancelado: lista de dados com 23 elemento(s)"), std::string::npos)
      << module_log();
}

// Model 7: the MP-100 prints the sale on its serial line (a credit sale on its own port), and the printing
// flag is down again afterwards, printed or not.
TEST_F(CancelledSale, OnTheMp100) {
  PseudoTerminal line;
  prepare("sale_mp100", brasil(), brazilian_format(), "", {{"COM2", line.path()}, {"COM3", "semPasta/COM3.prn"}});
  EXPECT_EQ(call(sale("7", "COM1", "C")), 1);
  const std::string got = line.received();
  EXPECT_NE(got.find("CUPOM: 00458-000124  \r\n"), std::string::npos) << readable(got);
  EXPECT_NE(got.find("Picanha na chap  1 X 1234,50   1234,50\r\n"), std::string::npos) << readable(got);
  EXPECT_NE(got.find("1346,50\r\n"), std::string::npos) << readable(got);
  EXPECT_EQ(got.find("\r\r\n"), std::string::npos);
  EXPECT_FALSE(mp100_printing());
  // COM3 leads nowhere: false, and the flag is down too.
  EXPECT_EQ(call(sale("7", "COM3")), 0);
  EXPECT_NE(module_log().find("MP-100 porta COM3: "), std::string::npos) << module_log();
  EXPECT_FALSE(mp100_printing());
}

// The partial bill: the station's printer for "PARCIALCONTA", the host's text as it stands (accents stripped).
TEST_F(Cancellations, PartialBillOnTheStationsPrinter) {
  const std::string bill = "MESA 12\nFeij\xe3o tropeiro  42,00\n";  // Windows-1252
  PseudoTerminal line;
  struct Case {
    const char* name;
    json station;
    const char* port;      // the file of printers/ that receives the bill ("" none; "pty" the serial line)
    std::string expected;  // what it receives
  };
  const std::vector<Case> cases = {
      {"nfce_printer_3", merged(brasil(), {{"SISTEMAZELNFCE", true}, {"IDTIPOIMPNF3", "13"}, {"CDPORTIMPNF3", "LPT3"}}),
       "LPT3.prn", "\x1b@\x1b\x0f\x12MESA 12\nFeijao tropeiro  42,00\n\n\r\n\r\n\x1b@\x1bm"},
      {"printer_2_by_its_flag", merged(brasil(), {{"IDTPVENDIMPNF1", "C"}, {"IDTPVENDIMPNF2", "A"}}), "LPT2.prn",
       "\x1b@\x1b\x0f\x12MESA 12\nFeijao tropeiro  42,00\n\n\x1b@\x1bm"},
      {"model_17", merged(brasil(), {{"IDTIPOIMPNF1", "17"}}), "LPT1.prn", ""},
      {"no_printer", merged(brasil(), {{"CDPORTIMPNF1", ""}}), "", ""},
      {"mp100", merged(brasil(), {{"IDTIPOIMPNF1", "7"}, {"CDPORTIMPNF1", "COM1"}}), "pty",
       "MESA 12\nFeijao tropeiro  42,00\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prepare(c.name, c.station, brazilian_format(), "", {{"COM1", line.path()}});
    run_job("PARCIALCONTA", text(bill), null(), null());
    const Files got = files_below(folder / "printers");
    if (std::string(c.port) == "pty") {
      EXPECT_EQ(line.received(c.expected.size()), c.expected);
      EXPECT_TRUE(got.empty());
    } else if (std::string(c.port).empty()) {
      EXPECT_TRUE(got.empty());
    } else {
      ASSERT_EQ(got.size(), 1u) << module_log();
      ASSERT_EQ(got.begin()->first, c.port);
      if (!c.expected.empty()) {
        EXPECT_EQ(readable(got.begin()->second), readable(c.expected));
      } else {  // model 17: character font A and a 16-dot line spacing first
        EXPECT_NE(got.begin()->second.find("\x1bM0\x1b\x33\x10MESA 12"), std::string::npos)
            << readable(got.begin()->second);
      }
    }
    EXPECT_EQ(module_log().find("Funcao:"), std::string::npos) << module_log();
  }
}

// The delivery ticket on an LPT port: the text for the ticket's own model (model 18 has no condensed prefix,
// whatever model an earlier job recorded), its closing command, and never the order number or a barcode.
TEST_F(Cancellations, DeliveryTicketOnTheDirectPort) {
  using Entrega = int32_t (*)(const char*, const char*, const char*, const char*);
  prepare("delivery", brasil(), brazilian_format(), "");
  ASSERT_EQ(lib.fn<Entrega>("ImprimeEntrega")("LPT1", "13", "ENTREGA\nRua A, 10\n", "0042"), 1);
  EXPECT_EQ(readable(read_file(folder / "printers" / "LPT1.prn")), readable("\x1b@\x1b\x0f\x12"
                                                                            "ENTREGA\nRua A, 10\n\x1b@\x1bm"));
  const std::string log = module_log();
  for (const char* line : {"INICIO ImprimeEntrega_LPT1_13", "Length stRelat: 18", "FIM ImprimeEntrega_LPT1_13"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;

  EXPECT_EQ(lib.fn<Entrega>("Cli_imp00000_ImprimeEntrega")("LPT2", "18", "ENTREGA 2\n", ""), 1);
  EXPECT_EQ(readable(read_file(folder / "printers" / "LPT2.prn")), readable("\x1b@ENTREGA 2\n\x1b@\x1dV\x01"));
  EXPECT_EQ(read_file(folder / "printers" / "LPT1.prn").find("0042"), std::string::npos);

  EXPECT_EQ(lib.fn<Entrega>("ImprimeEntrega")("LPT9", "13", "ENTREGA\n", "1"), 0) << "a port that is not there";
}

// The makers' libraries (the stand-in MP2032 on USB): the calls both routes make, in order, with model 13's
// barcode margin of 83 and the order number's caption and barcode; false when the printer does not open.
TEST_F(CancelledSale, OnAMakersLibrary) {
  setenv("IMP_DRIVER_PATH", IMP_DRIVERS_DIR, 1);
  prepare("library", brasil(), brazilian_format(), "", {{"USB", "printers/USB.prn"}});
  const fs::path trace = folder / "trace.txt";
  setenv("IMP_DRIVER_TRACE", trace.c_str(), 1);
  ASSERT_EQ(lib.fn<int32_t (*)()>("StartMp2032")(), 1);
  auto calls = [&] {
    std::vector<std::string> names;
    std::istringstream in(fs::exists(trace) ? read_file(trace) : std::string());
    for (std::string line; std::getline(in, line);)
      if (line.find("imp_driver_configure") == std::string::npos) names.push_back(line.substr(0, line.find('(')));
    fs::remove(trace);
    return names;
  };
  using Entrega = int32_t (*)(const char*, const char*, const char*, const char*);
  // The open sends model 13's three set-up commands.
  const std::vector<std::string> open = {"Mp2032 IniciaPorta", "Mp2032 ComandoTX", "Mp2032 ComandoTX",
                                         "Mp2032 ComandoTX"};
  auto after_open = [&](std::vector<std::string> rest) {
    rest.insert(rest.begin(), open.begin(), open.end());
    return rest;
  };
  EXPECT_EQ(call(sale("13", "USB")), 1);
  EXPECT_EQ(calls(), after_open({"Mp2032 FormataTX", "Mp2032 AcionaGuilhotina", "Mp2032 FechaPorta"}));
  EXPECT_EQ(lib.fn<Entrega>("ImprimeEntrega")("USB", "13", "ENTREGA\n", "0042"), 1);
  const std::string entrega_trace = fs::exists(trace) ? read_file(trace) : "";
  EXPECT_NE(entrega_trace.find("ConfiguraCodigoBarras(90, 0, 0, 0, 83)"), std::string::npos) << entrega_trace;
  EXPECT_NE(entrega_trace.find("Pedido: 0042"), std::string::npos) << entrega_trace;
  EXPECT_EQ(calls(), after_open({"Mp2032 FormataTX", "Mp2032 FormataTX", "Mp2032 ConfiguraCodigoBarras",
                                 "Mp2032 ImprimeCodigoBarrasCODE128", "Mp2032 FormataTX", "Mp2032 AcionaGuilhotina",
                                 "Mp2032 FechaPorta"}));
  EXPECT_EQ(lib.fn<Entrega>("ImprimeEntrega")("USB", "13", "ENTREGA\n", ""), 1);
  EXPECT_EQ(calls(), after_open({"Mp2032 FormataTX", "Mp2032 ConfiguraCodigoBarras", "Mp2032 FormataTX",
                                 "Mp2032 AcionaGuilhotina", "Mp2032 FechaPorta"}))
      << "no order number: no caption, no barcode";
  EXPECT_EQ(call(sale("13", "127.0.0.1:1")), 0) << "a printer that does not open";
  lib.fn<void (*)()>("Cli_imp00000_StopMp2032")();
  unsetenv("IMP_DRIVER_TRACE");
  unsetenv("IMP_DRIVER_PATH");
}

// The MP-100 unit's own entries: the bill check (per-person lines only for more than one person), the serial
// writer in pieces, a printer that stops reading, and the connection of the maker's sibling programs.
class Mp100Unit : public Cancellations {
 protected:
  void bill_check(double people) {
    const std::string items = packet_of_rows({
        {{"NMPRODUTO", "Picanha na chapa"}, {"QTPRODCOMVEN", 1}, {"VRPRECCOMVEN", 1234.5}},
        {{"NMPRODUTO", "Chope 300 ml"}, {"QTPRODCOMVEN", 3}, {"VRPRECCOMVEN", 12}},
    });
    const imp_variant packet_v = packet(items);
    using Conta = void (*)(const char*, const char*, const char*, const char*, const char*, const imp_variant*, double,
                           double, double, double, double, double, double, const char*, const char*, const char*,
                           const char*, const char*, const char*, const char*, const char*, const char*, const char*,
                           const char*, const char*, const char*, const char*, const char*, const char*, const char*);
    lib.fn<Conta>("Cli_imp00400_TrdmBematechMP100_ImpConta_Bematech_MP100")(
        "COM1", "Ze Roberto", "Ana Souza", "12", "t5", &packet_v, 0, 0, 127.05, 0, people, 1397.55, 0,
        "Obrigado pela visita", "t7", "CONFERENCIA DE CONTA", "DATA", "MESA", "GARCOM", "CAIXA", "SUBTOTAL",
        "TAXA SERVICO", "DESCONTO", "COUVERT", "VALOR POR", "PESSOA", "PESSOAS", "TOTAL", "Volte sempre", "CONSUMACAO");
  }
};

TEST_F(Mp100Unit, BillCheck) {
  PseudoTerminal line;
  prepare("bill_check", brasil(), brazilian_format(), "", {{"COM1", line.path()}});
  bill_check(1);
  const std::string one = line.received();
  const std::vector<std::string> pieces = {
      "------------------------------------\r\n        CONFERENCIA DE CONTA        \r\n",
      "DATA 09/12/2026 12:30:00\r\n",
      "MESA 12" + std::string(29, ' ') + "\r\nGARCOM Ze Roberto\r\nCAIXA Ana Souza\r\n",
      "-->Picanha na chapa" + std::string(17, ' ') + "\r\n1,000 X 1234,50" + std::string(10, ' ') + "R$ 1.234,50\r\n",
      "TAXA SERVICO 1 PESSOAS" + std::string(5, ' ') + "R$ 127,05\r\n",
      "TOTAL" + std::string(20, ' ') + "R$ 1.397,55\r\n",
      "Velmora Sistemas - www.velmora.com.br\r\n"};
  for (const std::string& piece : pieces)
    EXPECT_NE(one.find(piece), std::string::npos) << piece << "\n" << readable(one);
  EXPECT_EQ(one.find("VALOR POR"), std::string::npos) << "one person: no per-person lines";
  std::string ten_feeds;
  for (int i = 0; i < 10; ++i) ten_feeds += "\r\n";
  EXPECT_EQ(one.substr(one.size() - 20), ten_feeds);

  bill_check(3);
  const std::string three = line.received().substr(one.size());
  EXPECT_NE(three.find("VALOR POR R$ 465,85 PESSOA" + std::string(10, ' ') + "\r\n(3 PESSOAS)\r\n"), std::string::npos)
      << readable(three);
}

TEST_F(Mp100Unit, SerialWriterAndItsFailures) {
  using Writer = char* (*)(const char*, const char*);
  auto write = [&](const std::string& text, const char* port) {
    char* r = lib.fn<Writer>("Cli_imp00000_TrdmImpressoras_FormataBematech_MP100")(text.c_str(), port);
    std::string reason = r ? r : "<null>";
    lib.fn<void (*)(void*)>("imp_free")(r);
    return reason;
  };
  PseudoTerminal line;
  PseudoTerminal silent(false);  // never reads
  prepare("serial", brasil(), brazilian_format(), "", {{"COM1", line.path()}, {"COM2", silent.path()}});
  std::string long_text;
  for (int i = 0; long_text.size() < 2500; ++i) long_text += "linha " + std::to_string(i) + "\r\n";
  long_text.resize(2500);
  EXPECT_EQ(write(long_text, "COM1"), "");
  EXPECT_EQ(line.received(long_text.size()), long_text) << "2,500 characters arrive whole, in order";

  const auto start = std::chrono::steady_clock::now();
  const std::string reason = write(std::string(1 << 20, 'x'), "COM2");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_NE(reason.find("tempo esgotado"), std::string::npos) << reason;
  EXPECT_NE(module_log().find("MP-100 porta COM2: "), std::string::npos) << module_log();
  EXPECT_EQ(write("ok\r\n", "COM1"), "") << "the job lock is free again";
}

// "212" for the sibling programs listed in connection212Executables (this test binary, upper-cased), else "".
TEST_F(Mp100Unit, ConnectionOfTheSiblingPrograms) {
  static std::vector<std::string> asked;
  static std::string connection;
  imp_host host{};
  host.size = sizeof(imp_host);
  host.connection_string = [](void*, const char* system, imp_variant* out) -> int32_t {
    asked.push_back(system ? system : "");
    out->type = IMP_VT_TEXT;
    out->v.text.ptr = connection.data();
    out->v.text.len = static_cast<int32_t>(connection.size());
    return 1;
  };
  for (const bool listed : {false, true}) {
    SCOPED_TRACE(listed);
    prepare(listed ? "listed" : "not_listed", brasil(), brazilian_format(), "");
    connection = "sqlite:" + (folder / "Dados" / "imp.db").string();
    if (listed) {
      json config = json::parse(read_file(folder / "imphost.json"));
      config["connection212Executables"] = {"OTHER.EXE", "PACKAGE_TESTS"};
      write_file(folder / "imphost.json", config.dump());
    }
    asked.clear();
    lib.fn<void (*)(const imp_host*)>("imp_set_host")(&host);
    lib.fn<void (*)()>("Cli_imp00400_TrdmBematechMP100_adcBematechMP100BeforeConnect")();
    lib.fn<void (*)(const imp_host*)>("imp_set_host")(nullptr);
    EXPECT_EQ(asked, std::vector<std::string>{listed ? "212" : ""});
  }
}

}  // namespace
}  // namespace imp::test
