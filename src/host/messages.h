// Caption tables: a list of "KEY|TEXT" lines looked up by key.
// A key that occurs twice: the first line wins. Keys match regardless of case (callers ask for "DATA1" where
// the table holds "Data1"). An unknown key gives the empty text.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace imp {

class TMessages {
 public:
  TMessages() = default;
  TMessages(std::initializer_list<std::string> lines);
  explicit TMessages(std::vector<std::string> lines);

  // The caption of `key`, or "" when the table has no such key.
  std::string Msg(std::string_view key) const;
  const std::vector<std::string>& Messages() const { return lines_; }
  void SetMessages(std::vector<std::string> lines);

 private:
  void index();
  std::vector<std::string> lines_;
  std::unordered_map<std::string, std::size_t> by_key_;  // upper-cased key -> line
};

}  // namespace imp
