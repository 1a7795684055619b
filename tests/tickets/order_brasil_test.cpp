// The Brazilian order ticket composed against the demo restaurant: the tickets an order produces, in order,
// each shown readably (control bytes as <ESC> markers).
#include "tickets/order_brasil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/consiste.h"
#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "platform/cp1252.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "support/demo_db.h"
#include "support/test_support.h"

namespace imp {
namespace {

using Json = nlohmann::ordered_json;

// Control bytes as markers, the rest as UTF-8.
std::string show(const std::string& cp) {
  std::string out;
  for (char ch : cp) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case 0x1B: out += "<ESC>"; break;
      case 0x1D: out += "<GS>"; break;
      case 0x0E: out += "<SO>"; break;
      case 0x10: out += "<DLE>"; break;
      case 0x00: out += "<NUL>"; break;
      default:
        if (c < 0x20 && c != '\n')
          out += "<" + std::to_string(c) + ">";
        else
          out += cp1252::to_utf8(std::string(1, ch));
    }
  }
  return out;
}

struct Sent {
  std::string model, port, text, share;
};

// An order row of the demo table order, with `fields` replacing or adding columns.
Json item(Json fields) {
  Json row = {{"NRCOMANDA", "0012"},
              {"NRMESA", "12"},
              {"CDVENDEDOR", "0003"},
              {"NMVENDEDOR", "Zé"},
              {"NRLUGARMESA", "01"},
              {"SENHACUPOM", "042"},
              {"DSCOMANDA", "MESA 12"},
              {"IDPROMOCAO", ""},
              {"IDIMPRODUVEZ", "N"},
              {"CDOPERADOR", "0007"},
              {"NMOPERADOR", "Ana"},
              {"CDPORIMPPROD", "LPT1"},
              {"IDMODEIMPRES", "4"},
              {"QTPRODCOMVEN", 1},
              {"CDARVPROD", "02.01.001"},
              {"CDPRODUTO", "2001"},
              {"NMPRODUTO", "Picanha"},
              {"NRSEQPRODCOM", ""},
              {"NRSEQ", ""},
              {"NOMEPRODPAI", ""},
              {"CDPRODPROMOCAO", ""}};
  for (auto it = fields.begin(); it != fields.end(); ++it) row[it.key()] = it.value();
  return row;
}

const char* type_of(const std::string& field) {
  if (field == "NRSEQITEM") return "integer";
  if (field.rfind("QT", 0) == 0 || field.rfind("VR", 0) == 0) return "float";
  return "string";
}

// A data packet of `rows`, with a column for every field any row names.
Variant packet(const std::vector<Json>& rows) {
  Json fields = Json::array();
  std::vector<std::string> seen;
  for (const auto& r : rows)
    for (auto it = r.begin(); it != r.end(); ++it)
      if (std::find(seen.begin(), seen.end(), it.key()) == seen.end()) {
        seen.push_back(it.key());
        fields.push_back({{"name", it.key()}, {"type", type_of(it.key())}});
      }
  Json p = {{"fields", fields}, {"rows", rows}};
  return Variant::bytes(p.dump());
}

Variant parameters(const char* tipoVenda, const char* posObs = "D", Json extra = Json::object()) {
  Json row = {{"TIPOVENDA", tipoVenda}, {"NRSEQVENDA", "0000001042"}, {"STIMPPOSOBS", posObs}};
  for (auto it = extra.begin(); it != extra.end(); ++it) row[it.key()] = it.value();
  return packet({row});
}

class OrderBrasil : public ::testing::Test {
 protected:
  void SetUp() override {
    hostdir::set(dir.str());
    host::install(nullptr);
    setenv("IMP_NOW", "2026-12-09T12:30:00", 1);
    setenv("IMP_PAUSE_SCALE", "0", 1);
    globals::stIdImpPuxAntPed.clear();
    globals::stIDUTILFONTEXP.clear();
    globals::boFimPedidoZebra = false;
    globals::boReimpressaoPedido = false;
    globals::boUtilizaDLL = false;
    host("{}");
    database("");
  }
  void TearDown() override {
    FreeDataModule();
    hostdir::set("");
    unsetenv("IMP_NOW");
    unsetenv("IMP_PAUSE_SCALE");
  }
  // imphost.json with the station's parameters plus `extra` ones; the printers of the tests print 32 columns.
  void host(const std::string& extra) {
    Json params = {{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"CDCAIXA", "001"}, {"IDTIPOIMPNF1", "13"}};
    Json more = Json::parse(extra);
    for (auto it = more.begin(); it != more.end(); ++it) params[it.key()] = it.value();
    Json cfg = {{"parameters", params},
                {"connection", "sqlite:Dados/imp.db"},
                {"ports",
                 {{"COM1", "printers/COM1.prn"},
                  {"COM2", "printers/COM2.prn"},
                  {"LPT3", "printers/LPT3.prn"},
                  {"ZEBRA01", "printers/ZEBRA01.prn"}}},
                {"printerProperties",
                 {{"4", {{"columns", 32}, {"lineFeed", "\n"}, {"closing", "<cut>"}}},
                  {"16", {{"columns", 32}, {"lineFeed", "\n"}, {"closing", ""}}},
                  {"41", {{"columns", 32}, {"lineFeed", "\n"}, {"closing", ""}}},
                  {"99", {{"columns", 32}, {"lineFeed", "\n"}, {"closing", ""}}}}}};
    test::write_file(dir.path() / "imphost.json", cfg.dump());
  }
  // The demo database without the expanded font on till 001, then `extra_sql`.
  void database(const std::string& extra_sql) {
    test::create_demo_db(dir.path() / "Dados" / "imp.db", "UPDATE CAIXA SET IDUTILFONTEXP = 'N';" + extra_sql);
  }
  std::vector<Sent> print(const Variant& order, const Variant& params, bool puxa = false,
                          OrderRun run = OrderRun::Main) {
    std::vector<Sent> sent;
    ImpPedido_Brasil(order, params, puxa, run, [&](const TicketSend& t) {
      EXPECT_EQ(t.noExtraFeed, "N");
      sent.push_back({t.model, t.port, show(t.text), t.share});
    });
    EXPECT_EQ(rdmImpressoras(), nullptr) << "the data module is freed after every order";
    return sent;
  }
  std::string log() { return test::read_file(log::daily_log_path()); }  // UTF-8

