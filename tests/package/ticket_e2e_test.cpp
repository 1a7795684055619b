// Sale tickets of every layout and the production orders of Colombia, Peru, Mexico and the United States end to
// end: a till's "CUPOM", "CUPOM_PEDIDO" or "PEDIDO" job through the C ABI, on the reference host of a temporary
// host folder (the country's station and formats in imphost.json, the demo restaurant's database, ports mapped
// to files), compared byte for byte with what each printer is expected to receive.
//
// Every case is a folder of tickets/: conta.json (the bill), params.json (the sale or order parameters),
// pedido.json (the order rows), each when the case has one, and expected/ (every file the printers must hold
// afterwards). On a mismatch the actual files are written to ticket_e2e_actual/<case>/ next to the test binary.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ticket_host.h"

namespace imp::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using JobFn = void (*)(const imp_variant*, int32_t, imp_variant*);

const fs::path kCases = fs::path(IMP_SOURCE_DIR) / "tests" / "package" / "tickets";

json colombia() {
  return merged(brasil(), {{"CDFILIAL", "0002"},
                           {"IDPAISINTEGRA", "01"},
                           {"IDTIPOIMPNF1", "14"},
                           {"CDPORTIMPNF1", "COM1"},
                           {"NMCAIXA", "Caja 1"},
                           {"NMRAZSOCEMPR", "Sabor de la Plaza S.A.S."},
                           {"NMRAZSOCFILI", "Sabor de la Plaza Chapinero"},
                           {"DSENDEFILI", "Carrera 7 # 63-44"},
                           {"NRTELEFILI", "601 745 2200"},
                           {"NRINSJUREMPR", "900.123.456-7"},
                           {"CDPREFINTGCOL", "SETT"},
                           {"DSGRANCONTRIB", "RES. 012635"},
                           {"DSAUTORETENT", "RES. 000547"},
                           {"DSENDWEBEMPR", "www.sabordelaplaza.co"},
                           {"DSEMAILEMPRESA", "caja@sabordelaplaza.co"},
                           {"DSRESOLINTGCOL", "18764000001234"},
                           {"NRCUPINIINTGCOL", "1"},
                           {"NRCUPFININTGCOL", "50000"},
                           {"DSOBSCUPFIS", "Gracias por su visita"},
                           {"CDOPERADORLOGIN", "0009"},
                           {"NMOPERADORLOGIN", "Laura Gómez"}});
}
// Printer 1 serves cash sales only, printer 2 credit sales.
json peru() {
  return merged(brasil(), {{"IDPAISINTEGRA", "02"},
                           {"IDTPVENDIMPNF1", "A"},
                           {"IDTPVENDIMPNF2", "C"},
                           {"NMRAZSOCEMPR", "Sabor de la Plaza S.A.C."},
                           {"NRINSJUREMPR", "00000000020512345678"},
                           {"DSENDEFILI", "Av. Larco 1150, Miraflores"},
                           {"NMFILIAL", "Miraflores"},
                           {"NRSERIEECF", "FFCF123456"},
                           {"DSOBSCUPFIS", "Gracias por su preferencia"}});
}
json mexico() {
  return merged(peru(), {{"IDPAISINTEGRA", "03"},
                         {"IDTPVENDIMPNF1", "T"},
                         {"IDIMPPEDPROD", "S"},
                         {"NMRAZSOCEMPR", "Sabor de la Plaza S.A. de C.V."},
                         {"NRINSJUREMPR", "000000000SPL180512AB3"},
                         {"DSENDEFILI", "Av. Presidente Masaryk 120"},
                         {"NMFILIAL", "Polanco"},
                         {"NRSERIEECF", "MX-0042"}});
}
json americano() {
  return merged(brasil(), {{"IDPAISINTEGRA", "04"},
                           {"NMRAZSOCEMPR", "Plaza Flavors LLC"},
                           {"NMRAZSOCFILI", "Plaza Flavors Downtown"},
                           {"NMMUNICIPIOFILI", "Miami"},
                           {"SGESTADOFILI", "FL"},
                           {"NMOPERADORLOGIN", "Ann Smith"},
                           {"DSOBSCUPFIS", "Thank you!"}});
}

json dot_format() {
  return merged(brazilian_format(), {{"decimalSeparator", "."}, {"thousandSeparator", ","}});
}

