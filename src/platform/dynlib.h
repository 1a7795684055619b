// The makers' printer libraries: a Windows library name ("Mp2032.dll") is the shared object lib<Name>.so,
// looked for in the folders of $IMP_DRIVER_PATH (separated by ':'), then beside this module, then on the
// system's library path.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace imp::dynlib {

// "Mp2032.dll" -> "libMp2032.so".
std::string file_name_of(std::string_view dll);
// The library loaded, or nullptr when it cannot be found or loaded.
void* load(std::string_view dll);
void* symbol(void* handle, const char* name);  // nullptr when the library lacks it
void unload(void* handle);

// The file a loaded library came from, its links followed ("" when unknown).
std::filesystem::path real_file(void* handle);

// The four parts of a library's file version, from the real file's name: libSI300.so.3.0.11.0 is 3.0.11.0;
// missing parts are 0, a file without a version is 0.0.0.0.
using Version = std::array<int, 4>;
Version version_of(const std::filesystem::path& file);
// The parts written one after another and read as one number (3.0.11.0 is 30110), as the version is logged.
long long version_number(const Version& v);

}  // namespace imp::dynlib