  test::TempDir dir;
};

std::string sp(int n) {
  return std::string(static_cast<std::size_t>(n), ' ');
}
const std::string kLine(32, '-');
const std::string kDashes = kLine + "\n";

std::string trim(std::string line) {
  const auto first = line.find_first_not_of(' ');
  return first == std::string::npos ? "" : line.substr(first, line.find_last_not_of(' ') - first + 1);
}

// The lines of a shown ticket without their surrounding blanks and bold switches.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = trim(text.substr(start, end - start));
    for (const char* bold : {"<ESC>F", "<ESC>E"}) {
      if (line.rfind(bold, 0) == 0) line = trim(line.substr(6));
      if (line.size() >= 6 && line.compare(line.size() - 6, 6, bold) == 0) line = trim(line.substr(0, line.size() - 6));
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// `text` holds the `expected` lines in this order (other lines may come between them).
::testing::AssertionResult HasLines(const std::string& text, const std::vector<std::string>& expected) {
  const auto lines = lines_of(text);
  std::size_t at = 0;
  for (const auto& e : expected) {
    while (at < lines.size() && lines[at] != e) ++at;
    if (at == lines.size()) return ::testing::AssertionFailure() << "no line \"" << e << "\" (in order) in:\n" << text;
    ++at;
  }
  return ::testing::AssertionSuccess();
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> ports(const std::vector<Sent>& sent) {
  std::vector<std::string> p;
  for (const auto& s : sent) p.push_back(s.port);
  return p;
}

TEST(ConvertFracionario, QuantitiesBelowOneAsFractions) {
  set_current_format(FormatSettings{});
  struct Case {
    double quantity;
    const char* printed;
  };
  const std::vector<Case> cases = {{0.5, "1/2"},   {0.25, "1/4"},  {0.75, "3/4"},  {0.2, "1/5"},   {0.1, "1/10"},
                                   {0.33, "1/3"},  {0.333, "1/3"}, {0.67, "2/3"},  {0.05, "1/20"}, {0.999, "1"},
                                   {0.995, "1"},   {1, "1"},       {2, "2"},       {1.5, "1,5"},   {2.5, "2,5"},
                                   {0.29, "0,29"}, {0.99, "0,99"}, {0.01, "0,01"}, {0, "0"}};
  for (const auto& c : cases) EXPECT_EQ(ConvertFracionario(c.quantity), c.printed) << c.quantity;
}

TEST_F(OrderBrasil, HeaderByKindOfSale) {
  database(
      "INSERT INTO COMANDAVEN (CDFILIAL, CDLOJA, DSCOMANDA, IDORGCMDVENDA, IDRETBALLOJA, NRCOMANDA, NRVENDAREST) "
      "VALUES ('0001', '01', 'DLV_9', 'DLV_XYZ', 'C', '0032', '0000000092');");
  struct Case {
    const char* name;
    const char* kind;
    const char* retBalLoja;
    bool puxa, reprint;
    const char* vendedor;
    const char* consumidor;  // UTF-8
    const char* comanda;
    const char* dsComanda;
    std::vector<std::string> lines;
  };
  const std::string date = "DATA 09/12/2026 12:30:00";
  const std::vector<Case> cases = {
      {"counter",
       "B",
       "",
       false,
       false,
       "0003",
       "José da Silva",
       "0012",
       "MESA 12",
       {"PEDIDO", date, kLine, "VENDA BALCAO", "Operador: Ana", "Consumidor: JOSÉ DA SILVA", "VENDEDOR/GARCOM..: Zé",
        kLine, ""}},
      {"reprint",
       "B",
       "",
       false,
       true,
       "",
       "",
       "0012",
       "MESA 12",
       {"REIMPRESSÃO DE PEDIDO", date, kLine, "VENDA BALCAO", "Operador: Ana", kLine, ""}},
      {"puxa of a reprint, comanda",
       "C",
       "",
       true,
       true,
       "0003",
       "",
       "0012",
       "MESA 12",
       {"RELATORIO DO PUXA", date, kLine, "VENDA COMANDA", "Operador: Ana", "COMANDA.: MESA 12", "MESA....: 12",
        "VENDEDOR/GARCOM..: Zé", kLine, ""}},
      {"table",
       "M",
       "",
       false,
       false,
       "0003",
       "",
       "0012",
       "MESA 12",
       {"PEDIDO", date, kLine, "VENDA MESA 12", "Operador: Ana", "AMBIENTE: Varanda", kLine, "VENDEDOR/GARCOM..: Zé",
        kLine, ""}},
      {"delivery from iFood",
       "D",
       "N",
       false,
       false,
       "",
       "",
       "0031",
       "DLV_4471",
       {"PEDIDO", date, kLine, "VENDA DELIVERY", "", "Operador: Ana", "PEDIDO..: 4471", "Origem: iFood",
        "Local de consumo: Para entregar", "Entrega: 13:30", kLine, ""}},
      {"delivery to go, unknown origin",
       "D",
       "S",
       false,
       false,
       "",
       "",
       "0032",
       "DLV_9",
       {"PEDIDO", date, kLine, "VENDA DELIVERY - TO GO", "RETIRAR NA LOJA", "", "Operador: Ana", "PEDIDO..: 9",
        "Origem:", "Local de consumo: Comer no local", kLine, ""}},
      {"other kind",
       "X",
       "",
       false,
       false,
       "",
       "",
       "0012",
       "MESA 12",
       {"PEDIDO", date, kLine, "Operador: Ana", kLine, ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    globals::boReimpressaoPedido = c.reprint;
    EnsureDataModule().cds("cdsParametros").LoadFromPacket(parameters(c.kind).bytes_value());
    const std::string header = Cabecalho_Pedido_Brasil(
        "0001", "01", "D", c.kind, c.vendedor, "Zé"_cp, "Varanda", c.dsComanda, c.comanda, "12", "042", "\n",
        cp1252::from_utf8_lossy(c.consumidor), 32, c.puxa, c.retBalLoja, "0007", "Ana");
    EXPECT_EQ(lines_of(show(header)), c.lines);
    FreeDataModule();
  }
}

// A table order on the kitchen and the bar: one ticket per printer, the higher port first, each with its own
// header; observations after the item.
TEST_F(OrderBrasil, TwoPrintersEachWithItsHeaderHigherPortFirst) {
  auto sent = print(
      packet(
          {item({{"DSOBSERVACAO", "SEM CEBOLA;BEM PASSADO;"}, {"QTPRODCOMVEN", 2}}),
           item(
               {{"CDPORIMPPROD", "LPT2"}, {"NMPRODUTO", "Chope"}, {"CDARVPROD", "04.02.002"}, {"QTPRODCOMVEN", 0.5}})}),
      parameters("M"));
  const std::string header = "<ESC>F " + sp(13) + "PEDIDO" + sp(13) + "\n" + sp(4) + "DATA 09/12/2026 12:30:00" +
                             sp(4) + "\n" + kDashes + "VENDA MESA 12\nOperador: Ana\nAMBIENTE: Varanda\n" + kDashes +
                             "VENDEDOR/GARCOM..: Zé\n" + kDashes + " <ESC>E";
  const std::string closing = kDashes + sp(7) + "<ESC>F SENHA/PAGER 042" + sp(7) + "\n\n" + kDashes + "\n\n";
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].model, "4");
  EXPECT_EQ(sent[0].port, "LPT2");
  EXPECT_EQ(sent[0].share, "");
  EXPECT_EQ(sent[0].text, header + "\nPOSICAO 01\n---> 1/2  Chope\n" + closing);
  EXPECT_EQ(sent[1].port, "LPT1");
  EXPECT_EQ(sent[1].text,
            header + "\nPOSICAO 01\n---> 2  Picanha\n    * 2 SEM CEBOLA\n    * 2 BEM PASSADO\n" + closing);
  EXPECT_TRUE(HasLines(
      log(), {"09/12/2026 12:30:00 - INICIO  ImpPedido_Brasil", "09/12/2026 12:30:00 - FINAL  ImpPedido_Brasil"}));
}

// Seats are sorted inside each printer unless the store controls them; with the cut per seat each change of
// seat gives a ticket.
TEST_F(OrderBrasil, SeatsSortedOrCutPerSeat) {
  const auto order = packet({item({{"NRLUGARMESA", "01"}, {"NRSEQITEM", 3}, {"NMPRODUTO", "Picanha"}}),
                             item({{"NRLUGARMESA", "02"}, {"NRSEQITEM", 2}, {"NMPRODUTO", "Frango"}}),
                             item({{"NRLUGARMESA", "01"}, {"NRSEQITEM", 1}, {"NMPRODUTO", "Moqueca"}})});
  struct Case {
    const char* seatControl;
    const char* cutPerSeat;
    std::vector<std::vector<std::string>> tickets;
    int seatLines;  // "POSICAO " lines in all
  };
  const std::vector<Case> cases = {
      {"N",
       "S",
       {{"POSICAO 02", "---> 1  Frango", "POSICAO 01", "---> 1  Picanha", "---> 1  Moqueca", "SENHA/PAGER 042"}},
       2},
      {"S",
       "N",
       {{"POSICAO 01", "---> 1  Picanha", "POSICAO 02", "---> 1  Frango", "POSICAO 01", "---> 1  Moqueca"}},
       3},
      {"S",
       "S",
       {{"POSICAO 01", "---> 1  Picanha", "SENHA/PAGER 042"},
        {"POSICAO 02", "---> 1  Frango", "SENHA/PAGER 042"},
        {"POSICAO 01", "---> 1  Moqueca", "SENHA/PAGER 042"}},
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("IDLUGARMESA ") + c.seatControl + ", IDUTLCORTEPED " + c.cutPerSeat);
    database(std::string("UPDATE LOJA SET IDLUGARMESA = '") + c.seatControl + "', IDUTLCORTEPED = '" + c.cutPerSeat +
             "';");
    auto sent = print(order, parameters("M"));
    ASSERT_EQ(sent.size(), c.tickets.size());
    int seatLines = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) {
      EXPECT_TRUE(HasLines(sent[i].text, c.tickets[i]));
      for (const auto& line : lines_of(sent[i].text)) seatLines += line.rfind("POSICAO ", 0) == 0;
    }
    EXPECT_EQ(seatLines, c.seatLines);
  }
}

// An item printed one ticket per unit: what came before goes out first, then one ticket per whole unit; a
// promotion caption goes with its item.
TEST_F(OrderBrasil, OneTicketPerUnit) {
  auto sent = print(packet({item({{"NRSEQITEM", 5}, {"NMPRODUTO", "Picanha"}}),
                            item({{"NRSEQITEM", 4},
                                  {"NMPRODUTO", "Petit gâteau"},
                                  {"CDARVPROD", "03.01.002"},
                                  {"IDIMPRODUVEZ", "S"},
                                  {"QTPRODCOMVEN", 2.5},
                                  {"CDPRODPROMOCAO", "3003"},
                                  {"IDPROMOCAO", "S"},
                                  {"NRSEQ", "001"}}),
                            item({{"NRSEQITEM", 3},
                                  {"NMPRODUTO", "Pudim"},
                                  {"CDARVPROD", "03.01.001"},
                                  {"IDIMPRODUVEZ", "S"},
                                  {"QTPRODCOMVEN", 3}})}),
                    parameters("M"));
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_TRUE(HasLines(sent[0].text, {"POSICAO 01", "---> 1  Picanha", "SENHA/PAGER 042"}));
  EXPECT_FALSE(has(sent[0].text, "Açaí")) << "the promotion caption belongs to the next item";
  for (int i : {1, 2}) {
    EXPECT_EQ(sent[i].text, sent[1].text);
    EXPECT_TRUE(HasLines(sent[i].text, {"VENDEDOR/GARCOM..: Zé", "Açaí na tigela", kLine, "POSICAO 01",
                                        "---> 1  Petit gâteau", kLine, "SENHA/PAGER 042"}));
  }
  for (int i : {3, 4, 5}) {
    EXPECT_EQ(sent[i].text, sent[3].text);
    EXPECT_TRUE(HasLines(sent[i].text, {"POSICAO 01", "---> 1  Pudim", "SENHA/PAGER 042"}));
    EXPECT_FALSE(has(sent[i].text, "Açaí"));
  }

  // Unit tickets on two printers: no ticket without an item (a closing block alone, a header alone), and the
  // ticket after a unit ticket starts with its header.
  sent = print(packet({item({{"CDPORIMPPROD", "LPT2"}, {"NMPRODUTO", "Chope"}, {"IDIMPRODUVEZ", "S"}}),
                       item({{"NRSEQPRODCOM", "001"}, {"NMPRODUTO", "Pudim"}, {"IDIMPRODUVEZ", "S"}}), item({})}),
               parameters("M"));
  ASSERT_EQ(ports(sent), (std::vector<std::string>{"LPT2", "LPT1", "LPT1"}));
  EXPECT_TRUE(HasLines(sent[0].text, {"VENDEDOR/GARCOM..: Zé", "---> 1  Chope"}));
  EXPECT_TRUE(HasLines(sent[1].text, {"VENDEDOR/GARCOM..: Zé", "---> 1  Pudim"}));
  EXPECT_TRUE(HasLines(sent[2].text, {"PEDIDO", "VENDEDOR/GARCOM..: Zé", "---> 1  Picanha"}));
}

// Weight products print three decimals (so do products the database does not know); fractions; the
// observations before the item, the last one without ";" and the take-away line.
TEST_F(OrderBrasil, QuantitiesAndObservations) {
  const auto order = packet(
      {item({{"NRSEQITEM", 4},
             {"NMPRODUTO", "Buffet por quilo"},
             {"CDARVPROD", "02.03.001"},
             {"QTPRODCOMVEN", 0.456},
             {"IDORIGEMVENDA", ""}}),
       item({{"NRSEQITEM", 3}, {"NMPRODUTO", "Produto avulso"}, {"CDARVPROD", "99.99.999"}, {"QTPRODCOMVEN", 2}}),
       item({{"NRSEQITEM", 2},
             {"NMPRODUTO", "Chope"},
             {"CDARVPROD", "04.02.002"},
             {"QTPRODCOMVEN", 0.33},
             {"DSOBSERVACAO", "SEM ESPUMA;;GELADO"},
             {"IDORIGEMVENDA", "TGO01"}}),
       item({{"NRSEQITEM", 1}, {"QTPRODCOMVEN", 1.5}})});
  auto sent = print(order, parameters("M", "A"));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(HasLines(sent[0].text, {"---> 0,456  Buffet por quilo", "---> 2,000  Produto avulso", "* PARA VIAGEM",
                                      "* 1/3 SEM ESPUMA", "* GELADO", "---> 1/3  Chope", "---> 1,5  Picanha"}));
  EXPECT_TRUE(has(sent[0].text, "\n    * 1/3 SEM ESPUMA\n   * GELADO\n"));
  EXPECT_EQ(sent[0].text.find("PARA VIAGEM"), sent[0].text.rfind("PARA VIAGEM")) << "for the take-away item only";

  sent = print(order, parameters("M", "X"));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_FALSE(has(sent[0].text, "SEM ESPUMA")) << "observations are not printed";
}

// A combo prints its caption, the parent observations and its components centred, with the button caption and
// the combo observations of the host's combo tables; a promotion keeps the items of its own printer only.
TEST_F(OrderBrasil, CombosAndPromotions) {
  test::write_file(dir.path() / "Dados" / "Cadastros" / "ProdutoCombinado.cds",
                   R"({"fields": [{"name": "CDARVPROD", "type": "string"}, {"name": "IDTIPOPROD", "type": "string"}],
                       "rows": [{"CDARVPROD": "02.02.001", "IDTIPOPROD": "1"}]})");
  test::write_file(dir.path() / "Dados" / "Cadastros" / "MenuCombinado.cds",
                   R"({"fields": [{"name": "NRBUTTON", "type": "string"}, {"name": "DSBUTTON", "type": "string"}],
                       "rows": [{"NRBUTTON": "01", "DSBUTTON": "ACOMPANHAMENTO"}]})");
  const Json combo = {
      {"NOMEPRODPAI", "Combo Executivo"}, {"CDPRODPROMOCAO", "9100"}, {"NRSEQPRODCOM", "001"}, {"IDPROMOCAO", "N"},
      {"DSOBSPRODPAI", "SEM SAL;"},       {"QTPRODCOMBO", 2}};
  auto component = [&](Json fields) {
    Json row = combo;
    for (auto it = fields.begin(); it != fields.end(); ++it) row[it.key()] = it.value();
    return item(row);
  };
  const auto order = packet({component({{"NRSEQITEM", 3},
                                        {"NMPRODUTO", "Arroz branco"},
                                        {"CDARVPROD", "02.02.001"},
                                        {"CDPRODUTO", "2101"},
                                        {"DSOBSERVACAO", "Obs Comb:Capricha;"}}),
                             component({{"NRSEQITEM", 2}, {"NMPRODUTO", "Feijão tropeiro"}, {"CDPRODUTO", "9100"}}),
                             item({{"NRSEQITEM", 1}})});
  auto sent = print(order, parameters("M"));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(
      HasLines(sent[0].text, {"POSICAO 01", kLine, "** Combo Executivo **", "* SEM SAL", kLine, "ACOMPANHAMENTO",
                              "* Capricha", "Arroz branco", "Feijão tropeiro", kLine, "", "---> 1  Picanha"}));
  EXPECT_FALSE(has(sent[0].text, "ObsComb")) << sent[0].text;

  // Quantities in the captions; a combo without combo observations sent at a change of printer.
  database("UPDATE PARAVEND SET IDIMPQTCOMBO = 'S';");
  sent = print(packet({component({{"CDPORIMPPROD", "LPT2"},
                                  {"NMPRODUTO", "Arroz branco"},
                                  {"CDARVPROD", "02.02.001"},
                                  {"CDPRODUTO", "2101"}}),
                       item({})}),
               parameters("M"));
  ASSERT_EQ(ports(sent), (std::vector<std::string>{"LPT2", "LPT1"}));
  EXPECT_TRUE(HasLines(sent[0].text, {"2 - Combo Executivo", "ACOMPANHAMENTO", "1 - Arroz branco"}));
  EXPECT_FALSE(has(sent[0].text, "ObsComb")) << sent[0].text;

  // A promotion on the bar whose item was launched on the kitchen printer: each prints on its own printer.
  database("");
  sent = print(packet({item({{"CDPORIMPPROD", "LPT2"},
                             {"NOMEPRODPAI", "Happy Hour"},
                             {"CDPRODPROMOCAO", "9200"},
                             {"IDPROMOCAO", "S"},
                             {"NRSEQ", "001"},
                             {"NMPRODUTO", "Chope"},
                             {"QTPRODCOMVEN", 2},
                             {"NRSEQPRODPAI", ""},
                             {"IDOBSERVACAO", "N"}}),
                       item({{"NRSEQPRODPAI", "001"},
                             {"IDOBSERVACAO", "N"},
                             {"NMPRODUTO", "Batata frita"},
                             {"CDARVPROD", "02.02.003"}})}),
               parameters("M"));
  ASSERT_EQ(ports(sent), (std::vector<std::string>{"LPT2", "LPT1"}));
  EXPECT_TRUE(HasLines(sent[0].text, {"Happy Hour", kLine, "---> 2  Chope", kLine}));
  EXPECT_FALSE(has(sent[0].text, "Batata")) << "an item of another printer stays on its printer";
  EXPECT_TRUE(HasLines(sent[1].text, {"---> 1  Batata frita"}));
}

