// Memory that crosses the C ABI: text results and variants written by the module.
#include <cstdlib>

#include "imp00000.h"
#include "platform/abi_variant.h"

extern "C" {
IMP_API void imp_free(void* p) {
  std::free(p);
}
IMP_API void imp_variant_clear(imp_variant* v) {
  imp::abi::clear(v);
}
}
