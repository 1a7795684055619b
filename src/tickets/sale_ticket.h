// The sale ticket ("cupom"): the customer's receipt of a closed sale without fiscal value, in the layout of
// the country (Brazil, the United States, Peru, Mexico, Colombia), sent in one piece to the station's receipt
// printer. A station without a printer for the ticket prints nothing.
#pragma once

#include <string_view>

#include "platform/variant.h"
#include "tickets/order_brasil.h"

namespace imp {

// dados1: the order rows (labels, and the call number of "CUPOM_PEDIDO" jobs); dados2: the bill, one row per
// sold item; dados3: not read; dados4: the sale parameters. kind: "CUPOM" or "CUPOM_PEDIDO". Every failure is
// logged under the routine's name. With a sink, the finished ticket goes to it instead of the printer.
void ImpCupom_Brasil(const Variant& dados1, const Variant& dados2, const Variant& dados3, const Variant& dados4,
                     std::string_view kind, const TicketSink* sink = nullptr);
void ImpCupom_Americano(const Variant& dados1, const Variant& dados2, const Variant& dados3, const Variant& dados4,
                        const TicketSink* sink = nullptr);
void ImpCupom_Peru(const Variant& dados1, const Variant& dados2, const Variant& dados3, const Variant& dados4,
                   const TicketSink* sink = nullptr);
void ImpCupom_Mexico(const Variant& dados1, const Variant& dados2, const Variant& dados3, const Variant& dados4,
                     const TicketSink* sink = nullptr);
void ImpCupom_Colombia(const Variant& dados1, const Variant& dados2, const Variant& dados3, const Variant& dados4,
                       const TicketSink* sink = nullptr);

}  // namespace imp
