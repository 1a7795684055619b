// Variants across the C ABI: a tree of imp_variant values built from the input (any type tag, lengths,
// nesting) is copied in, copied back out and released, or refused with imp::Error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/abi_variant.h"
#include "platform/error.h"

namespace {

class Reader {
 public:
  Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  bool more() const { return i_ < n_; }
  uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
  const uint8_t* take(size_t k, size_t* got) {
    *got = k < n_ - i_ ? k : n_ - i_;
    const uint8_t* p = d_ + i_;
    i_ += *got;
    return p;
  }

 private:
  const uint8_t* d_;
  size_t n_, i_ = 0;
};

// Builds one value; arrays own their items in `store` (never freed by the module: the caller owns inputs).
void build(Reader& r, imp_variant& v, std::vector<std::vector<imp_variant>>& store, int depth) {
  std::memset(&v, 0, sizeof v);
  const uint8_t tag = r.byte();
  v.type = tag % 12;  // a few tags beyond the known ones
  switch (v.type) {
    case IMP_VT_BOOL: v.v.b = r.byte(); break;
    case IMP_VT_INT: v.v.i = static_cast<int32_t>(r.byte() * 16777619u); break;
    case IMP_VT_DOUBLE:
    case IMP_VT_DATETIME: {
      size_t got = 0;
      const uint8_t* p = r.take(sizeof(double), &got);
      std::memcpy(&v.v.d, p, got);
      break;
    }
    case IMP_VT_TEXT:
    case IMP_VT_BYTES: {
      size_t got = 0;
      const uint8_t* p = r.take(r.byte(), &got);
      v.v.text.ptr = const_cast<char*>(reinterpret_cast<const char*>(p));
      v.v.text.len = (tag & 0x80) ? -static_cast<int32_t>(got) : static_cast<int32_t>(got);
      break;
    }
    case IMP_VT_ARRAY: {
      const int count = depth > 80 ? 0 : r.byte() % 4;
      auto& items = store.emplace_back(static_cast<size_t>(count));
      for (int k = 0; k < count && r.more(); ++k) build(r, items[static_cast<size_t>(k)], store, depth + 1);
      v.v.array.items = items.empty() ? nullptr : items.data();
      v.v.array.count = count;
      break;
    }
    default: break;
  }
}

}  // namespace

// The module logs some of what it reads (a replaced character ...): it goes to a host folder that cannot exist,
// so the fuzzer measures the code, not the disk.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("IMP_HOST_DIR", "/proc/imp-fuzz-no-host-folder", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  std::vector<std::vector<imp_variant>> store;
  store.reserve(size + 1);  // items never move while the tree points at them
  imp_variant root;
  build(r, root, store, 0);
  try {
    imp::Variant v = imp::abi::from_abi(root);
    imp_variant out;
    imp::abi::to_abi(v, &out);
    // What comes back out reads the same (numbers may be NaN, which equals nothing).
    const auto t = v.type();
    if (t != imp::Variant::Type::Double && t != imp::Variant::Type::DateTime && t != imp::Variant::Type::Array &&
        !(imp::abi::from_abi(out) == v))
      __builtin_trap();
    imp::abi::clear(&out);
  } catch (const imp::Error&) {
  }
  return 0;
}
