// libimp00000.so, loaded at run time as a till loads it: dlopen, then entry points by name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "imp00000.h"

namespace imphost {

class Library {
 public:
  // Loads the library from `explicit_path` when it is not empty, else from $IMP_LIBRARY, else from
  // libimp00000.so next to imphost, else from the build tree imphost was built in, else through the
  // system search path. Throws std::runtime_error with dlopen's message when none loads.
  explicit Library(const std::string& explicit_path);
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // The entry point of that name, or nullptr when the library does not export it.
  void* symbol(const std::string& name) const;
  const std::string& path() const { return path_; }

  // The package frame and memory services every host needs.
  void (*initialize)() = nullptr;
  void (*finalize)() = nullptr;
  void (*set_host_dir)(const char*) = nullptr;
  int32_t (*wait_idle)(int32_t) = nullptr;
  void (*free)(void*) = nullptr;
  void (*variant_clear)(imp_variant*) = nullptr;

 private:
  void* handle_ = nullptr;  // never closed: the process ends with the library loaded, as a till does
  std::string path_;
};

// The folder of the running imphost executable.
std::filesystem::path executable_dir();

}  // namespace imphost
