// The built libimp00000.so, loaded with dlopen as a host does, with typed access to its entry points.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

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

}  // namespace imp::test
