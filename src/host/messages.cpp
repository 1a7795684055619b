#include "host/messages.h"

#include <cctype>

namespace imp {
namespace {
std::string upper(std::string_view s) {
  std::string u(s);
  for (auto& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}
}  // namespace

TMessages::TMessages(std::initializer_list<std::string> lines) : lines_(lines) {
  index();
}
TMessages::TMessages(std::vector<std::string> lines) : lines_(std::move(lines)) {
  index();
}

void TMessages::SetMessages(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  index();
}

void TMessages::index() {
  by_key_.clear();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    auto bar = lines_[i].find('|');
    if (bar == std::string::npos) continue;
    by_key_.emplace(upper(std::string_view(lines_[i]).substr(0, bar)), i);  // emplace keeps the first
  }
}

std::string TMessages::Msg(std::string_view key) const {
  auto it = by_key_.find(upper(key));
  if (it == by_key_.end()) return {};
  const auto& line = lines_[it->second];
  return line.substr(line.find('|') + 1);
}

}  // namespace imp
