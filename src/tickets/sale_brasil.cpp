// The Brazilian sale ticket: outlet header, consumer block of a credit sale, the items with their discounts and
// surcharges, the totals with service charge, minimum consumption, cover charge and comanda discount, the call
// number, and the product labels of the order.
#include <exception>

#include "host/consiste.h"
#include "labels/zebra_labels.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/rtl.h"
#include "tickets/sale_ticket.h"
#include "tickets/ticket_parts.h"

namespace imp {
namespace {

using tickets::dado;
constexpr const char* kRoutine = "ImpCupom_Brasil";

std::string cut(std::string_view s, int count) {
  return std::string(s.substr(0, count < 0 ? 0 : static_cast<std::size_t>(count)));
}

std::string money(double value) {
  return FormatFloat("###,##0.00", value);
}

class CupomBrasil {
 public:
  CupomBrasil(std::string_view kind, const TicketSink* sink) : kind_(kind), sink_(sink) {}

  void Run(const Variant& dados1, const Variant& dados2, const Variant& dados4) {
    log::LogErroImpNaoFiscal("INICIO ImpCupom_Brasil");
    try {
      Print(dados1, dados2, dados4);
    } catch (const std::exception& e) {
      tickets::log_failure(kRoutine, e);
    }
    log::LogErroImpNaoFiscal("FIM ImpCupom_Brasil");
    log::LogErroImpNaoFiscal("");
    if (TrdmImpressoras* rdm = rdmImpressoras())
      for (const char* name : {"cdsParametros", "cdsPedido", "cdsParcialConta"}) rdm->cds(name).Close();
    FreeDataModule();
  }

 private:
  void Print(const Variant& dados1, const Variant& dados2, const Variant& dados4) {
    const tickets::Station station;
    TrdmImpressoras& rdm = EnsureDataModule();
    const std::string IDETIQZEBRA =
        tickets::first_text(rdm.Open("adqImpZebra", {{"CDFILIAL", station.key("CDFILIAL")}}), "IDETIQZEBRA");
    ClientDataSet& params = rdm.cds("cdsParametros");
    tickets::load_packet(params, dados4, "Dados4");
    ClientDataSet& pedido = rdm.cds("cdsPedido");
    bool orderLoaded = true;
    try {
      tickets::load_packet(pedido, dados1, "Dados1");
    } catch (const std::exception&) {
      orderLoaded = false;  // the ticket does not need the order
      pedido.Close();
    }
    const tickets::Printer printer = tickets::choose_printer(station, "PARCIALCONTA", "");
    if (!printer.port.empty()) {
      ClientDataSet& conta = rdm.cds("cdsParcialConta");
      tickets::load_packet(conta, dados2, "Dados2");
      const std::string text = Compose(station, tickets::RowReader(params), conta, pedido, printer);
      tickets::send(TicketSend{printer.model, printer.port, text, printer.lineFeed, printer.closing, "N", ""}, kRoutine,
                    sink_);
    }
    if (orderLoaded) Labels(params, pedido, IDETIQZEBRA);
  }