// The expediting copy: after the order on its own printer, in the order the items were launched, titled as
// such; or before the order, as a call of its own.
TEST_F(OrderBrasil, PuxaReportAfterOrBeforeTheOrder) {
  const auto order = packet({item({{"NRSEQITEM", 1}, {"PORTAPUXA", "LPT9"}, {"MODELOPUXA", "4"}}),
                             item({{"NRSEQITEM", 2},
                                   {"CDPORIMPPROD", "LPT2"},
                                   {"NMPRODUTO", "Chope"},
                                   {"CDARVPROD", "04.02.002"},
                                   {"PORTAPUXA", "LPT9"},
                                   {"MODELOPUXA", "4"}}),
                             item({{"NRSEQITEM", 3}, {"NMPRODUTO", "Pudim"}, {"CDARVPROD", "03.01.001"}})});
  globals::stIdImpPuxAntPed.set("N");
  auto sent = print(order, parameters("M"));
  ASSERT_EQ(ports(sent), (std::vector<std::string>{"LPT2", "LPT1", "LPT9"}));
  EXPECT_TRUE(HasLines(sent[1].text, {"PEDIDO", "---> 1  Pudim", "---> 1  Picanha"}));
  EXPECT_TRUE(HasLines(sent[2].text, {"RELATORIO DO PUXA", "---> 1  Picanha", "---> 1  Chope"}));
  EXPECT_FALSE(has(sent[2].text, "Pudim")) << "an item without an expediting printer";
  EXPECT_FALSE(globals::boFimPedidoZebra.load());
  EXPECT_EQ(globals::stIDUTILFONTEXP.get(), "N");
  const std::string t = "09/12/2026 12:30:00 - ";
  EXPECT_TRUE(HasLines(
      log(),
      {t + "INICIO  ImpPedido_Brasil", t + "Chamada Recursiva", t + "INICIO Chamada Recursiva ImpPedido_Brasil",
       t + "FINAL Chamada Recursiva ImpPedido_Brasil", t + "stIDUTILFONTEXP5: N", t + "FINAL  ImpPedido_Brasil"}));

  // Before the order (the job thread calls the puxa run first): a reprint keeps the puxa title.
  globals::stIdImpPuxAntPed.set("S");
  globals::boReimpressaoPedido = true;
  sent = print(order, parameters("M"), true);
  ASSERT_EQ(ports(sent), (std::vector<std::string>{"LPT9"}));
  EXPECT_TRUE(HasLines(sent[0].text, {"RELATORIO DO PUXA", "---> 1  Picanha", "---> 1  Chope"}));
  EXPECT_TRUE(has(log(), "INICIO Impressão Puxa - ImpPedido_Brasil"));
  sent = print(order, parameters("M"), false);
  ASSERT_EQ(ports(sent), (std::vector<std::string>{"LPT2", "LPT1"}));
  EXPECT_TRUE(HasLines(sent[0].text, {"REIMPRESSÃO DE PEDIDO"}));
}

