// Cancellation tickets: the cancelled items of an open order, one ticket per production printer that had
// them, and the customer's receipt of a whole cancelled sale.
#pragma once

#include <string>

#include "platform/variant.h"

namespace imp {

// The thirteen texts of the cancelled-items ticket, in the order the cancellation job hands them:
// [0] not used, [1] value 3, [2] value 1, [3] [4] not used, [5] value 2, [6] the model (not used), [7] the title,
// [8] not used, [9] the caption before each reason, [10] [11] [12] captions 1 to 3.
using CancTexts = std::string[13];

// One ticket per production printer (port and model) of the rows marked IDIMPCANITEM "S". Every failure is
// logged under the routine's name; the data module is freed at the end.
void ImpCancProduto(const Variant& packet, const CancTexts& texts);

// The cancelled-sale receipt on the station's receipt printer: a maker's library for "USB" and long port
// names, the MP-100 unit for model 7, else the direct port. `args` holds the 24 values of the host's array.
// True exactly when the route opened the printer and sent the whole ticket. Holds the job lock throughout.
bool setCupomCancelado(const VariantArray& args);

}  // namespace imp
