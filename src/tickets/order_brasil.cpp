// PROVISIONAL: replaced by the Brazilian order ticket.
#include "tickets/order_brasil.h"

#include "platform/log.h"

namespace imp {

void ImpPedido_Brasil(const Variant&, const Variant&, bool) {
  log::LogErroImpNaoFiscal("ImpPedido_Brasil: rotina não disponível");
}

std::string ConvertFracionario(double quantity) { return Variant(quantity).to_text(); }

}  // namespace imp
