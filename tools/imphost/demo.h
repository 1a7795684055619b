// `imphost demo`: sets up a demo host folder, runs the example jobs and previews what they printed.
#pragma once

#include <filesystem>
#include <map>
#include <ostream>
#include <string>

#include "library.h"

namespace imphost {

struct DemoOptions {
  std::filesystem::path host_dir;
  std::filesystem::path examples_dir;  // holds demo-host/imphost.json and jobs/*.json
};

// Returns the exit code: 0 when every example job ran.
int run_demo(const Library& lib, const DemoOptions& options, std::ostream& out, std::ostream& err);

// Printer output as a reader sees it: Windows-1252 shown as UTF-8, line feeds kept, every other control
// byte (and each byte Windows-1252 leaves undefined) written as <1B>.
std::string printable(std::string_view bytes);

// Sizes of the files below `dir`, to show later only what was written since.
std::map<std::filesystem::path, std::uintmax_t> file_sizes(const std::filesystem::path& dir);

}  // namespace imphost
