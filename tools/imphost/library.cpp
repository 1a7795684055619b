#include "library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace imphost {

namespace {
constexpr const char* kLibraryName = "libimp00000.so";

template <typename F>
void bind(const Library& lib, F& fn, const char* name) {
  void* p = lib.symbol(name);
  if (!p) throw std::runtime_error(lib.path() + " does not export " + name);
  fn = reinterpret_cast<F>(p);
}
}  // namespace

std::filesystem::path executable_dir() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

Library::Library(const std::string& explicit_path) {
  std::string chosen = explicit_path;
  if (chosen.empty()) {
    if (const char* env = std::getenv("IMP_LIBRARY"); env && *env) chosen = env;
  }
  if (chosen.empty()) {
    std::vector<std::filesystem::path> candidates;
    if (std::filesystem::path dir = executable_dir(); !dir.empty()) candidates.push_back(dir / kLibraryName);
    for (const auto& c : candidates) {
      std::error_code ec;
      if (std::filesystem::is_regular_file(c, ec)) {
        chosen = c.string();
        break;
      }
    }
  }
  // Installed: the library of the same install (imphost's run path) or the loader's search path.
  if (chosen.empty()) chosen = IMP_LIBRARY_SONAME;

  handle_ = dlopen(chosen.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    throw std::runtime_error("cannot load " + chosen + ": " + (why ? why : "unknown error"));
  }
  path_ = chosen;
  bind(*this, initialize, "Initialize");
  bind(*this, finalize, "Finalize");
  bind(*this, set_host_dir, "imp_set_host_dir");
  bind(*this, wait_idle, "imp_wait_idle");
  bind(*this, free, "imp_free");
  bind(*this, variant_clear, "imp_variant_clear");
}

void* Library::symbol(const std::string& name) const {
  dlerror();
  return dlsym(handle_, name.c_str());
}

}  // namespace imphost
