#include "host/numbers.h"

#include <cmath>

#include "platform/decimal.h"

namespace imp {
namespace {

const char* const kUnits[] = {"", "uno", "dos", "tres", "cuatro", "cinco", "seis", "siete", "ocho", "nueve"};
const char* const kTens[] = {"",          "",        "veinte",  "treinta", "cuarenta",
                             "cincuenta", "sesenta", "setenta", "ochenta", "noventa"};
// Ten to nineteen; "diecis\xE9is" carries the Windows-1252 e with acute accent.
const char* const kTeens[] = {"diez",   "once",         "doce",       "trece",     "catorce",
                              "quince", "diecis\xE9is", "diecisiete", "dieciocho", "diecinueve"};
const char* const kHundreds[] = {"",           "ciento",      "doscientos",  "trescientos", "cuatrocientos",
                                 "quinientos", "seiscientos", "setecientos", "ochocientos", "novecientos"};

void append_word(std::string& text, const std::string& word) {
  if (word.empty()) return;
  if (!text.empty()) text += ' ';
  text += word;
}

// 1..999; 0 gives "". Tens and units are never contracted: 21 reads "veinte y uno".
std::string hundreds_group(int n) {
  if (n <= 0 || n > 999) return {};
  if (n == 100) return "cien";
  std::string text;
  const int h = n / 100;
  const int t = n % 100 / 10;
  const int u = n % 10;
  if (h > 0) text = kHundreds[h];
  if (t == 1) {
    append_word(text, kTeens[u]);
  } else if (t > 1) {
    std::string tens = kTens[t];
    if (u > 0) tens += std::string(" y ") + kUnits[u];
    append_word(text, tens);
  } else if (u > 0) {
    append_word(text, kUnits[u]);
  }
  return text;
}

// 0..999999.
std::string thousands_reading(int64_t m) {
  std::string text;
  const int k = static_cast<int>(m / 1000);
  if (k == 1)
    text = "mil";
  else if (k > 1)
    text = hundreds_group(k) + " mil";
  append_word(text, hundreds_group(static_cast<int>(m % 1000)));
  return text;
}

// 0..999999999999.
std::string integer_reading(int64_t i) {
  std::string text;
  const int64_t millions = i / 1000000;
  if (millions == 1)
    text = "un millon";
  else if (millions > 1)
    text = thousands_reading(millions) + " millones";
  append_word(text, thousands_reading(i % 1000000));
  return text;
}

}  // namespace

std::string NumeroEnLetras(double amount) {
  if (!std::isfinite(amount) || amount < 0) return {};
  // Whole part and cents from the decimal value, cents rounded half to even; a carry goes into the
  // whole part (0.995 reads "uno", not "cero coma cien").
  using decimal::Rounding;
  const std::string fixed =
      decimal::to_fixed(decimal::round_decimal(decimal::decompose(amount), 2, Rounding::HalfEven), 2);
  const std::size_t point = fixed.find('.');
  const std::string whole = fixed.substr(0, point);
  if (whole.size() > 12) return {};
  const int64_t i = std::stoll(whole);
  const int c = std::stoi(fixed.substr(point + 1));

  std::string text = i == 0 ? std::string("cero") : integer_reading(i);
  if (c > 0) {
    text += " coma ";
    text += c > 9 ? hundreds_group(c) : std::string(kUnits[c]);
  }
  for (auto& ch : text)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return text;
}

int32_t MDC(int32_t a, int32_t b) {
  while (b != 0) {
    // a % -1 is 0, but INT32_MIN % -1 overflows in the machine's division.
    const int32_t r = (b == -1 || b == 1) ? 0 : a % b;
    a = b;
    b = r;
  }
  return a;
}

std::string formataCPFCNPJ(std::string_view s) {
  // 1-based position and length of a piece; positions beyond the end give empty pieces.
  auto piece = [s](std::size_t from, std::size_t count) {
    if (from - 1 >= s.size()) return std::string_view();
    return s.substr(from - 1, count);
  };
  std::string out;
  if (s.size() == 11) {
    out.append(piece(1, 3)).append(".").append(piece(4, 3)).append(".").append(piece(7, 3));
    out.append("-").append(piece(10, 2));
  } else {
    out.append(piece(1, 2)).append(".").append(piece(3, 3)).append(".").append(piece(6, 3));
    out.append("/").append(piece(9, 4)).append("-").append(piece(13, 2));
  }
  return out;
}

}  // namespace imp
