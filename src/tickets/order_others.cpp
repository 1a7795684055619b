#include "tickets/order_others.h"

#include <cctype>
#include <exception>
#include <vector>

#include "host/consiste.h"
#include "module/captions.h"
#include "module/data_module.h"
#include "platform/clock.h"
#include "platform/decimal.h"
#include "platform/rtl.h"
#include "tickets/ticket_parts.h"

namespace imp {
namespace {

using tickets::dado;

// The captions of a production ticket's header.
struct HeaderCaptions {
  std::string title, date, waiter, comanda, table, lounge, orderNumber;
};

HeaderCaptions spanish_captions() {
  return {"PEDIDO", "FECHA", "MOZO....:", "COMANDA.:", "MESA....:", "AMBIENTE:", "NR.PEDIDO"};
}

// The American table has no key "DATE": its date caption is the line "DATA" ("DATE").
HeaderCaptions american_captions() {
  const TMessages& m = msgPadraoAmericano();
  return {m.Msg("ORDER"), m.Msg("DATA"),   m.Msg("WAITER"), m.Msg("TICKETORDER"),
          m.Msg("TABLE"), m.Msg("LOUNGE"), m.Msg("ONUMBER")};
}

// What differs between the four countries.
struct OrderLayout {
  const char* routine;  // the log name
  HeaderCaptions (*captions)();
  const char* seat;  // caption of the seat lines
  bool extraFeed;    // two more line feeds for models 14 and 35 of a Colombian station
};

const OrderLayout kColombia = {"ImpPedido_Colombia", spanish_captions, "POSICION ", true};
const OrderLayout kPeru = {"ImpPedido_Peru", spanish_captions, "POSICION ", false};
const OrderLayout kMexico = {"ImpPedido_Mexico", spanish_captions, "POSICION ", false};
const OrderLayout kAmericano = {"ImpPedido_Americano", american_captions, "POSITION ", false};

std::string header(const HeaderCaptions& c, std::string_view TIPOVENDA, std::string_view CDVENDEDOR,
                   std::string_view NMVENDEDOR, std::string_view NMSALA, std::string_view dsComanda,
                   std::string_view NRMESA, std::string_view SENHACUPOM, std::string_view lineEnd, uint8_t columns) {
  const int W = columns;
  const std::string lf(lineEnd);
  const std::string dashes = Replicate('-', W) + lf;
  std::string h = dashes;
  h += Centraliza(c.title, W) + lf;
  h += Centraliza(c.date + "  " + FormatDateTime("dd/mm/yyyy hh:nn:ss", clock::Now()), W) + lf;
  h += dashes;
  if (TIPOVENDA != "B") {
    if (!CDVENDEDOR.empty()) h += c.waiter + " " + dado(CDVENDEDOR) + " - " + dado(NMVENDEDOR) + lf;
    h += c.comanda + " " + dado(dsComanda) + lf;
    h += c.table + " " + dado(NRMESA) + lf;
    h += c.lounge + " " + dado(NMSALA) + lf;
    h += dashes;
  }
  h += Centraliza(c.orderNumber + "  " + dado(SENHACUPOM), W) + lf;
  h += dashes;
  return h;
}

std::string upper_ascii(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return s;
}

// One order row as the ticket reads it.
struct Row {
  std::string port, seat, table, waiterCode, waiterName, comanda, callNumber, tree, combo, product, observations;
  double quantity = 0;
};

Row read_row(const tickets::RowReader& r) {
  Row row;
  row.port = r.key("CDPORIMPPROD");
  row.seat = r.key("NRLUGARMESA");
  row.table = r.key("NRMESA");
  row.waiterCode = r.key("CDVENDEDOR");
  row.waiterName = r.key("NMVENDEDOR");
  row.comanda = r.key("DSCOMANDA");
  row.callNumber = r.key("SENHACUPOM");
  row.tree = r.key("CDARVPROD");
  row.combo = r.key("NRSEQPRODCOM");
  row.product = r.text("NMPRODUTO");
  row.observations = r.key("DSOBSERVACAO");
  row.quantity = r.number("QTPRODCOMVEN");
  return row;
}

class Order {
 public:
  Order(const OrderLayout& layout, const TicketSink* sink)
      : layout_(layout), captions_(layout.captions()), sink_(sink) {}

