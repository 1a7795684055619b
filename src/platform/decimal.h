// Money must not lose a cent to binary floating point. These routines decide on the decimal value of a
// double (its 15 significant digits, as the runtime prints it), never on the binary noise below them:
// 0.29*100/100 truncates to 0.29 and 2.675 rounds to 2.68.
#pragma once

#include <string>

namespace imp::decimal {

// Digits and exponent of |value| rounded to 15 significant digits: value = 0.DIGITS x 10^exponent.
// A value that is not finite (NaN, infinity) decomposes as zero: callers test std::isfinite first.
struct Decimal15 {
  bool negative = false;
  std::string digits;  // no leading or trailing zeros; empty for zero
  int exponent = 0;

  bool is_zero() const { return digits.empty(); }
};
Decimal15 decompose(double value);

enum class Rounding {
  Truncate,  // toward zero
  HalfAway,  // halves away from zero
  HalfEven,  // halves to the even neighbour
};

// `d` rounded to `places` decimals (a negative count rounds to tens, hundreds ...). A result of zero is
// never negative.
Decimal15 round_decimal(const Decimal15& d, int places, Rounding mode);
// The nearest double to the decimal value.
double to_double(const Decimal15& d);
// Exactly `places` decimals (none when places <= 0), '.' as separator, '-' for a value below zero.
std::string to_fixed(const Decimal15& d, int places);

// Truncated toward zero to `places` decimals.
double truncate(double value, int places);
// Rounded half away from zero to `places` decimals.
double round_half_away(double value, int places);
// Rounded half to even to `places` decimals.
double round_half_even(double value, int places);
// The decimal text of |value| rounded half away from zero to `places` decimals, '.' as separator
// ("2.68"), with its sign; "-0.00" never appears. NaN and infinities give "NAN", "INF" and "-INF".
std::string fixed(double value, int places);

}  // namespace imp::decimal