// The till's expanded font wraps whole tickets, until a printer outside the list drops it for the rest of the
// order.
TEST_F(OrderBrasil, ExpandedFontUntilAPrinterCannotPrintIt) {
  database("UPDATE CAIXA SET IDUTILFONTEXP = 'S' WHERE CDCAIXA = '001';");
  auto sent = print(packet({item({{"CDPORIMPPROD", "LPT2"}, {"NMPRODUTO", "Chope"}}), item({{"IDMODEIMPRES", "99"}}),
                            item({{"IDMODEIMPRES", "99"}, {"CDPORIMPPROD", "LPT0"}})}),
                    parameters("M"));
  ASSERT_EQ(ports(sent), (std::vector<std::string>{"LPT2", "LPT1", "LPT0"}));
  EXPECT_EQ(sent[0].text.rfind("<ESC>!<DLE><ESC>F ", 0), 0u) << sent[0].text;
  EXPECT_EQ(sent[0].text.substr(sent[0].text.size() - 8), "\n\n<ESC>@");
  for (int i : {1, 2}) EXPECT_FALSE(has(sent[i].text, "<ESC>!")) << sent[i].text;
  EXPECT_TRUE(has(log(), " - stIDUTILFONTEXP2: N\n"));
  EXPECT_EQ(globals::stIDUTILFONTEXP.get(), "N");
}