struct Case {
  std::string name;
  std::string kind;  // "CUPOM", "CUPOM_PEDIDO", "PEDIDO"
  json station;
  json format;
  std::string sql = "";           // after the demo data
  std::string log_contains = "";  // a line the job must log
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      // Two copies; item discount and surcharge, a weighed item truncated to the cent, service charge, comanda
      // discount (10,005: printed rounded, subtracted truncated); the call number of the sale.
      {"brasil_cash", "CUPOM", merged(brasil(), {{"IDIMPCOMPCUPVEN", "2"}}), brazilian_format()},
      // Cover charge and minimum consumption among the totals only; the comanda hides the call number.
      {"brasil_comanda", "CUPOM", brasil(), brazilian_format()},
      // A credit sale: consumer block and number; the call number of the order; the small label of the order's
      // promotion item on its label printer (LPT4).
      {"brasil_credit", "CUPOM_PEDIDO", brasil(), brazilian_format(), "UPDATE PARAVEND SET IDETIQZEBRA = 'P';"},
      {"peru_credit", "CUPOM", peru(), dot_format()},
      {"mexico_cupom_pedido", "CUPOM_PEDIDO", mexico(), dot_format()},
      {"colombia", "CUPOM", colombia(), merged(brazilian_format(), {{"currencyString", "$"}})},
      {"americano", "CUPOM", americano(), merged(dot_format(), {{"shortDate", "mm/dd/yyyy"}})},
      {"colombia_order", "PEDIDO", colombia(), brazilian_format()},
      // A counter sale with observations after the item: no seat lines though the rows have seats.
      {"peru_order", "PEDIDO", peru(), dot_format()},
      {"americano_order", "PEDIDO", americano(), merged(dot_format(), {{"shortDate", "mm/dd/yyyy"}})},
  };
  return all;
}


// Each case on the embedded SQLite backend and again over ODBC: the same bytes.
class TicketEndToEnd : public TicketHost, public ::testing::WithParamInterface<std::tuple<Case, bool>> {};

TEST_P(TicketEndToEnd, PrintersReceiveExactlyTheExpectedTickets) {
  const Case& c = std::get<0>(GetParam());
  over_odbc = std::get<1>(GetParam());
  prepare(c.name, c.station, c.format, c.sql);
  run_case(c.kind, kCases / c.name);

  expect_same_files(kCases / c.name / "expected", folder / "printers", "ticket_e2e_actual", c.name);
  const std::string log = module_log();
  EXPECT_EQ(log.find("Funcao:"), std::string::npos) << log;
  EXPECT_EQ(log.find("_Erro"), std::string::npos) << log;
  if (!c.log_contains.empty()) {
    EXPECT_NE(log.find(c.log_contains), std::string::npos) << log;
  }
}

INSTANTIATE_TEST_SUITE_P(Tickets, TicketEndToEnd, ::testing::Combine(::testing::ValuesIn(cases()), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<TicketEndToEnd::ParamType>& info) {
                           return std::get<0>(info.param).name + (std::get<1>(info.param) ? "_over_odbc" : "");
                         });

// A ticket or an order that fails is logged under its routine's name, prints nothing and leaves the job lock
// free: once the fault is gone, the next call of the same routine, straight through its export on this
// thread, prints. A station without a printer for the ticket prints nothing and logs no failure.
TEST_F(TicketHost, FailuresAreLoggedUnderTheRoutineAndTheNextCallPrints) {
  enum class Fault { BadBill, BadOrder, NotAPacket, NoDatabase, PortFails, NoPrinter };
  struct FaultCase {
    const char* name;
    Fault fault;
    const char* kind;
    json station;
    json format;
    const char* good;     // the case folder with the good packets
    const char* routine;  // its export, called afterwards
    const char* logged;   // what the failing job logs; "" for nothing
  };
  const json no_printer = merged(mexico(), {{"CDPORTIMPNF1", ""}, {"CDPORTIMPNF2", ""}});
  const std::vector<FaultCase> cases = {
      {"bill", Fault::BadBill, "CUPOM", peru(), dot_format(), "peru_credit", "Cli_imp00000_ImpCupom_Peru",
       "- Imp00000 - Funcao:ImpCupom_Peru"},
      {"order", Fault::BadOrder, "PEDIDO", peru(), dot_format(), "peru_order", "Cli_imp00000_ImpPedido_Peru",
       "- Imp00000 - Funcao:ImpPedido_Peru"},
      {"brazilian bill", Fault::NotAPacket, "CUPOM", brasil(), brazilian_format(), "brasil_cash",
       "Cli_imp00000_ImpCupom_Brasil", "- Imp00000 - Funcao:ImpCupom_Brasil"},
      // A sale job looks for the sale's cash movements first: without a database the job itself fails (under
      // the job's name); the ticket called directly fails under its own.
      {"database", Fault::NoDatabase, "", colombia(), brazilian_format(), "colombia", "Cli_imp00000_ImpCupom_Colombia",
       "- Imp00000 - Funcao:ImpCupom_Colombia"},
      {"database, order", Fault::NoDatabase, "PEDIDO", colombia(), brazilian_format(), "colombia_order",
       "Cli_imp00000_ImpPedido_Colombia", "- Imp00000 - Funcao:ImpPedido_Colombia"},
      {"port", Fault::PortFails, "CUPOM", americano(), dot_format(), "americano", "Cli_imp00000_ImpCupom_Americano",
       "Impressão não enviada à porta LPT1 - Imp00000 - Funcao:ImpCupom_Americano"},
      {"colombian order port", Fault::PortFails, "PEDIDO", colombia(), brazilian_format(), "colombia_order",
       "Cli_imp00000_ImpPedido_Colombia", "Impressão não enviada à porta LPT1 - Imp00000 - Funcao:ImpPedido_Colombia"},
      {"no printer", Fault::NoPrinter, "CUPOM", no_printer, dot_format(), "mexico_cupom_pedido",
       "Cli_imp00000_ImpCupom_Mexico", ""},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    const json ports = c.fault == Fault::PortFails ? json{{"LPT1", "printers/gone/LPT1.prn"}} : json::object();
    prepare(c.name, c.station, c.format, "", ports);
    if (c.fault == Fault::NoDatabase) fs::remove(folder / "Dados" / "imp.db");
    const fs::path good = kCases / c.good;
    const imp_variant pedido = packet_of(good / "pedido.json"), conta = packet_of(good / "conta.json"),
                      params = packet_of(good / "params.json");
    const imp_variant bill = c.fault == Fault::BadBill      ? packet("{not json")
                             : c.fault == Fault::NotAPacket ? text("MESA 12")
                                                            : conta;
    if (*c.kind)
      run_job(c.kind, c.fault == Fault::BadOrder ? packet("[1, 2") : pedido, bill, params);
    else
      call(c.routine, pedido, bill, params);

    const std::string log = module_log();
    if (*c.logged) {
      EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    } else {
      EXPECT_EQ(log.find("Funcao:"), std::string::npos) << log;
    }
    if (c.fault == Fault::PortFails)
      EXPECT_FALSE(fs::exists(folder / "printers" / "gone"));  // the order's other port still prints
    else
      EXPECT_EQ(printed(), "");

    // The fault mended, the routine called directly prints (the lock is free, the module works on).
    if (c.fault == Fault::NoDatabase) create_demo_db(folder / "Dados" / "imp.db");
    if (c.fault == Fault::PortFails) write_config(c.station, c.format, json::object());
    call(c.routine, pedido, conta, params);
    EXPECT_EQ(printed().empty(), c.fault == Fault::NoPrinter);
  }
}

