// The label printouts an order can trigger: the sale labels of a ZD220 printer and the product labels of
// the 45 x 25 and 95 x 70 layouts. The order ticket calls them at the points where labels belong; the label
// layouts themselves are not built yet, so each call logs one line and prints nothing.
#pragma once

#include <string_view>

#include "platform/dataset.h"

namespace imp {

// Sale labels of the whole sale, sent to `destino` (a port or a printer share); `filtro`, when not empty,
// leaves out the order rows that are observation products.
void ImpZebraZd220(std::string_view CDFILIAL, std::string_view CDCAIXA, std::string_view NRSEQVENDA,
                   std::string_view filtro, std::string_view destino);
// Product labels read from cdsPedido, one per unit (45 x 25) or all of the order in one file (95 x 70), sent to
// `porta`. `parametros` is the order's parameter dataset.
void ImpEtiqZebra45x25(ClientDataSet& parametros, std::string_view texto, std::string_view porta);
void ImpEtiqZebra95x70(ClientDataSet& parametros, std::string_view texto, std::string_view porta);

}  // namespace imp