// The call number on the store's fourth printer prints first, once per order: not in the puxa run, not in the
// second production run, and not for an order that has no production printer.
TEST_F(OrderBrasil, PagerTicketOncePerOrder) {
  host(R"({"NRSEQIMPRLOJA4": "4", "IDTIPOIMPNF4": "16", "CDPORTIMPNF4": "COM4"})");
  const auto order = packet({item({{"PORTAPUXA", "LPT9"}, {"MODELOPUXA", "4"}})});
  auto sent = print(order, parameters("M"));
  ASSERT_EQ(ports(sent), (std::vector<std::string>{"COM4", "LPT1"}));
  EXPECT_EQ(sent[0].model, "16");
  EXPECT_EQ(sent[0].share, "");
  EXPECT_EQ(sent[0].text, "<ESC>E<SO>SENHA/PAGER 042\n\n<SO>09/12/2026 12:30:00\n\n");

  globals::stIdImpPuxAntPed.set("S");
  EXPECT_EQ(ports(print(order, parameters("M"), true)), (std::vector<std::string>{"LPT9"}));
  EXPECT_EQ(ports(print(order, parameters("M"), false, OrderRun::SecondPrinter)), (std::vector<std::string>{"LPT1"}));
  EXPECT_TRUE(print(packet({item({{"CDPORIMPPROD", ""}}), item({{"IDMODEIMPRES", ""}})}), parameters("M")).empty());

  // With the expanded font and a first printer of that family the pager prints wide.
  database("UPDATE CAIXA SET IDUTILFONTEXP = 'S';");
  sent = print(packet({item({{"IDMODEIMPRES", "16"}})}), parameters("M"), false);
  ASSERT_EQ(ports(sent), (std::vector<std::string>{"COM4", "LPT1"}));
  EXPECT_EQ(sent[0].text, "<GS>!<DLE><ESC>E<SO>SENHA/PAGER 042\n\n<SO>09/12/2026 12:30:00<GS>!<NUL>\n\n");
}

