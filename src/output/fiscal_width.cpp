#include "output/fiscal_width.h"

#include "output/models.h"

namespace imp {

int FiscalWidth(std::string_view model, bool with53) {
  using models::one_of;
  const int code = models::code_of(model);
  if (code == 10) return 57;
  if (code == 16) return 64;
  if (one_of(code, {17, 36, 19})) return 56;
  if (code == 20) return 59;
  if (code == 21) return 50;
  if (code == 23) return 60;
  if (code == 24) return 63;
  if (one_of(code, {14, 35})) return 54;
  if (code == 29) return 40;
  if (code == 34) return 48;
  if (one_of(code, {42, 45}) || (with53 && code == 53)) return 47;
  return 64;
}

}  // namespace imp
