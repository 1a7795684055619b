// Decimal rounding on the 15-significant-digit value of a double.
#include "platform/decimal.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace imp::decimal {
namespace {

Decimal15 zero() {
  return Decimal15{};
}

// Drops trailing zeros; an all-zero result becomes the canonical zero.
Decimal15 normalised(bool negative, std::string digits, int exponent) {
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  std::size_t lead = 0;
  while (lead < digits.size() && digits[lead] == '0') ++lead;
  if (lead == digits.size()) return zero();
  digits.erase(0, lead);
  exponent -= static_cast<int>(lead);
  return Decimal15{negative, std::move(digits), exponent};
}

std::string not_finite_text(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

}  // namespace

Decimal15 decompose(double value) {
  if (!std::isfinite(value) || value == 0) return zero();
  // d.dddddddddddddde±x: 15 significant digits, correctly rounded, independent of the C locale.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
  std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
  std::size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e))
    if (c != '.') digits += c;
  int exp10 = 0;
  std::string_view ex = text.substr(e + 1);
  if (!ex.empty() && ex.front() == '+') ex.remove_prefix(1);
  std::from_chars(ex.data(), ex.data() + ex.size(), exp10);
  // d.ddd x 10^x == 0.dddd x 10^(x+1)
  return normalised(value < 0, std::move(digits), exp10 + 1);
}

Decimal15 round_decimal(const Decimal15& d, int places, Rounding mode) {
  if (d.is_zero()) return zero();
  long keep_l = static_cast<long>(d.exponent) + places;
  if (keep_l >= static_cast<long>(d.digits.size())) return d;
  // Fewer than zero digits kept: the value is below a tenth of the last place, so it goes to zero.
  if (keep_l < 0) return zero();
  std::size_t keep = static_cast<std::size_t>(keep_l);
  std::string kept = d.digits.substr(0, keep);
  char next = d.digits[keep];
  bool more = d.digits.size() > keep + 1;  // digits are stored without trailing zeros
  bool up = false;
  switch (mode) {
    case Rounding::Truncate: up = false; break;
    case Rounding::HalfAway: up = next >= '5'; break;
    case Rounding::HalfEven:
      if (next > '5' || (next == '5' && more))
        up = true;
      else if (next == '5')
        up = !kept.empty() && ((kept.back() - '0') % 2 == 1);
      break;
  }
  int exponent = d.exponent;
  if (up) {
    std::size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') {
      kept[i - 1] = '0';
      --i;
    }
    if (i == 0) {
      kept.insert(kept.begin(), '1');
      ++exponent;
    } else {
      ++kept[i - 1];
    }
  }
  return normalised(d.negative, std::move(kept), exponent);
}

double to_double(const Decimal15& d) {
  if (d.is_zero()) return 0.0;
  std::string text =
      d.digits + "e" + std::to_string(static_cast<long>(d.exponent) - static_cast<long>(d.digits.size()));
  double v = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec == std::errc::result_out_of_range) v = d.exponent > 0 ? HUGE_VAL : 0.0;
  return d.negative ? -v : v;
}

std::string to_fixed(const Decimal15& d, int places) {
  if (places < 0) places = 0;
  std::string out;
  auto digit_at = [&](long index) -> char {
    return index >= 0 && index < static_cast<long>(d.digits.size()) ? d.digits[static_cast<std::size_t>(index)] : '0';
  };
  if (d.exponent <= 0) {
    out.push_back('0');
  } else {
    for (long i = 0; i < d.exponent; ++i) out += digit_at(i);
  }
  if (places > 0) {
    out += '.';
    for (long j = 0; j < places; ++j) out += digit_at(d.exponent + j);
  }
  bool shows_nonzero = out.find_first_of("123456789") != std::string::npos;
  if (d.negative && shows_nonzero) out.insert(out.begin(), '-');
  return out;
}

double truncate(double value, int places) {
  if (!std::isfinite(value)) return value;
  return to_double(round_decimal(decompose(value), places, Rounding::Truncate));
}

double round_half_away(double value, int places) {
  if (!std::isfinite(value)) return value;
  return to_double(round_decimal(decompose(value), places, Rounding::HalfAway));
}

double round_half_even(double value, int places) {
  if (!std::isfinite(value)) return value;
  return to_double(round_decimal(decompose(value), places, Rounding::HalfEven));
}

std::string fixed(double value, int places) {
  if (!std::isfinite(value)) return not_finite_text(value);
  return to_fixed(round_decimal(decompose(value), places, Rounding::HalfAway), places);
}

}  // namespace imp::decimal