  void Run(const Variant& dados1, const Variant& dados4) {
    try {
      Compose(dados1, dados4);
    } catch (const std::exception& e) {
      tickets::log_failure(layout_.routine, e);
    }
    // What was composed before a failure still goes to its printer.
    try {
      Send();
    } catch (const std::exception& e) {
      tickets::log_failure(layout_.routine, e);
    }
    FreeDataModule();
  }

 private:
  void Compose(const Variant& dados1, const Variant& dados4) {
    const tickets::Station station;
    TrdmImpressoras& rdm = EnsureDataModule();
    ClientDataSet& pedido = rdm.cds("cdsPedido");
    tickets::load_packet(pedido, dados1, "Dados1");
    ClientDataSet& params = rdm.cds("cdsParametros");
    tickets::load_packet(params, dados4, "Dados4");
    const tickets::RowReader p(params);
    TIPOVENDA_ = p.key("TIPOVENDA");
    STIMPPOSOBS_ = p.key("STIMPPOSOBS");
    printer_ = tickets::choose_printer(station, "PEDIDO", p.key("VENDAREALIZADA"));
    lineEnd_ = printer_.lineFeed;
    if (layout_.extraFeed && station.key("IDPAISINTEGRA") == "01" && (printer_.model == "14" || printer_.model == "35"))
      lineEnd_ += printer_.lineFeed + printer_.lineFeed;

    // Ports, then seats, ascending (a column the order lacks reads as empty: it does not order).
    std::string order;
    for (const char* field : {"CDPORIMPPROD", "NRLUGARMESA"})
      if (pedido.FindField(field)) {
        if (!order.empty()) order += ';';
        order += field;
      }
    pedido.SetIndexFieldNames(order);
    const tickets::RowReader reader(pedido);
    bool first = true;
    for (pedido.First(); !pedido.Eof(); pedido.Next()) {
      const Row r = read_row(reader);
      if (r.port.empty()) continue;  // a row without a production printer prints nowhere
      if (first) {
        first = false;
        nmSala_ = tickets::first_text(rdm.Open("adqAmbiente", {{"P_CDFILIAL", station.key("CDFILIAL")},
                                                               {"P_CDLOJA", station.key("CDLOJA")},
                                                               {"P_NRMESA", r.table}}),
                                      "NMSALA");
        BeginTicket(r);
      } else if (r.port != port_) {
        Send();
        BeginTicket(r);
      }
      Item(rdm, r);
    }
  }

  void BeginTicket(const Row& r) {
    port_ = r.port;
    seatPending_ = true;
    const int W = printer_.columns < 0 ? 0 : (printer_.columns > 255 ? 255 : printer_.columns);
    text_ = header(captions_, TIPOVENDA_, r.waiterCode, r.waiterName, nmSala_, r.comanda, r.table, r.callNumber, LF(),
                   static_cast<uint8_t>(W));
  }

  void Item(TrdmImpressoras& rdm, const Row& r) {
    // A product missing from the catalogue prints as one sold by weight.
    const std::string weighed =
        upper_ascii(tickets::first_text(rdm.Open("adqGetProdPes", {{"P_CDARVPROD", r.tree}}), "IDPESAPROD"));

    // Groups of a combo are set apart by a line of dashes.
    const std::string separator = LF() + Replicate('-', printer_.columns) + LF();
    if (group_.empty()) {
      group_ = r.combo.empty() ? "000" : r.combo;
    } else if (!r.combo.empty() && group_ != r.combo) {
      text_ += separator;
      group_ = r.combo;
    }
    if (group_ != r.combo && group_ != "000") {
      text_ += separator;
      group_ = r.combo;
    }

    if (TIPOVENDA_ != "B" && STIMPPOSOBS_ != "A" && !r.seat.empty()) {
      if (r.seat != seat_ || seatPending_) text_ += layout_.seat + dado(r.seat) + LF();
      seat_ = r.seat;
      seatPending_ = false;
    }
    if (STIMPPOSOBS_ == "A") Observations(r);
    const std::string quantity =
        weighed != "N" ? FormatFloat("0.000", r.quantity) : ConvertFracionario(decimal::round_half_away(r.quantity, 3));
    text_ += "---> " + quantity + "  " + r.product + LF();
    if (STIMPPOSOBS_ == "D") Observations(r);
  }

