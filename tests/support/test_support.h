// Helpers shared by the tests: temporary host folders and file reading.
#pragma once

#include <filesystem>
#include <string>

namespace imp::test {

// A fresh folder under the system temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& p);
void write_file(const std::filesystem::path& p, const std::string& content);  // creates parent folders

}  // namespace imp::test
