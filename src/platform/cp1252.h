// Windows-1252 <-> UTF-8. Inside the module every text is Windows-1252, one byte per printed column;
// UTF-8 exists only at the edges (JSON packets, job files, logs, previews).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace imp::cp1252 {

// Every byte maps to a character (the five undefined bytes 81 8D 8F 90 9D map to the C1 controls of the
// same value), so this never fails.
std::string to_utf8(std::string_view cp1252);

// Text outside Windows-1252, or bytes that are not UTF-8, give nullopt.
std::optional<std::string> from_utf8(std::string_view utf8);

// As from_utf8, but a character outside Windows-1252 becomes '?'. For texts of our own and for logs.
std::string from_utf8_lossy(std::string_view utf8);

// For data values that documents print (packet cells, database texts): a character with no Windows-1252 form,
// or bytes that are not UTF-8, become '?', and a NUL becomes a blank, so one emoji in an observation never
// loses an order. `replaced` (when given) is set to whether anything was replaced.
std::string from_utf8_data(std::string_view utf8, bool* replaced = nullptr);

// A data value as a document prints it: every control character (below 0x20, and 0x7F) becomes a blank, so
// data read from packets or the database can never act as a printer command (ESC p opening the cash drawer).
// The bytes a layout adds itself never pass through here.
std::string printable(std::string_view cp1252);
void make_printable(std::string& cp1252);

}  // namespace imp::cp1252

namespace imp {
// "Mapeamento NÃO realizado"_cp: a UTF-8 literal of the source as a Windows-1252 text.
inline std::string operator""_cp(const char* s, std::size_t n) {
  return cp1252::from_utf8_lossy(std::string_view(s, n));
}
}  // namespace imp
