#include "support/test_support.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace imp::test {

TempDir::TempDir() {
  auto base = std::filesystem::temp_directory_path() / "imp-test-XXXXXX";
  std::string tmpl = base.string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void write_file(const std::filesystem::path& p, const std::string& content) {
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace imp::test
