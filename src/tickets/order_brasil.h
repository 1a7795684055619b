// The Brazilian order ticket: one production ticket per printer of the order, with the expediting ("puxa")
// report, the pager ticket and the list of cancelled observation products.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/variant.h"

namespace imp {

// dados1: the order rows (a data packet); dados4: the order parameters (a data packet); puxa: this run prints
// the expediting report.
void ImpPedido_Brasil(const Variant& dados1, const Variant& dados4, bool puxa);

// A quantity below one as a fraction ("1/2"), otherwise the number.
std::string ConvertFracionario(double quantity);

}  // namespace imp