// The order headers and the fraction routine through their exports: the header of each layout for a counter
// and a table sale, data texts printed without their control characters.
TEST_F(TicketHost, OrderHeadersAndFractionsThroughTheirExports) {
  prepare("headers", brasil(), brazilian_format(), "");
  using HeaderFn = char* (*)(const char*, const char*, const char*, const char*, const char*, const char*, const char*,
                             const char*, const char*, int32_t);
  const std::string table =
      "------------------------------\n"
      "            ORDER             \n"
      "  DATE  09/12/2026 12:30:00   \n"
      "------------------------------\n"
      "WAITER......: 0001 - John\n"
      "TICKET ORDER: TABLE 12\n"
      "TABLE.......: 12\n"
      "LOUNGE......: Varanda X\n"
      "------------------------------\n"
      "     ORDER NUMBER  000090     \n"
      "------------------------------\n";
  const std::string counter =
      "--------------------\r\n"
      "       PEDIDO       \r\n"
      "FECHA  09/12/2026 12:30:00\r\n"
      "--------------------\r\n"
      " NR.PEDIDO  000112  \r\n"
      "--------------------\r\n";
  struct Case {
    const char* entry;
    const char* kind;
    const char* lineEnd;
    int32_t columns;
    std::string header;
  };
  const Case cases[] = {
      {"Cli_imp00000_Cabecalho_Pedido_Americano", "M", "\n", 30, table},
      {"Cli_imp00000_Cabecalho_Pedido_Colombia", "B", "\r\n", 20, counter},
      {"Cli_imp00000_Cabecalho_Pedido_Peru", "B", "\r\n", 20, counter},
      {"Cli_imp00000_Cabecalho_Pedido_Mexico", "B", "\r\n", 20, counter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const std::string senha = c.kind == std::string("B") ? "000112" : "000090";
    EXPECT_EQ(take_text(lib.fn<HeaderFn>(c.entry)("A", c.kind, "0001", "John", "Varanda\x1bX", "TABLE 12", "12",
                                                  senha.c_str(), c.lineEnd, c.columns)),
              c.header);
  }
  // A width beyond a byte is the widest line.
  const std::string wide =
      take_text(lib.fn<HeaderFn>("Cli_imp00000_Cabecalho_Pedido_Peru")("", "B", "", "", "", "", "", "1", "\n", 1000));
  EXPECT_EQ(wide.substr(0, wide.find('\n')), std::string(255, '-'));

  using FractionFn = char* (*)(double);
  for (const auto& [quantity, text] : {std::pair{0.5, "1/2"}, std::pair{0.75, "3/4"}, std::pair{1.5, "1,5"}})
    EXPECT_EQ(take_text(lib.fn<FractionFn>("Cli_imp00000_TrdmImpressoras_ConvertFracionario")(quantity)), text);
}

}  // namespace
}  // namespace imp::test
