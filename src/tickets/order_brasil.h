// The Brazilian order ticket: one production ticket per printer of the order, with the expediting ("puxa")
// report, the pager ticket and the list of cancelled observation products.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/variant.h"

namespace imp {

// One finished ticket, with everything the print path needs to send it.
struct TicketSend {
  std::string model;
  std::string port;
  std::string text;
  std::string lineFeed;
  std::string closing;
  std::string noExtraFeed;  // "N"
  std::string share;        // the printer's network address, or empty
};
// Receives the finished tickets of an order, in printing order.
using TicketSink = std::function<void(const TicketSend&)>;

// Which production run of an order this is. The job thread prints an order once on the production printers
// of its rows and, for the rows that name a second production printer, a second time re-addressed to it
// (SecondPrinter). What belongs to the order as a whole (the pager ticket, the sale labels) prints in the
// main run only.
enum class OrderRun { Main, SecondPrinter };

// dados1: the order rows (a data packet); dados4: the order parameters (a data packet); puxa: this run prints
// the expediting report. Every failure is logged and swallowed; the data module is freed at the end.
void ImpPedido_Brasil(const Variant& dados1, const Variant& dados4, bool puxa, OrderRun run = OrderRun::Main);
// The same, handing every finished ticket to `sink` instead of the printers.
void ImpPedido_Brasil(const Variant& dados1, const Variant& dados4, bool puxa, OrderRun run, const TicketSink& sink);

// The header of a production ticket, every line ended by `lineEnd`. stImpPosObs, SENHACUPOM and CDOPERADOR are
// accepted and not printed; CDFILIAL, CDLOJA and NRCOMANDA serve the delivery data of delivery orders.
std::string Cabecalho_Pedido_Brasil(std::string_view CDFILIAL, std::string_view CDLOJA, std::string_view stImpPosObs,
                                    std::string_view TIPOVENDA, std::string_view CDVENDEDOR,
                                    std::string_view NMVENDEDOR, std::string_view NMSALA, std::string_view DSCOMANDA,
                                    std::string_view NRCOMANDA, std::string_view NRMESA, std::string_view SENHACUPOM,
                                    std::string_view lineEnd, std::string_view NMCONSVEND, uint8_t columns, bool puxa,
                                    std::string_view IDRETBALLOJA, std::string_view CDOPERADOR,
                                    std::string_view NMOPERADOR);

// A quantity below one as a fraction ("1/2", "2/3"), otherwise the number ("2", "1,5"). Callers pass the
// quantity rounded to three decimals.
std::string ConvertFracionario(double quantity);

}  // namespace imp
