// The sale tickets of the United States layout, Peru, Mexico and Colombia. They share one frame: the bill into
// cdsCupom, the sale parameters into cdsParametros, the station's printer for "EMITECUPOM" and the sale type,
// and, when the station has one, the ticket composed and sent once.
#include <algorithm>
#include <cctype>
#include <exception>
#include <functional>

#include "host/consiste.h"
#include "module/captions.h"
#include "module/data_module.h"
#include "platform/clock.h"
#include "platform/rtl.h"
#include "tickets/sale_ticket.h"
#include "tickets/ticket_parts.h"

namespace imp {
namespace {

using tickets::dado;

// What a ticket is composed from.
struct Sale {
  const tickets::Station& station;
  TrdmImpressoras& rdm;
  ClientDataSet& bill;      // cdsCupom
  tickets::RowReader item;  // the current row of the bill
  tickets::RowReader p;     // the sale parameters
  const TMessages& m;       // the country's captions
  const tickets::Printer& printer;
  tickets::TicketText t;
  double now;

  bool credit() const { return p.key("VENDAREALIZADA") == "C"; }
  // The ticket number; a credit sale carries the consumer's code before it.
  std::string number() const {
    return (credit() ? p.text("CDIDCONSUMID") + "-" : std::string()) + p.text("NRNAOFISCAL");
  }
  // The surcharge of the current bill row: the comanda's column when the bill has it, else the item's.
  double surcharge() const {
    return item.has("VRACRCOMANDA") ? item.number("VRACRCOMANDA") : item.number("VRACRCOMVEN");
  }
};

using Compose = std::function<void(Sale&)>;

// `captions` null: the table of the station's country code, as MensagemPadrao reads it.
void print_sale(const char* routine, const TMessages* captions, const Variant& dados2, const Variant& dados4,
                const TicketSink* sink, const Compose& compose) {
  try {
    const tickets::Station station;
    const TMessages& table = captions ? *captions : CaptionTable(station.key("IDPAISINTEGRA"));
    TrdmImpressoras& rdm = EnsureDataModule();
    ClientDataSet& bill = rdm.cds("cdsCupom");
    tickets::load_packet(bill, dados2, "Dados2");
    ClientDataSet& params = rdm.cds("cdsParametros");
    tickets::load_packet(params, dados4, "Dados4");
    const tickets::RowReader p(params);
    const tickets::Printer printer = tickets::choose_printer(station, "EMITECUPOM", p.key("VENDAREALIZADA"));
    if (printer.port.empty()) return;  // no printer for this ticket at the station
    Sale sale{station,     rdm,   bill,    tickets::RowReader(bill),
              p,           table, printer, tickets::TicketText(printer.columns, printer.lineFeed),
              clock::Now()};
    compose(sale);
    tickets::send(TicketSend{printer.model, printer.port, sale.t.str(), printer.lineFeed, printer.closing, "N", ""},
                  routine, sink);
  } catch (const std::exception& e) {
    tickets::log_failure(routine, e);
  }
}

// ---- United States layout ----

void compose_americano(Sale& s) {
  tickets::TicketText& t = s.t;
  const int W = t.width();
  const TMessages& m = s.m;
  t.centred(m.Msg("RECEIPT"));
  t.centred(s.station.text("NMRAZSOCEMPR"));
  t.centred(s.station.text("NMRAZSOCFILI") + " - " + s.station.text("NMMUNICIPIOFILI") + " - " +
            s.station.text("SGESTADOFILI"));
  t.centred(m.Msg("OPERATOR") + " " + s.station.text("NMOPERADORLOGIN"));
  // The date shares its line with the store line that follows.
  t.piece(Centraliza(m.Msg("DATA") + "  " + DateTimeToStr(s.now), W));
  t.line(PadR(" F." + s.station.text("CDFILIAL"), 14) + PadL(" S." + s.station.text("CDLOJA"), 14) +
         PadL(" CR." + s.station.text("CDCAIXA"), W - 28));
  t.dashes();
  double subtotal = 0;
  for (s.bill.First(); !s.bill.Eof(); s.bill.Next()) {
    const double quantity = s.item.number("QTPRODCOMVEN");
    const double amount = quantity * s.item.number("VRPRECCOMVEN");
    const std::string start = PadL(FormatFloat("0", quantity), 4) + "  " + PadR(s.item.text("NMPRODUTO"), 25) + " ";
    t.line(start + PadL(FormatFloat("#,##0.00", amount), W - static_cast<int>(start.size())));
    subtotal += amount;
  }
  t.dashes();
  const double tax = Trunc2(s.p.number("DOVALACR"));
  const double total = subtotal + tax, paid = s.p.number("TOTALPAGO");
  for (const auto& [key, amount] :
       {std::pair{"SUBTOTAL", subtotal}, std::pair{"SALESTAX", tax}, std::pair{"TOTAL", total}, std::pair{"CASH", paid},
        std::pair{"CHANGE", paid - total}})
    t.line("  " + PadR(m.Msg(key), 15) + PadL(FormatFloat("#,##0.00", amount), W - 17));
  t.dashes();
  t.line(s.station.text("DSOBSCUPFIS"));
  t.dashes();
  t.centred(m.Msg("ISSUEDATE") + " " + DateToStr(s.now) + " " + TimeToStr(s.now));
  t.centred(m.Msg("VELMORA"));
}

// ---- Peru and Mexico ----

// What differs between the Peruvian and the Mexican ticket.
struct PeruMexico {
  const char* routine;
  const char* rucCaption;  // nullptr: the fixed "RUC"
  const char* pointOfSaleKey;
  int nameWidth;
  const char* nameGap;
  const char* totalKey;  // nullptr: totalText
  const char* totalText;
};
const PeruMexico kPeru = {"ImpCupom_Peru", nullptr, "PONTODEVENDA", 13, " ", "TOTALPERU", nullptr};
const PeruMexico kMexico = {"ImpCupom_Mexico", "RUC", "PUNTODEVENTA", 15, "  ", nullptr, "TOTAL S/.: "};

std::string amount_pe(double value) {
  return FormatFloat("#,##0.00", value);
}

void compose_peru_mexico(const PeruMexico& layout, Sale& s) {
  tickets::TicketText& t = s.t;
  const int W = t.width();
  const TMessages& m = s.m;
  const std::string ruc = s.station.text("NRINSJUREMPR");
  t.centred(s.station.text("NMRAZSOCEMPR"));
  t.centred((layout.rucCaption ? m.Msg(layout.rucCaption) : std::string("RUC")) + " " +
            (ruc.size() > 9 ? ruc.substr(9, 11) : std::string()));
  t.centred(s.station.text("DSENDEFILI"));
  t.centred(m.Msg(layout.pointOfSaleKey) + " " + s.station.text("NMFILIAL"));
  t.dashes();
  t.line(m.Msg("NRSERIE") + " " + s.station.text("NRSERIEECF") + " " + m.Msg("CAIXA") + " " +
         s.station.text("CDCAIXA"));
  t.line(m.Msg("CUPOM") + " " + s.number());
  t.line(m.Msg("DATA") + " " + DateToStr(s.now) + "  " + m.Msg("HORA") + " " + TimeToStr(s.now));
  t.dashes();
  double subtotal = 0, discounts = 0, surcharges = 0;
  for (s.bill.First(); !s.bill.Eof(); s.bill.Next()) {
    const double quantity = s.item.number("QTPRODCOMVEN"), price = s.item.number("VRPRECCOMVEN");
    const double amount = quantity * price;
    const std::string start = TamFixo(s.item.text("NMPRODUTO"), layout.nameWidth) + layout.nameGap +
                              PadL(FormatFloat("0", quantity) + " X " + amount_pe(price), 15);
    t.line(start + PadL(amount_pe(amount), W - static_cast<int>(start.size())));
    subtotal += amount;
    discounts += s.item.number("VRDESCCOMVEN");
    surcharges += s.surcharge();
  }
  t.dashes();
  if (discounts > 0) t.right_aligned(m.Msg("DESCONTO"), amount_pe(discounts));
  if (surcharges > 0) t.right_aligned(m.Msg("ACRESCIMO"), amount_pe(surcharges));
  t.right_aligned(layout.totalKey ? m.Msg(layout.totalKey) : std::string(layout.totalText),
                  amount_pe(Trunc2(subtotal + surcharges - discounts)));
  t.dashes();
  if (s.credit()) {
    t.centred(m.Msg("ATENCAO"));
  } else {
    const std::string observation = s.station.text("DSOBSCUPFIS");
    if (!observation.empty()) t.line(observation);
  }
  t.centred(m.Msg("VELMORA"));
}

// ---- Colombia ----

std::string money(double value) {
  return FormatCurrency(value, 2);
}

std::string upper_ascii(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return s;
}

void compose_colombia(Sale& s) {
  tickets::TicketText& t = s.t;
  const int W = t.width();
  const TMessages& m = s.m;
  const tickets::Station& st = s.station;
  const db::Params sale = {
      {"P_NRSEQVENDA", s.p.key("NRSEQVENDA")}, {"P_CDFILIAL", st.key("CDFILIAL")}, {"P_CDCAIXA", st.key("CDCAIXA")}};

  t.centred(st.text("NMRAZSOCEMPR"));
  t.centred(st.text("NMRAZSOCFILI"));
  t.centred(st.text("DSENDEFILI") + " - " + st.text("NRTELEFILI"));
  t.dashes();
  t.centred(m.Msg("NIT") + " " + st.text("NRINSJUREMPR"));
  t.centred(m.Msg("FACTURAVENTA") + " " + st.text("CDPREFINTGCOL") + " " + s.number());
  t.centred(m.Msg("FECHA") + " " + DateToStr(s.now) + " " + TimeToStr(s.now) + "  " + m.Msg("CAJA") + " " +
            st.text("CDCAIXA"));
  t.centred(m.Msg("IVAREGIMEN"));
  t.centred(m.Msg("GRANCONTRIB") + " " + st.text("DSGRANCONTRIB"));
  t.centred(m.Msg("AUTORRETENEDORES") + " " + st.text("DSAUTORETENT"));
  t.centred(st.text("DSENDWEBEMPR"));
  t.centred(st.text("DSEMAILEMPRESA"));
  t.dashes();

  // Items, each with the product's tax at the branch.
  double subtotal = 0, discounts = 0, surcharges = 0, quantities = 0;
  for (s.bill.First(); !s.bill.Eof(); s.bill.Next()) {
    const double quantity = s.item.number("QTPRODCOMVEN"), price = s.item.number("VRPRECCOMVEN");
    const db::ResultSet rate =
        s.rdm.Open("adqAliqProduto", {{"P_CDPRODUTO", s.item.key("CDPRODUTO")}, {"P_CDFILIAL", st.key("CDFILIAL")}});
    std::string tax;  // blank when the product has no tax at the branch
    if (!rate.rows.empty())
      tax = dado(tickets::first_text(rate, "SGIMPOSTO")) + " " +
            FloatToStr(rate.rows.front()[tickets::column_of(rate, "VRPEALIMPFIS")].to_double()) + "%";
    t.line(TamFixo("-->" + s.item.text("NMPRODUTO"), 30) + TamFixoR(tax, W - 30));
    // The amount keeps every digit; the quantity and price before it give way.
    const std::string amount = money(quantity * price);
    const int right = std::max(W - 32, static_cast<int>(amount.size()));
    t.line(TamFixo(FloatToStr(quantity) + " X " + money(price), W - right) + PadL(amount, right));
    subtotal += quantity * price;
    discounts += s.item.number("VRDESCCOMVEN");
    surcharges += s.surcharge();
    quantities += quantity;
  }
  if (!s.bill.IsEmpty()) {
    s.bill.Last();  // the comanda discount is on every row: counted once
    discounts += s.item.number("VRDESCOMANDA");
  }
  t.dashes();
  t.right_aligned(m.Msg("SUB-TOTAL") + " ", money(Trunc2(subtotal)));
  if (discounts > 0) t.line(m.Msg("DESCUENTO") + " " + money(discounts));
  if (surcharges > 0) t.line(m.Msg("ACRESCIMO") + " " + money(surcharges));

  const db::ResultSet taxes = s.rdm.Open("adqImpostoVenda", sale);
  const std::size_t cTax = tickets::column_of(taxes, "SGIMPOSTO"), cRate = tickets::column_of(taxes, "VRPEALPRODIT"),
                    cValue = tickets::column_of(taxes, "VRIMPOSTO"), cBase = tickets::column_of(taxes, "VALOR");
  double taxTotal = 0;
  for (const auto& row : taxes.rows) taxTotal += Trunc2(row[cValue].to_double());
  t.line(m.Msg("VRIMPUESTO") + " " + money(taxTotal));
  t.line(m.Msg("TOTAL") + " " + money(Trunc2(subtotal + surcharges - discounts)));
  t.blanks();

  // Payments, then the change the customer took.
  ClientDataSet& payments = s.rdm.Provide("Recebimento", sale);
  const tickets::RowReader pay(payments);
  double change = 0;
  bool hasChange = false;
  for (payments.First(); !payments.Eof(); payments.Next()) {
    const std::string kind = pay.key("IDTIPOMOVIVE");
    if (kind == "E" || kind == "T") t.right_aligned(pay.text("NMTIPORECE"), money(pay.number("VRMOVIVEND")));
    if (kind == "S") {
      change += pay.number("VRMOVIVEND");
      hasChange = true;
    }
  }
  if (hasChange) t.line(m.Msg("VRCAMBIO") + " " + money(change));
  t.blanks();
  t.line(upper_ascii(m.Msg("SENA")) + " " + s.p.text("SENHACUPOM"));
  t.line(st.text("CDOPERADORLOGIN") + " - Operador " + st.text("NMOPERADORLOGIN"));

  if (!taxes.rows.empty()) {
    t.line(Replicate('-', 16) + TamFixo(" *" + m.Msg("ITENS") + " " + FloatToStr(quantities) + "*", 10) +
           Replicate('-', W - 26));
    for (const auto& row : taxes.rows) {
      const double tax = Trunc2(row[cValue].to_double());
      t.centred(dado(row[cTax].to_text()) + " " + FloatToStr(row[cRate].to_double()) + "% " + "Base..." +
                money(row[cBase].to_double() - tax) + " " + money(tax));
    }
    t.dashes();
  }
  if (s.credit())
    t.centred(m.Msg("ATENCION"));
  else
    t.line(st.text("DSOBSCUPFIS"));
  t.centred(m.Msg("RESDIAN") + " " + st.text("DSRESOLINTGCOL"));
  t.centred(m.Msg("PREFIJO") + " " + st.text("CDPREFINTGCOL") + " #" + st.text("NRCUPINIINTGCOL") + " #" +
            st.text("NRCUPFININTGCOL"));
  t.dashes();
  t.centred(m.Msg("VELMORA"));
  // Two more line feeds for the models that cut close to the last line.
  if (st.key("IDPAISINTEGRA") == "01" && (s.printer.model == "14" || s.printer.model == "35"))
    t.piece(t.lineFeed() + t.lineFeed());
}

}  // namespace

void ImpCupom_Americano(const Variant&, const Variant& dados2, const Variant&, const Variant& dados4,
                        const TicketSink* sink) {
  print_sale("ImpCupom_Americano", &msgPadraoAmericano(), dados2, dados4, sink, compose_americano);
}

void ImpCupom_Peru(const Variant&, const Variant& dados2, const Variant&, const Variant& dados4,
                   const TicketSink* sink) {
  print_sale(kPeru.routine, nullptr, dados2, dados4, sink, [](Sale& s) { compose_peru_mexico(kPeru, s); });
}

void ImpCupom_Mexico(const Variant&, const Variant& dados2, const Variant&, const Variant& dados4,
                     const TicketSink* sink) {
  print_sale(kMexico.routine, &msgPadraoMexico(), dados2, dados4, sink,
             [](Sale& s) { compose_peru_mexico(kMexico, s); });
}

void ImpCupom_Colombia(const Variant&, const Variant& dados2, const Variant&, const Variant& dados4,
                       const TicketSink* sink) {
  print_sale("ImpCupom_Colombia", &msgPadraoColombia(), dados2, dados4, sink, compose_colombia);
}

}  // namespace imp