// The observation products cancelled from a counter sale close the last ticket, or come on a ticket of their
// own when the last item went out on its own ticket.
TEST_F(OrderBrasil, CancelledObservationProducts) {
  database(
      "INSERT INTO OBSITEMVENDA (CDCAIXA, CDFILIAL, CDGRPOCOR, CDOCORR, NRSEQVENDA) "
      "VALUES ('001', '0001', '02', '001', '0000001042');"
      "INSERT INTO ITVENDACAN (CDCAIXA, CDFILIAL, CDPRODUTO, NRSEQITVENDC, NRSEQVENDA, QTPRODVENDC) "
      "VALUES ('001', '0001', '2103', '0001', '0000001042', 0.5);");
  auto sent = print(packet({item({})}), parameters("B"));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(HasLines(sent[0].text, {"VENDA BALCAO", "---> 1  Picanha", kLine, "Cancelados:", "* 1/2  Batata frita",
                                      kLine, "SENHA/PAGER 042"}));

  sent = print(packet({item({{"IDIMPRODUVEZ", "S"}})}), parameters("B"));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_FALSE(has(sent[0].text, "Cancelados"));
  EXPECT_TRUE(HasLines(sent[1].text, {"VENDA BALCAO", "Cancelados:", "* 1/2  Batata frita", "SENHA/PAGER 042"}));
  EXPECT_FALSE(has(sent[1].text, "Picanha"));
}

