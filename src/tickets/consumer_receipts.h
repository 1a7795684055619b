// Receipts of consumer accounts that the host prints directly: the debit of a sale to a consumer's account
// and the top-up of a consumer's prepaid credit (and its cancellation).
#pragma once

#include "platform/variant.h"

namespace imp {

// The debit receipt from the host's array of 25 values (the sale's products, the debited amount, the
// consumer, the outlet, the printer). Holds the job lock throughout; fewer than 25 values are refused.
void Comp_DebitoCons_Bematech_NaoFiscal(const VariantArray& args);

// The credit top-up receipt (two copies, one at a kiosk) or its cancellation ([24] "CANC") from the host's
// array of 25 values. Holds the job lock throughout; fewer than 25 values are refused.
void Imp_Compr_Cred(const VariantArray& args);

}  // namespace imp
