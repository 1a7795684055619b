// Numbers handed out through the host's sequence-number module.
#pragma once

#include <string_view>

#include "platform/variant.h"

namespace imp {

// The order's call number ("senha"): the outlet's next sale number of that day, as a text variant.
// The outlet comes as a wide (UTF-8) text and is passed on as Windows-1252. Each call consumes one number.
Variant getSenhaCupom(std::string_view outlet_utf8, double date);

// The next consumer-sale number, (a, b) passed on unchanged, as a text variant.
Variant getPrxVendaConsumidor(std::string_view a_utf8, std::string_view b_utf8);

}  // namespace imp