// Values with quotes build sound group filters, a packet without the optional columns filters as if they
// were empty, and the loop over the order always ends.
TEST_F(OrderBrasil, GroupsWithQuotesAndWithoutOptionalColumns) {
  auto sent = print(packet({item({{"NOMEPRODPAI", "Promo D'Avila"},
                                  {"CDPRODPROMOCAO", "X'1"},
                                  {"NRSEQ", "0'1"},
                                  {"IDPROMOCAO", "S"},
                                  {"NMPRODUTO", "Chope"},
                                  {"NRSEQITEM", 2}}),
                            item({{"NOMEPRODPAI", "Combo O'Neil"},
                                  {"CDPRODPROMOCAO", "Y'2"},
                                  {"NRSEQPRODCOM", "0'2"},
                                  {"IDPROMOCAO", "N"},
                                  {"NMPRODUTO", "Arroz"},
                                  {"NRSEQITEM", 1}})}),
                    parameters("M"));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(HasLines(sent[0].text, {"Combo O'Neil", "Arroz", "Promo D'Avila", "---> 1  Chope"}));
}

// Labels print once per order: a previous order's labels never hold back this order's, the puxa run prints
// none, and label rows never print as text tickets.
TEST_F(OrderBrasil, LabelsOncePerOrder) {
  database("UPDATE PARAVEND SET IDETIQZEBRA = 'P'; UPDATE LOJA SET DSENDEZEBRA = 'ZEBRA01';");
  std::filesystem::create_directories(dir.path() / "printers");
  const auto order = packet({item({{"CDPORIMPPROD", "LPT3"},
                                   {"IDMODEIMPRES", "12"},
                                   {"IDPROMOCAO", "S"},
                                   {"NMPRODUTO", "Açaí"},
                                   {"PORTAPUXA", "LPT9"},
                                   {"MODELOPUXA", "12"}}),
                             item({})});
  auto labels = [this](const char* port, const char* start) {
    const std::filesystem::path file = dir.path() / "printers" / port;
    int n = 0;
    if (!std::filesystem::exists(file)) return n;
    const std::string text = test::read_file(file);
    for (std::size_t at = text.find(start); at != std::string::npos; at = text.find(start, at + 1)) ++n;
    return n;
  };
  globals::boFimPedidoZebra = true;  // left by the previous order's puxa run
  auto sent = print(order, parameters("M"));
  EXPECT_EQ(ports(sent), (std::vector<std::string>{"LPT1"}));
  EXPECT_EQ(labels("LPT3.prn", "Q180,001"), 1) << log();
  EXPECT_EQ(labels("ZEBRA01.prn", "^XA"), 2) << "a sale label for each item";

  globals::stIdImpPuxAntPed.set("S");
  EXPECT_TRUE(print(order, parameters("M"), true).empty());
  print(order, parameters("M"), false, OrderRun::SecondPrinter);
  EXPECT_EQ(labels("LPT3.prn", "Q180,001"), 2) << "the second printer's label rows";
  EXPECT_EQ(labels("ZEBRA01.prn", "^XA"), 2) << "sale labels once per order";
}

