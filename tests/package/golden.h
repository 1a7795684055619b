// What reached the printers compared byte for byte with the expected files kept next to the tests. On a
// mismatch the test fails with the first differing lines shown readably, and the actual files are written to
// <folder>/<case>/ next to the test binary, ready to be reviewed and kept.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "support/test_support.h"

namespace imp::test {

using Files = std::map<std::string, std::string>;  // path below the folder -> content

// Control bytes by name, the rest as UTF-8; one line per printed line.
inline std::string readable(const std::string& cp) {
  static const std::map<unsigned char, const char*> names = {{0x00, "NUL"}, {0x0D, "CR"},  {0x0E, "SO"},  {0x0F, "SI"},
                                                             {0x10, "DLE"}, {0x12, "DC2"}, {0x1B, "ESC"}, {0x1D, "GS"}};
  std::string out;
  for (char ch : cp) {
    const auto c = static_cast<unsigned char>(ch);
    if (auto it = names.find(c); it != names.end()) {
      out += std::string("<") + it->second + ">";
    } else if (c < 0x20 && c != '\n') {
      out += "<" + std::to_string(c) + ">";
    } else {
      out += cp1252::to_utf8(std::string(1, ch));
    }
  }
  return out;
}

inline std::vector<std::string> lines_of(const std::string& s) {
  std::vector<std::string> lines;
  std::istringstream in(s);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The first lines where the two files part, readably, with a little context.
inline std::string diff(const std::string& expected, const std::string& actual) {
  const auto e = lines_of(readable(expected)), a = lines_of(readable(actual));
  std::size_t at = 0;
  while (at < e.size() && at < a.size() && e[at] == a[at]) ++at;
  std::ostringstream out;
  out << "first difference at line " << at + 1 << ":\n";
  for (std::size_t i = at >= 2 ? at - 2 : 0; i < std::max(e.size(), a.size()) && i < at + 4; ++i) {
    if (i < at || (i < e.size() && i < a.size() && e[i] == a[i])) {
      out << "    " << e[i] << "\n";
      continue;
    }
    out << "  - " << (i < e.size() ? e[i] : "<no line>") << "\n";
    out << "  + " << (i < a.size() ? a[i] : "<no line>") << "\n";
  }
  out << "actual file:\n" << readable(actual);
  return out.str();
}

inline Files files_below(const std::filesystem::path& dir) {
  Files files;
  if (!std::filesystem::is_directory(dir)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (entry.is_regular_file())
      files[std::filesystem::relative(entry.path(), dir).generic_string()] = read_file(entry.path());
  return files;
}

// Every file of `expected` must be in `actual` with the same bytes, and `actual` must hold nothing else.
inline void expect_same_files(const std::filesystem::path& expected, const std::filesystem::path& actual,
                              const std::string& folder, const std::string& name) {
  const Files want = files_below(expected), got = files_below(actual);
  bool same = true;
  for (const auto& [file, content] : want) {
    auto it = got.find(file);
    if (it == got.end()) {
      ADD_FAILURE() << file << ": nothing reached this printer";
      same = false;
    } else if (it->second != content) {
      ADD_FAILURE() << file << ": " << diff(content, it->second);
      same = false;
    }
  }
  for (const auto& [file, content] : got)
    if (!want.count(file)) {
      ADD_FAILURE() << file << ": not expected, received:\n" << readable(content);
      same = false;
    }
  if (!same) {
    const auto out = std::filesystem::read_symlink("/proc/self/exe").parent_path() / folder / name;
    std::filesystem::remove_all(out);
    for (const auto& [file, content] : got) write_file(out / file, content);
    ADD_FAILURE() << "the actual files are in " << out;
  }
}

}  // namespace imp::test
