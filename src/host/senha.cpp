#include "host/senha.h"

#include "host/services.h"
#include "platform/cp1252.h"

namespace imp {

Variant getSenhaCupom(std::string_view outlet_utf8, double date) {
  host::TdtmZelProxCodigo module;  // created for this call only, as the host expects
  return Variant(module.PrxVendaDia(cp1252::from_utf8_lossy(outlet_utf8), date));
}

Variant getPrxVendaConsumidor(std::string_view a_utf8, std::string_view b_utf8) {
  host::TdtmZelProxCodigo module;
  return Variant(module.PrxVendaConsumidor(cp1252::from_utf8_lossy(a_utf8), cp1252::from_utf8_lossy(b_utf8)));
}

}  // namespace imp