// A failure is logged and the order goes on as far as it can: what was composed still prints, and so does
// the puxa report; the data module is freed either way.
TEST_F(OrderBrasil, FailuresAreLoggedAndWhatWasComposedPrints) {
  test::write_file(dir.path() / "Dados" / "Cadastros" / "ProdutoCombinado.cds", "not a packet");
  test::write_file(dir.path() / "Dados" / "Cadastros" / "MenuCombinado.cds", "not a packet");
  globals::stIdImpPuxAntPed.set("N");
  auto sent = print(packet({item({{"CDPORIMPPROD", "LPT2"}, {"NMPRODUTO", "Chope"}}),
                            item({{"NRLUGARMESA", "02"}, {"NMPRODUTO", "Frango"}}),
                            item({{"NRSEQPRODCOM", "001"}, {"PORTAPUXA", "LPT9"}, {"MODELOPUXA", "4"}})}),
                    parameters("M"));
  EXPECT_EQ(ports(sent), (std::vector<std::string>{"LPT2", "LPT1", "LPT9"}));
  EXPECT_TRUE(HasLines(sent[0].text, {"---> 1  Chope", "SENHA/PAGER 042"}));
  EXPECT_TRUE(HasLines(sent[1].text, {"POSICAO 02", "---> 1  Frango", "POSICAO 01", "SENHA/PAGER 042"}));
  EXPECT_FALSE(has(sent[1].text, "Picanha"));
  EXPECT_TRUE(has(log(), " - Imp00000 - Funcao:ImpPedido_Brasil\n"));
  EXPECT_TRUE(has(log(), "FINAL  ImpPedido_Brasil"));

  EXPECT_TRUE(print(Variant(), parameters("M")).empty());
  EXPECT_TRUE(has(log(), "pacote de dados ausente - Imp00000 - Funcao:ImpPedido_Brasil"));
}
// Without a sink of its own the order goes through the print path: each ticket reaches its printer's port.
TEST_F(OrderBrasil, TicketsReachTheirPrinters) {
  std::filesystem::create_directories(dir.path() / "printers");
  const auto order = packet({item({{"CDPORIMPPROD", "COM1"}, {"NMPRODUTO", "Filé à parmegiana"}}),
                             item({{"CDPORIMPPROD", "COM2"}, {"NMPRODUTO", "Chope"}})});
  std::vector<TicketSend> composed;
  ImpPedido_Brasil(order, parameters("M"), false, OrderRun::Main, [&](const TicketSend& t) { composed.push_back(t); });
  ASSERT_EQ(composed.size(), 2u);

  ImpPedido_Brasil(order, parameters("M"), false);
  for (const auto& t : composed) {
    SCOPED_TRACE(t.port);
    const std::string printed = test::read_file(dir.path() / "printers" / (t.port + ".prn"));
    EXPECT_NE(printed.find(RemoveAcentos(t.text)), std::string::npos) << show(printed);
  }
  EXPECT_NE(test::read_file(dir.path() / "printers" / "COM1.prn").find("---> 1  File a parmegiana"), std::string::npos);
}

}  // namespace
}  // namespace imp
