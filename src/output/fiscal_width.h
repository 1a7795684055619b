// The line width of the fiscal printouts by printer model (64 columns unless the model prints fewer).
#pragma once

#include <string_view>

namespace imp {

// `with53`: model 53 prints 47 columns; the payment QR code leaves it at the default.
int FiscalWidth(std::string_view model, bool with53 = true);

}  // namespace imp
