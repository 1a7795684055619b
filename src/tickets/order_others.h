// The production orders of Colombia, Peru, Mexico and the United States layout: one ticket per production port,
// a short header (waiter, comanda, table, lounge, order number), the items with their observations and seat
// lines. The four share one routine; a table says what differs (captions, seat caption, extra feed, log name).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/variant.h"
#include "tickets/order_brasil.h"

namespace imp {

// dados1: the order rows (a data packet); dados4: the order parameters (a data packet). Every failure is
// logged under the routine's name; what was composed before it still prints, and the data module is freed at
// the end. With a sink, the finished tickets go to it instead of the printers.
void ImpPedido_Colombia(const Variant& dados1, const Variant& dados4, const TicketSink* sink = nullptr);
void ImpPedido_Peru(const Variant& dados1, const Variant& dados4, const TicketSink* sink = nullptr);
void ImpPedido_Mexico(const Variant& dados1, const Variant& dados4, const TicketSink* sink = nullptr);
void ImpPedido_Americano(const Variant& dados1, const Variant& dados4, const TicketSink* sink = nullptr);

// The header of a production ticket, every line ended by `lineEnd`; stImpPosObs is accepted and not printed.
std::string Cabecalho_Pedido_Colombia(std::string_view stImpPosObs, std::string_view TIPOVENDA,
                                      std::string_view CDVENDEDOR, std::string_view NMVENDEDOR, std::string_view NMSALA,
                                      std::string_view dsComanda, std::string_view NRMESA, std::string_view SENHACUPOM,
                                      std::string_view lineEnd, uint8_t columns);
std::string Cabecalho_Pedido_Peru(std::string_view stImpPosObs, std::string_view TIPOVENDA, std::string_view CDVENDEDOR,
                                  std::string_view NMVENDEDOR, std::string_view NMSALA, std::string_view dsComanda,
                                  std::string_view NRMESA, std::string_view SENHACUPOM, std::string_view lineEnd,
                                  uint8_t columns);
std::string Cabecalho_Pedido_Mexico(std::string_view stImpPosObs, std::string_view TIPOVENDA,
                                    std::string_view CDVENDEDOR, std::string_view NMVENDEDOR, std::string_view NMSALA,
                                    std::string_view dsComanda, std::string_view NRMESA, std::string_view SENHACUPOM,
                                    std::string_view lineEnd, uint8_t columns);
std::string Cabecalho_Pedido_Americano(std::string_view stImpPosObs, std::string_view TIPOVENDA,
                                       std::string_view CDVENDEDOR, std::string_view NMVENDEDOR,
                                       std::string_view NMSALA, std::string_view dsComanda, std::string_view NRMESA,
                                       std::string_view SENHACUPOM, std::string_view lineEnd, uint8_t columns);

}  // namespace imp