  // Each part of the observations ended by ";", and what follows the last ";".
  void Observations(const Row& r) {
    std::size_t start = 0;
    const std::string& s = r.observations;
    while (start < s.size()) {
      std::size_t semi = s.find(';', start);
      if (semi == std::string::npos) semi = s.size();
      if (semi > start) text_ += "   * " + dado(s.substr(start, semi - start)) + LF();
      start = semi + 1;
    }
  }

  void Send() {
    if (text_.empty()) return;
    const std::string text = std::move(text_);
    text_.clear();
    tickets::send(TicketSend{printer_.model, port_, text, lineEnd_, printer_.closing, "N", ""}, layout_.routine, sink_);
  }

  const std::string& LF() const { return printer_.lineFeed; }

  const OrderLayout& layout_;
  const HeaderCaptions captions_;
  const TicketSink* sink_;
  tickets::Printer printer_;
  std::string lineEnd_;  // handed to the print path with each ticket
  std::string TIPOVENDA_, STIMPPOSOBS_, nmSala_;
  std::string text_, port_, seat_, group_;
  bool seatPending_ = false;
};

void print_order(const OrderLayout& layout, const Variant& dados1, const Variant& dados4, const TicketSink* sink) {
  try {
    Order(layout, sink).Run(dados1, dados4);
  } catch (const std::exception& e) {
    tickets::log_failure(layout.routine, e);  // nothing reaches the job thread
    FreeDataModule();
  }
}

}  // namespace

void ImpPedido_Colombia(const Variant& dados1, const Variant& dados4, const TicketSink* sink) {
  print_order(kColombia, dados1, dados4, sink);
}
void ImpPedido_Peru(const Variant& dados1, const Variant& dados4, const TicketSink* sink) {
  print_order(kPeru, dados1, dados4, sink);
}
void ImpPedido_Mexico(const Variant& dados1, const Variant& dados4, const TicketSink* sink) {
  print_order(kMexico, dados1, dados4, sink);
}
void ImpPedido_Americano(const Variant& dados1, const Variant& dados4, const TicketSink* sink) {
  print_order(kAmericano, dados1, dados4, sink);
}

std::string Cabecalho_Pedido_Colombia(std::string_view, std::string_view TIPOVENDA, std::string_view CDVENDEDOR,
                                      std::string_view NMVENDEDOR, std::string_view NMSALA, std::string_view dsComanda,
                                      std::string_view NRMESA, std::string_view SENHACUPOM, std::string_view lineEnd,
                                      uint8_t columns) {
  return header(kColombia.captions(), TIPOVENDA, CDVENDEDOR, NMVENDEDOR, NMSALA, dsComanda, NRMESA, SENHACUPOM, lineEnd,
                columns);
}
std::string Cabecalho_Pedido_Peru(std::string_view, std::string_view TIPOVENDA, std::string_view CDVENDEDOR,
                                  std::string_view NMVENDEDOR, std::string_view NMSALA, std::string_view dsComanda,
                                  std::string_view NRMESA, std::string_view SENHACUPOM, std::string_view lineEnd,
                                  uint8_t columns) {
  return header(kPeru.captions(), TIPOVENDA, CDVENDEDOR, NMVENDEDOR, NMSALA, dsComanda, NRMESA, SENHACUPOM, lineEnd,
                columns);
}
std::string Cabecalho_Pedido_Mexico(std::string_view, std::string_view TIPOVENDA, std::string_view CDVENDEDOR,
                                    std::string_view NMVENDEDOR, std::string_view NMSALA, std::string_view dsComanda,
                                    std::string_view NRMESA, std::string_view SENHACUPOM, std::string_view lineEnd,
                                    uint8_t columns) {
  return header(kMexico.captions(), TIPOVENDA, CDVENDEDOR, NMVENDEDOR, NMSALA, dsComanda, NRMESA, SENHACUPOM, lineEnd,
                columns);
}
std::string Cabecalho_Pedido_Americano(std::string_view, std::string_view TIPOVENDA, std::string_view CDVENDEDOR,
                                       std::string_view NMVENDEDOR, std::string_view NMSALA, std::string_view dsComanda,
                                       std::string_view NRMESA, std::string_view SENHACUPOM, std::string_view lineEnd,
                                       uint8_t columns) {
  return header(kAmericano.captions(), TIPOVENDA, CDVENDEDOR, NMVENDEDOR, NMSALA, dsComanda, NRMESA, SENHACUPOM,
                lineEnd, columns);
}

}  // namespace imp
