// The built libimp00000.so, loaded with dlopen as a host does, with typed access to its entry points.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "imp00000.h"

namespace imp::test {

class Library {
 public:
  static Library& get() {
    static Library lib;
    return lib;
  }
  template <typename F>
  F fn(const char* name) {
    void* p = dlsym(handle_, name);
    if (!p) ADD_FAILURE() << "not exported: " << name;
    return reinterpret_cast<F>(p);
  }
  bool has(const char* name) { return dlsym(handle_, name) != nullptr; }

 private:
  Library() {
    handle_ = dlopen(IMP_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) ADD_FAILURE() << dlerror();
  }
  void* handle_ = nullptr;
};

// Texts returned by the module, released with imp_free.
inline std::string take_text(char* p) {
  std::string s = p ? p : "";
  Library::get().fn<void (*)(void*)>("imp_free")(p);
  return s;
}

// Values of a job array built by a test; the texts live as long as the object.
class AbiValues {
 public:
  imp_variant text(const std::string& s, int32_t type = IMP_VT_TEXT) {
    const std::string& kept = store_.emplace_back(s);
    imp_variant v{};
    v.type = type;
    v.v.text.ptr = const_cast<char*>(kept.data());
    v.v.text.len = static_cast<int32_t>(kept.size());
    return v;
  }
  imp_variant packet(const std::string& json_text) { return text(json_text, IMP_VT_BYTES); }
  static imp_variant boolean(bool b) {
    imp_variant v{};
    v.type = IMP_VT_BOOL;
    v.v.b = b ? 1 : 0;
    return v;
  }
  static imp_variant null() {
    imp_variant v{};
    v.type = IMP_VT_NULL;
    return v;
  }

 private:
  std::deque<std::string> store_;
};

}  // namespace imp::test
