#include "platform/abi_variant.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/cp1252.h"
#include "platform/error.h"

namespace imp::abi {

namespace {
Variant from_abi(const imp_variant& v, int depth) {
  switch (v.type) {
    case IMP_VT_EMPTY: return Variant();
    case IMP_VT_NULL: return Variant::null();
    case IMP_VT_BOOL: return Variant(v.v.b != 0);
    case IMP_VT_INT: return Variant(static_cast<int32_t>(v.v.i));
    case IMP_VT_DOUBLE: return Variant(v.v.d);
    case IMP_VT_DATETIME: return Variant::date_time(v.v.d);
    case IMP_VT_TEXT:
      if (!v.v.text.ptr || v.v.text.len <= 0) return Variant(std::string());
      return Variant(std::string(v.v.text.ptr, static_cast<std::size_t>(v.v.text.len)));
    case IMP_VT_BYTES:
      if (!v.v.bytes.ptr || v.v.bytes.len <= 0) return Variant::bytes({});
      return Variant::bytes(
          std::string(reinterpret_cast<const char*>(v.v.bytes.ptr), static_cast<std::size_t>(v.v.bytes.len)));
    case IMP_VT_ARRAY: {
      // A host's array nested beyond any job's layout would only exhaust the stack.
      if (depth >= kMaxVariantDepth)
        throw Error("Variant com arrays aninhados além de "_cp + std::to_string(kMaxVariantDepth) +
                    " níveis: recusado"_cp);
      std::vector<Variant> items;
      if (v.v.array.items && v.v.array.count > 0) {
        items.reserve(static_cast<std::size_t>(v.v.array.count));
        for (int32_t i = 0; i < v.v.array.count; ++i) items.push_back(from_abi(v.v.array.items[i], depth + 1));
      }
      return Variant::array(std::move(items));
    }
    default: throw Error("Tipo de variant desconhecido: " + std::to_string(v.type));
  }
}
}  // namespace

Variant from_abi(const imp_variant& v) {
  return from_abi(v, 0);
}

namespace {
void* checked_malloc(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
}  // namespace

void to_abi(const Variant& v, imp_variant* out) {
  std::memset(out, 0, sizeof *out);
  switch (v.type()) {
    case Variant::Type::Empty: out->type = IMP_VT_EMPTY; break;
    case Variant::Type::Null: out->type = IMP_VT_NULL; break;
    case Variant::Type::Bool:
      out->type = IMP_VT_BOOL;
      out->v.b = v.to_bool() ? 1 : 0;
      break;
    case Variant::Type::Int:
      out->type = IMP_VT_INT;
      out->v.i = v.to_int();
      break;
    case Variant::Type::Double:
      out->type = IMP_VT_DOUBLE;
      out->v.d = v.to_double();
      break;
    case Variant::Type::DateTime:
      out->type = IMP_VT_DATETIME;
      out->v.d = v.to_double();
      break;
    case Variant::Type::Text: {
      const auto& s = v.text();
      auto* p = static_cast<char*>(checked_malloc(s.size() + 1));
      std::memcpy(p, s.data(), s.size());
      p[s.size()] = '\0';
      out->type = IMP_VT_TEXT;
      out->v.text.ptr = p;
      out->v.text.len = static_cast<int32_t>(s.size());
      break;
    }
    case Variant::Type::Bytes: {
      const auto& s = v.bytes_value();
      auto* p = static_cast<uint8_t*>(checked_malloc(s.size()));
      std::memcpy(p, s.data(), s.size());
      out->type = IMP_VT_BYTES;
      out->v.bytes.ptr = p;
      out->v.bytes.len = static_cast<int32_t>(s.size());
      break;
    }
    case Variant::Type::Array: {
      const auto& items = v.items();
      auto* p = static_cast<imp_variant*>(checked_malloc(sizeof(imp_variant) * items.size()));
      std::memset(p, 0, sizeof(imp_variant) * items.size());
      out->type = IMP_VT_ARRAY;
      out->v.array.items = p;
      out->v.array.count = static_cast<int32_t>(items.size());
      for (std::size_t i = 0; i < items.size(); ++i) to_abi(items[i], &p[i]);
      break;
    }
  }
}

void clear(imp_variant* v) {
  if (!v) return;
  switch (v->type) {
    case IMP_VT_TEXT: std::free(v->v.text.ptr); break;
    case IMP_VT_BYTES: std::free(v->v.bytes.ptr); break;
    case IMP_VT_ARRAY:
      for (int32_t i = 0; i < v->v.array.count; ++i) clear(&v->v.array.items[i]);
      std::free(v->v.array.items);
      break;
    default: break;
  }
  std::memset(v, 0, sizeof *v);
}

char* dup_text(std::string_view text) {
  auto* p = static_cast<char*>(std::malloc(text.size() + 1));
  if (!p) return nullptr;
  std::memcpy(p, text.data(), text.size());
  p[text.size()] = '\0';
  return p;
}

}  // namespace imp::abi
