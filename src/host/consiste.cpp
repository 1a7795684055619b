#include "host/consiste.h"

#include <array>

#include "platform/clock.h"
#include "platform/decimal.h"
#include "platform/rtl.h"

namespace imp {
namespace {

std::size_t width_of(int width) {
  return width < 0 ? 0 : static_cast<std::size_t>(width);
}

// Plain letter for every byte of Windows-1252 (the byte itself when it is not an accented letter).
constexpr std::array<unsigned char, 256> make_plain_table() {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
  auto range = [&t](int from, int to, char plain) {
    for (int i = from; i <= to; ++i) t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(plain);
  };
  range(0xC0, 0xC5, 'A');  // À Á Â Ã Ä Å
  range(0xE0, 0xE5, 'a');
  range(0xC7, 0xC7, 'C');  // Ç
  range(0xE7, 0xE7, 'c');
  range(0xC8, 0xCB, 'E');  // È É Ê Ë
  range(0xE8, 0xEB, 'e');
  range(0xCC, 0xCF, 'I');  // Ì Í Î Ï
  range(0xEC, 0xEF, 'i');
  range(0xD1, 0xD1, 'N');  // Ñ
  range(0xF1, 0xF1, 'n');
  range(0xD2, 0xD6, 'O');  // Ò Ó Ô Õ Ö
  range(0xF2, 0xF6, 'o');
  range(0xD8, 0xD8, 'O');  // Ø
  range(0xF8, 0xF8, 'o');
  range(0xD9, 0xDC, 'U');  // Ù Ú Û Ü
  range(0xF9, 0xFC, 'u');
  range(0xDD, 0xDD, 'Y');  // Ý
  range(0xFD, 0xFD, 'y');
  range(0xFF, 0xFF, 'y');  // ÿ
  range(0x9F, 0x9F, 'Y');  // Ÿ
  range(0x8A, 0x8A, 'S');  // Š
  range(0x9A, 0x9A, 's');
  range(0x8E, 0x8E, 'Z');  // Ž
  range(0x9E, 0x9E, 'z');
  return t;
}
constexpr auto kPlain = make_plain_table();

}  // namespace

std::string Centraliza(std::string_view text, int width) {
  if (width < 0) return std::string(text);  // as a text wider than the width: kept whole
  const std::size_t w = width_of(width);
  if (text.size() >= w) return std::string(text);
  const std::size_t blanks = w - text.size();
  const std::size_t left = blanks / 2;
  std::string out(left, ' ');
  out += text;
  out.append(blanks - left, ' ');
  return out;
}

std::string PadL(std::string_view text, int width) {
  if (width < 0) return std::string(text);  // as a text wider than the width: kept whole
  const std::size_t w = width_of(width);
  if (text.size() >= w) return std::string(text);
  std::string out(w - text.size(), ' ');
  out += text;
  return out;
}

std::string PadR(std::string_view text, int width) {
  if (width < 0) return std::string(text);  // as a text wider than the width: kept whole
  const std::size_t w = width_of(width);
  std::string out(text);
  if (out.size() < w) out.append(w - out.size(), ' ');
  return out;
}

std::string TamFixo(std::string_view text, int width) {
  const std::size_t w = width_of(width);
  std::string out(text.substr(0, w));
  out.append(w - out.size(), ' ');
  return out;
}

std::string TamFixoR(std::string_view text, int width) {
  const std::size_t w = width_of(width);
  if (text.size() >= w) return std::string(text.substr(0, w));
  std::string out(w - text.size(), ' ');
  out += text;
  return out;
}

std::string Replicate(std::string_view text, int count) {
  std::string out;
  if (count <= 0 || text.empty()) return out;
  out.reserve(text.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

std::string Replicate(char c, int count) {
  return std::string(width_of(count), c);
}

std::string Right(std::string_view text, int count) {
  const std::size_t n = width_of(count);
  if (text.size() <= n) return std::string(text);
  return std::string(text.substr(text.size() - n));
}

std::string Ajusta(std::string_view text, int width) {
  if (width < 0) return std::string(text);  // as a text wider than the width: kept whole
  const std::size_t w = width_of(width);
  if (text.size() >= w) return std::string(text);
  std::string out(w - text.size(), '0');
  out += text;
  return out;
}

std::string RemoveAcentos(std::string_view text) {
  std::string out(text);
  for (auto& c : out) c = static_cast<char>(kPlain[static_cast<unsigned char>(c)]);
  return out;
}

bool EmptyString(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

Variant iif(bool condition, const Variant& if_true, const Variant& if_false) {
  return condition ? if_true : if_false;
}

double Trunc2(double value) {
  return decimal::truncate(value, 2);
}

double RoundDec(double value, int decimals) {
  return decimal::round_half_away(value, decimals);
}

double PriDiaMes(double date) {
  const DateTimeParts p = DecodeDateTime(date);
  return EncodeDate(p.year, p.month, 1);
}

void Delay(int count) {
  clock::pause_ms(count * 100);
}

}  // namespace imp