  std::string Compose(const tickets::Station& station, const tickets::RowReader& p, ClientDataSet& conta,
                      ClientDataSet& pedido, const tickets::Printer& printer) {
    const TMessages& m = EnsureDataModule().msgPadraoBrasil();
    tickets::TicketText t(printer.columns, printer.lineFeed);
    const int W = t.width();
    auto label = [&](const char* key) { return TamFixo(m.Msg(key), 12) + ": "; };
    const bool credit = p.key("VENDAREALIZADA") == "C";
    const double now = clock::Now();

    t.centred(station.text("NMRAZSOCFILI"));
    t.centred(station.text("NMCAIXA"));
    t.centred(station.text("DSENDEFILI") + " - " + station.text("NMBAIRFILI"));
    t.centred(station.text("NMMUNICIPIOFILI") + " - " + station.text("SGESTADOFILI"));
    t.centred(m.Msg("INSCMUNICIPAL") + ": " + station.text("CDINSCMUNIFILI"));
    t.dashes();
    if (credit) {
      t.centred(m.Msg("creditopessoal"));
      t.blanks();
    }
    t.line(label("CAIXA") + cut(station.text("CDCAIXA"), W - 14) + "-" + station.text("NMCAIXA"));
    t.line(label("CUPOM") + (credit ? p.text("CDIDCONSUMID") + "-" : std::string()) + p.text("NRNAOFISCAL"));
    t.line(label("DATA") + DateToStr(now) + " " + m.Msg("HORA") + ":" + TimeToStr(now));
    t.line(m.Msg("COMANDA") + ": " + p.text("DSCOMANDA"));
    if (credit) {
      t.line(label("MATRICULA") + cut(p.text("CDIDCONSUMID"), W - 14));
      t.line(label("CONSUMIDOR") + cut(p.text("NMCONSUMIDOR"), W - 14));
    }
    t.dashes();

    // Items; the cover charge and the minimum consumption appear only among the totals.
    const std::string couvert = p.key("CDPRODCOUVER"), consumacao = p.key("CDPRODCONSUM");
    const tickets::RowReader item(conta);
    double products = 0;
    for (conta.First(); !conta.Eof(); conta.Next()) {
      const std::string code = item.key("CDPRODUTO");
      if ((!couvert.empty() && code == couvert) || (!consumacao.empty() && code == consumacao)) continue;
      const double quantity = item.number("QTPRODCOMVEN"), price = item.number("VRPRECCOMVEN");
      const double discount = item.number("VRDESCCOMVEN"), surcharge = item.number("VRACRCOMVEN");
      const double amount = Trunc2(quantity * price);
      t.line(item.text("CDARVPROD") + "  " + item.text("NMPRODUTO"));
      t.line(PadL(FormatFloat("0.000", quantity), 10) + "   X " + PadL(money(price), 8) + "  " +
             PadL(money(amount), 10));
      if (discount > 0) t.line(PadL(cut(m.Msg("DESCONTO"), 22), 20) + PadL(FormatFloat("-###,##0.00", discount), 20));
      if (surcharge > 0)
        t.line(PadL(cut(m.Msg("ACRESCIMO"), 22), 20) + PadL(FormatFloat("+###,##0.00", surcharge), 20));
      products += amount - discount + surcharge;
    }
    t.dashes();

    auto total_line = [&](const std::string& caption, double amount) {
      t.line(PadR(cut(caption, 22), 18) + PadL(money(amount), 18));
    };
    total_line(m.Msg("TOTALPRODUTOS"), products);
    double total = products;
    const double service = p.number("VRTXSERVICO"), minimum = p.number("VRCONSUMACA"), cover = p.number("VRCOUVERT");
    if (service > 0) {
      total_line(m.Msg("TAXASERVICO"), Trunc2(service));
      total += Trunc2(service);
    }
    if (minimum > 0) {
      total_line(m.Msg("CONSUMAMINIMA") + " ", minimum);
      total += minimum;
    }
    if (cover > 0) {
      total_line(m.Msg("COUVERT") + " ", cover);
      total += Trunc2(cover);
    }
    // The comanda discount is on every row of the bill; the last one is read.
    conta.Last();
    const std::string comandaDiscount = item.key("VRDESCOMANDA");
    if (!comandaDiscount.empty() && item.number("VRDESCOMANDA") > 0) {
      const double discount = item.number("VRDESCOMANDA");
      total_line(m.Msg("DESCONTO") + " ", discount);
      total -= Trunc2(discount);
    }
    t.dashes();
    total_line(m.Msg("TOTALGERAL"), total);
    t.dashes();

    // The call number, unless the sale has a comanda.
    if (p.key("DSCOMANDA").empty()) {
      if (kind_ == "CUPOM") {
        t.line(m.Msg("SENHA") + p.text("SENHACUPOM"));
      } else if (kind_ == "CUPOM_PEDIDO" && pedido.Active() && !pedido.IsEmpty()) {
        pedido.First();
        t.line(m.Msg("SENHA") + tickets::RowReader(pedido).text("SENHACUPOM"));
      }
    }
    t.centred(cut(m.Msg("DOCSEMVALOR"), W));
    t.centred(m.Msg("VELMORA"));
    return t.str();
  }

  // The product labels of the order, on the port of its first label printer (models 12 and 15).
  void Labels(ClientDataSet& params, ClientDataSet& pedido, const std::string& IDETIQZEBRA) {
    LocateOptions anyCase;
    anyCase.caseInsensitive = true;
    if (!pedido.Active() || !pedido.FindField("IDMODEIMPRES")) return;
    if (!pedido.Locate("IDMODEIMPRES", {Variant("12")}, anyCase) &&
        !pedido.Locate("IDMODEIMPRES", {Variant("15")}, anyCase))
      return;
    const std::string port = tickets::RowReader(pedido).key("CDPORIMPPROD");
    if (IDETIQZEBRA == "P") {
      ImpEtiqZebra45x25(params, "", port);
    } else if (IDETIQZEBRA == "G") {
      ImpEtiqZebra95x70(params, "", port);
      globals::boFimPedidoZebra.store(true);
    }
  }

  const std::string kind_;
  const TicketSink* sink_;
};

}  // namespace

void ImpCupom_Brasil(const Variant& dados1, const Variant& dados2, const Variant&, const Variant& dados4,
                     std::string_view kind, const TicketSink* sink) {
  try {
    CupomBrasil(kind, sink).Run(dados1, dados2, dados4);
  } catch (const std::exception& e) {
    tickets::log_failure(kRoutine, e);  // nothing reaches the job thread
    FreeDataModule();
  }
}

}  // namespace imp
