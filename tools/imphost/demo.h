// `imphost demo`: sets up a demo host folder (configuration and the demo restaurant's database Dados/imp.db),
// runs the example jobs and previews what they printed (its text, and the receipt drawn as FILE.preview.png
// beside each printed file); then the same for the station of each other country.
#pragma once

#include <filesystem>
#include <map>
#include <ostream>
#include <string>

#include "library.h"

namespace imphost {

struct DemoOptions {
  std::filesystem::path host_dir;
  // Holds demo-host/imphost.json and jobs/*.json, and countries/<name>/ (imphost.json and jobs/*.json): the
  // stations of other countries, each run in a host folder of its own, countries/<name> below host_dir.
  std::filesystem::path examples_dir;
  std::filesystem::path db_dir;  // holds schema.sql and demo.sql
};

// Writes the demo database afresh at `target` from `db_dir`/schema.sql and `db_dir`/demo.sql. The new database
// replaces the old one only once it is complete. Throws std::runtime_error naming the file that failed.
void create_demo_database(const std::filesystem::path& db_dir, const std::filesystem::path& target);

// Returns the exit code: 0 when every example job ran.
int run_demo(const Library& lib, const DemoOptions& options, std::ostream& out, std::ostream& err);

// Printer output as a reader sees it: Windows-1252 shown as UTF-8, line feeds kept, every other control
// byte (and each byte Windows-1252 leaves undefined) written as <1B>.
std::string printable(std::string_view bytes);

// Sizes of the files below `dir`, to show later only what was written since.
std::map<std::filesystem::path, std::uintmax_t> file_sizes(const std::filesystem::path& dir);

}  // namespace imphost
