#include "tickets/order_labels.h"

#include <string>

#include "platform/cp1252.h"
#include "platform/log.h"

namespace imp {
namespace {

void not_available(std::string_view routine, std::string_view port) {
  log::LogErroImpNaoFiscal(std::string(routine) + ": etiquetas não disponíveis - "_cp + std::string(port));
}

}  // namespace

void ImpZebraZd220(std::string_view, std::string_view, std::string_view, std::string_view, std::string_view destino) {
  not_available("ImpZebraZd220", destino);
}

void ImpEtiqZebra45x25(ClientDataSet&, std::string_view, std::string_view porta) {
  not_available("ImpEtiqZebra45x25", porta);
}

void ImpEtiqZebra95x70(ClientDataSet&, std::string_view, std::string_view porta) {
  not_available("ImpEtiqZebra95x70", porta);
}

}  // namespace imp
