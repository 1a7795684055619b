// Printer model codes as the output layer reads them, and the small text tests its routes make.
#pragma once

#include <cctype>
#include <initializer_list>
#include <string>
#include <string_view>

namespace imp::models {

// A model code as a number; an empty code is "00". -1 when the code is not a number.
inline int code_of(std::string_view model) {
  std::string t;
  for (char c : model)
    if (c != ' ') t.push_back(c);
  if (t.empty()) return 0;
  if (t.size() > 9) return -1;
  for (char c : t)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  return std::stoi(t);
}

inline bool one_of(int code, std::initializer_list<int> codes) {
  for (int c : codes)
    if (c == code) return true;
  return false;
}

inline bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}
inline bool contains(std::string_view s, std::string_view part) {
  return s.find(part) != std::string_view::npos;
}

// The device families of the model codes 0 to 54; every other code selects no device.
enum class Family { None, Mp2032, Daruma, Epson, SI300, Windows, Kiosk, IT433TD };

inline Family family_of(int code) {
  if (one_of(code, {4, 13, 21, 28, 34, 42, 45})) return Family::Mp2032;
  if (one_of(code, {10, 22})) return Family::Daruma;
  if (one_of(code, {14, 16, 19, 33, 35})) return Family::Epson;
  if (one_of(code, {17, 36})) return Family::SI300;
  if (one_of(code, {18, 23, 29, 30, 32, 41, 43, 44, 53, 54})) return Family::Windows;
  if (code == 20) return Family::Kiosk;
  if (code == 24) return Family::IT433TD;
  return Family::None;
}

// The Windows printers that print every text as a bitmap page.
inline bool bitmap_model(int code) {
  return one_of(code, {29, 41, 44});
}

}  // namespace imp::models
