// Variants across the C ABI: imp_variant (caller- or host-owned) <-> imp::Variant.
#pragma once

#include "imp00000.h"
#include "platform/variant.h"

namespace imp::abi {

// How deep arrays may nest in a value handed in (job arrays nest two or three levels).
inline constexpr int kMaxVariantDepth = 64;

// Copies an imp_variant the caller owns. Throws imp::Error on an unknown type tag and on arrays nested more
// than kMaxVariantDepth levels.
Variant from_abi(const imp_variant& v);
// Fills `out` (assumed empty or garbage) with module-allocated memory: release with imp_variant_clear.
void to_abi(const Variant& v, imp_variant* out);
// Frees what to_abi allocated and leaves the variant empty.
void clear(imp_variant* v);

// A module-allocated NUL-terminated copy of a text (released with imp_free). Never returns NULL.
char* dup_text(std::string_view text);
// The text of a const char* parameter; NULL is the empty text.
inline std::string_view text_arg(const char* s) {
  return s ? std::string_view(s) : std::string_view();
}

}  // namespace imp::abi
