// Number and date texts in the runtime's manner, with the host's format settings. Numbers are decided on
// their 15-significant-digit decimal value (platform/decimal.h), so money never shows binary noise.
#include "platform/rtl.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <vector>

#include "platform/decimal.h"
#include "platform/error.h"
#include "platform/job.h"

namespace imp {
namespace {

std::mutex g_fs_mutex;
FormatSettings g_fs;

bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char first_non_letter(const std::string& pattern, char fallback) {
  bool quoted = false;
  for (char c : pattern) {
    if (c == '\'' || c == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && !is_ascii_letter(c)) return c;
  }
  return fallback;
}

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

std::string not_finite_text(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

// ---- FormatFloat ----

// One section of a number pattern, split into placeholders and literal text.
struct PatternItem {
  enum Kind { Zero, Hash, Point, Comma, Literal } kind;
  std::string text;  // Literal only
};

std::vector<PatternItem> parse_section(std::string_view section) {
  std::vector<PatternItem> items;
  bool seen_point = false;
  for (std::size_t i = 0; i < section.size(); ++i) {
    char c = section[i];
    switch (c) {
      case '0': items.push_back({PatternItem::Zero, {}}); break;
      case '#': items.push_back({PatternItem::Hash, {}}); break;
      case ',': items.push_back({PatternItem::Comma, {}}); break;
      case '.':
        // Only the first point is the decimal point; further ones are dropped, as the runtime does.
        if (!seen_point) items.push_back({PatternItem::Point, {}});
        seen_point = true;
        break;
      case '\'':
      case '"': {
        std::size_t close = section.find(c, i + 1);
        if (close == std::string_view::npos) close = section.size();
        items.push_back({PatternItem::Literal, std::string(section.substr(i + 1, close - i - 1))});
        i = close;
        break;
      }
      default: items.push_back({PatternItem::Literal, std::string(1, c)});
    }
  }
  return items;
}

// Splits on ';' outside quotes.
std::vector<std::string_view> split_sections(std::string_view pattern) {
  std::vector<std::string_view> out;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';') {
      out.push_back(pattern.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(pattern.substr(start));
  return out;
}

struct SectionShape {
  int int_places = 0;   // '0' and '#' before the point
  int min_int = 0;      // integer digits always shown (from the first '0' on)
  int frac_places = 0;  // '0' and '#' after the point
  int min_frac = 0;     // decimals always shown (up to the last '0')
  bool thousands = false;
};

SectionShape shape_of(const std::vector<PatternItem>& items) {
  SectionShape s;
  bool after_point = false;
  int first_zero = -1;
  for (const auto& it : items) {
    switch (it.kind) {
      case PatternItem::Zero:
      case PatternItem::Hash:
        if (after_point) {
          ++s.frac_places;
          if (it.kind == PatternItem::Zero) s.min_frac = s.frac_places;
        } else {
          if (it.kind == PatternItem::Zero && first_zero < 0) first_zero = s.int_places;
          ++s.int_places;
        }
        break;
      case PatternItem::Point: after_point = true; break;
      case PatternItem::Comma:
        if (!after_point) s.thousands = true;
        break;
      case PatternItem::Literal: break;
    }
  }
  if (first_zero >= 0) s.min_int = s.int_places - first_zero;
  return s;
}

// Lays out |rounded| (already rounded to the section's decimals) in the section.
std::string render_section(const std::vector<PatternItem>& items, const SectionShape& shape,
                           const decimal::Decimal15& rounded, bool minus, const FormatSettings& fs) {
  std::string text = decimal::to_fixed(rounded, shape.frac_places);
  if (!text.empty() && text.front() == '-') text.erase(0, 1);
  std::size_t point = text.find('.');
  std::string int_digits = text.substr(0, point);
  std::string frac = point == std::string::npos ? std::string() : text.substr(point + 1);
  // Integer digits: no leading zeros beyond what the '0' placeholders ask for.
  std::size_t lead = int_digits.find_first_not_of('0');
  int_digits = lead == std::string::npos ? std::string() : int_digits.substr(lead);
  if (static_cast<int>(int_digits.size()) < shape.min_int)
    int_digits.insert(0, static_cast<std::size_t>(shape.min_int) - int_digits.size(), '0');
  while (static_cast<int>(frac.size()) > shape.min_frac && frac.back() == '0') frac.pop_back();

  const long digit_count = static_cast<long>(int_digits.size());
  std::string out;
  if (minus) out += '-';
  auto emit_int_digit = [&](long k) {
    out += int_digits[static_cast<std::size_t>(k)];
    long remaining = digit_count - 1 - k;
    if (shape.thousands && remaining > 0 && remaining % 3 == 0) out += fs.thousandSeparator;
  };
  // Placeholders are filled from the right; digits beyond them all go out at the first placeholder.
  const long offset = shape.int_places - digit_count;
  long int_pos = 0;
  long frac_pos = 0;
  bool after_point = false;
  bool int_flushed = false;
  auto flush_leading = [&](long upto) {
    if (int_flushed) return;
    int_flushed = true;
    for (long k = 0; k < upto; ++k) emit_int_digit(k);
  };
  for (const auto& it : items) {
    switch (it.kind) {
      case PatternItem::Zero:
      case PatternItem::Hash:
        if (!after_point) {
          if (int_pos == 0) flush_leading(offset < 0 ? -offset : 0);
          long k = int_pos - offset;
          if (k >= 0) emit_int_digit(k);
          ++int_pos;
        } else {
          if (frac_pos < static_cast<long>(frac.size())) out += frac[static_cast<std::size_t>(frac_pos)];
          ++frac_pos;
        }
        break;
      case PatternItem::Point:
        if (shape.int_places == 0) flush_leading(digit_count);
        after_point = true;
        if (!frac.empty()) out += fs.decimalSeparator;
        break;
      case PatternItem::Comma: break;
      case PatternItem::Literal: out += it.text; break;
    }
  }
  return out;
}

// General form: up to 15 significant digits, exponent form for very large or very small magnitudes.
std::string general_text(double value, const FormatSettings& fs) {
  if (!std::isfinite(value)) return not_finite_text(value);
  decimal::Decimal15 d = decimal::decompose(value);
  if (d.is_zero()) return "0";
  std::string out = d.negative ? "-" : "";
  const int sci = d.exponent - 1;
  if (sci >= 15 || sci < -4) {
    out += d.digits[0];
    if (d.digits.size() > 1) {
      out += fs.decimalSeparator;
      out += d.digits.substr(1);
    }
    out += 'E';
    out += std::to_string(sci);
    return out;
  }
  if (d.exponent <= 0) {
    out += '0';
    out += fs.decimalSeparator;
    out.append(static_cast<std::size_t>(-d.exponent), '0');
    out += d.digits;
    return out;
  }
  const auto e = static_cast<std::size_t>(d.exponent);
  if (d.digits.size() <= e) {
    out += d.digits;
    out.append(e - d.digits.size(), '0');
  } else {
    out += d.digits.substr(0, e);
    out += fs.decimalSeparator;
    out += d.digits.substr(e);
  }
  return out;
}

// ---- dates ----

void append_number(std::string& out, int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  out += buf;
}

// Parses an unsigned run of digits at `pos`; false when there is none or it is too long.
bool read_number(std::string_view s, std::size_t& pos, int& value, std::size_t max_digits) {
  std::size_t start = pos;
  value = 0;
  while (pos < s.size() && is_digit(s[pos]) && pos - start < max_digits) value = value * 10 + (s[pos++] - '0');
  return pos > start && (pos >= s.size() || !is_digit(s[pos]));
}

bool valid_date(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int dim[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= (m == 2 && leap ? 29 : dim[m - 1]);
}

// The order of day, month and year in a short date pattern ("dmy", "mdy", "ymd" ...).
std::string date_order(const std::string& pattern) {
  std::string order;
  for (char c : pattern) {
    char u = upper(c);
    if ((u == 'D' || u == 'M' || u == 'Y') && order.find(static_cast<char>(u)) == std::string::npos) order += u;
  }
  return order.size() == 3 ? order : "DMY";
}

}  // namespace

char FormatSettings::dateSeparator() const {
  return first_non_letter(shortDate, '/');
}
char FormatSettings::timeSeparator() const {
  return first_non_letter(shortTime, ':');
}

FormatSettings current_format() {
  if (const job::Context* ctx = job::current(); ctx && ctx->format) return *ctx->format;
  std::lock_guard lk(g_fs_mutex);
  return g_fs;
}
void set_current_format(const FormatSettings& fs) {
  std::lock_guard lk(g_fs_mutex);
  g_fs = fs;
}

// ---- numbers ----

std::string FormatFloat(std::string_view pattern, double value, const FormatSettings& fs) {
  if (!std::isfinite(value)) return not_finite_text(value);
  if (pattern.empty()) return general_text(value, fs);
  const auto sections = split_sections(pattern);
  const decimal::Decimal15 d = decimal::decompose(value);

  auto first_items = parse_section(sections[0]);
  auto first_shape = shape_of(first_items);
  auto first_rounded = decimal::round_decimal(d, first_shape.frac_places, decimal::Rounding::HalfAway);

  // Sections: positive;negative;zero. A missing or empty section falls back to the first one.
  if (first_rounded.is_zero() && sections.size() >= 3 && !sections[2].empty()) {
    auto items = parse_section(sections[2]);
    auto shape = shape_of(items);
    return render_section(items, shape, decimal::round_decimal(d, shape.frac_places, decimal::Rounding::HalfAway),
                          false, fs);
  }
  if (d.negative && sections.size() >= 2 && !sections[1].empty()) {
    auto items = parse_section(sections[1]);
    auto shape = shape_of(items);
    return render_section(items, shape, decimal::round_decimal(d, shape.frac_places, decimal::Rounding::HalfAway),
                          false, fs);
  }
  return render_section(first_items, first_shape, first_rounded, d.negative && !first_rounded.is_zero(), fs);
}
std::string FormatFloat(std::string_view pattern, double value) {
  return FormatFloat(pattern, value, current_format());
}

std::string FloatToStr(double value, const FormatSettings& fs) {
  return general_text(value, fs);
}
std::string FloatToStr(double value) {
  return FloatToStr(value, current_format());
}

std::string FloatToStrF(double value, int precision, int digits, const FormatSettings& fs) {
  if (!std::isfinite(value)) return not_finite_text(value);
  if (precision < 1) precision = 1;
  if (precision > 15) precision = 15;
  if (digits < 0) digits = 0;
  if (digits > 18) digits = 18;
  decimal::Decimal15 d = decimal::decompose(value);
  // More integer digits than the precision can show: the runtime falls back to exponent form.
  if (d.exponent > precision) return general_text(value, fs);
  // One rounding to whichever is shorter: the significant digits or the decimals.
  int places = std::min(precision - d.exponent, digits);
  std::string text = decimal::to_fixed(decimal::round_decimal(d, places, decimal::Rounding::HalfAway), digits);
  for (auto& c : text)
    if (c == '.') c = fs.decimalSeparator;
  return text;
}
std::string FloatToStrF(double value, int precision, int digits) {
  return FloatToStrF(value, precision, digits, current_format());
}

std::string FormatCurrency(double value, int digits, const FormatSettings& fs) {
  if (!std::isfinite(value)) return not_finite_text(value);
  digits = std::clamp(digits, 0, 18);
  // '$' stands for the symbol, '1' for the amount.
  static const char* const kPositive[] = {"$1", "1$", "$ 1", "1 $"};
  static const char* const kNegative[] = {"($1)", "-$1",  "$-1",  "$1-",  "(1$)", "-1$",  "1-$",   "1$-",
                                          "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)"};
  const std::string pattern = digits > 0 ? "#,##0." + std::string(static_cast<std::size_t>(digits), '0') : "#,##0";
  const std::string amount = FormatFloat(pattern, std::fabs(value), fs);
  const bool negative =
      value < 0 && !decimal::round_decimal(decimal::decompose(value), digits, decimal::Rounding::HalfAway).is_zero();
  const FormatSettings defaults;
  const int positiveForm =
      fs.currencyFormat >= 0 && fs.currencyFormat <= 3 ? fs.currencyFormat : defaults.currencyFormat;
  const int negativeForm = fs.negCurrFormat >= 0 && fs.negCurrFormat <= 15 ? fs.negCurrFormat : defaults.negCurrFormat;
  const char* form = negative ? kNegative[negativeForm] : kPositive[positiveForm];
  std::string out;
  for (const char* c = form; *c; ++c) {
    if (*c == '$')
      out += fs.currencyString;
    else if (*c == '1')
      out += amount;
    else
      out += *c;
  }
  return out;
}
std::string FormatCurrency(double value, int digits) {
  return FormatCurrency(value, digits, current_format());
}
std::string FormatCurrency(double value) {
  const FormatSettings fs = current_format();
  return FormatCurrency(value, fs.currencyDecimals, fs);
}

std::optional<double> TryStrToFloat(std::string_view text, const FormatSettings&) {
  std::string_view s = trim_blanks(text);
  std::string norm;
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) norm += s[i++];
  bool digits = false;
  bool separator = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (is_digit(c)) {
      digits = true;
      norm += c;
    } else if ((c == '.' || c == ',') && !separator) {
      separator = true;
      norm += '.';
    } else {
      break;
    }
  }
  if (!digits) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    norm += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) norm += s[i++];
    bool exp_digits = false;
    while (i < s.size() && is_digit(s[i])) {
      exp_digits = true;
      norm += s[i++];
    }
    if (!exp_digits) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  // from_chars takes no leading '+'.
  const char* first = norm.data();
  bool negative = false;
  if (*first == '+' || *first == '-') negative = *first++ == '-';
  double v = 0;
  auto res = std::from_chars(first, norm.data() + norm.size(), v);
  if (res.ptr != norm.data() + norm.size()) return std::nullopt;
  if (res.ec == std::errc::result_out_of_range) {
    // Too small to hold is zero; too large is not a number we can take.
    auto e = norm.find('e');
    if (e == std::string::npos || norm.find('-', e) == std::string::npos) return std::nullopt;
    v = 0;
  } else if (res.ec != std::errc()) {
    return std::nullopt;
  }
  return negative ? -v : v;
}

double StrToFloat(std::string_view text, const FormatSettings& fs) {
  auto v = TryStrToFloat(text, fs);
  if (!v) throw ConversionError("'" + std::string(text) + "' is not a valid floating point value");
  return *v;
}
double StrToFloat(std::string_view text) {
  return StrToFloat(text, current_format());
}

// ---- dates and times ----

std::string FormatDateTime(std::string_view pattern, double dt, const FormatSettings& fs) {
  const DateTimeParts p = DecodeDateTime(dt);
  std::string out;
  char last_token = 0;  // the previous letter token, so that m/mm after h/hh reads as minutes
  std::size_t i = 0;
  while (i < pattern.size()) {
    char c = pattern[i];
    if (c == '\'' || c == '"') {
      std::size_t close = pattern.find(c, i + 1);
      if (close == std::string_view::npos) close = pattern.size();
      out.append(pattern.substr(i + 1, close - i - 1));
      i = close + 1;
      continue;
    }
    char token = upper(c);
    if (!is_ascii_letter(c)) {
      if (c == '/')
        out += fs.dateSeparator();
      else if (c == ':')
        out += fs.timeSeparator();
      else
        out += c;
      ++i;
      continue;
    }
    if (token == 'M' && last_token == 'H') token = 'N';
    std::size_t count = 1;
    while (i + count < pattern.size() && upper(pattern[i + count]) == upper(c)) ++count;
    switch (token) {
      case 'D': append_number(out, p.day, count >= 2 ? 2 : 1); break;
      case 'M': append_number(out, p.month, count >= 2 ? 2 : 1); break;
      case 'Y':
        if (count <= 2)
          append_number(out, p.year % 100, 2);
        else
          append_number(out, p.year, 4);
        break;
      case 'H': append_number(out, p.hour, count >= 2 ? 2 : 1); break;
      case 'N': append_number(out, p.minute, count >= 2 ? 2 : 1); break;
      case 'S': append_number(out, p.second, count >= 2 ? 2 : 1); break;
      case 'Z': append_number(out, p.millisecond, count >= 3 ? 3 : 1); break;
      default: out.append(pattern.substr(i, count)); break;
    }
    last_token = token;
    i += count;
  }
  return out;
}
std::string FormatDateTime(std::string_view pattern, double dt) {
  return FormatDateTime(pattern, dt, current_format());
}

std::string DateToStr(double dt, const FormatSettings& fs) {
  return FormatDateTime(fs.shortDate, dt, fs);
}
std::string DateToStr(double dt) {
  return DateToStr(dt, current_format());
}
std::string TimeToStr(double dt, const FormatSettings& fs) {
  return FormatDateTime(fs.shortTime, dt, fs);
}
std::string TimeToStr(double dt) {
  return TimeToStr(dt, current_format());
}

std::string DateTimeToStr(double dt, const FormatSettings& fs) {
  const DateTimeParts p = DecodeDateTime(dt);
  std::string out = DateToStr(dt, fs);
  if (p.hour || p.minute || p.second || p.millisecond) out += ' ' + TimeToStr(dt, fs);
  return out;
}
std::string DateTimeToStr(double dt) {
  return DateTimeToStr(dt, current_format());
}

std::optional<double> TryStrToDateTime(std::string_view text, const FormatSettings& fs) {
  std::string_view s = trim_blanks(text);
  if (s.empty()) return std::nullopt;
  if (auto iso = ParseIsoDateTime(s)) return iso;

  const std::string order = date_order(fs.shortDate);
  const char dsep = fs.dateSeparator();
  const char tsep = fs.timeSeparator();
  std::size_t pos = 0;
  int parts[3] = {0, 0, 0};
  std::size_t year_digits = 0;
  for (int k = 0; k < 3; ++k) {
    if (k > 0) {
      if (pos >= s.size() || s[pos] != dsep) return std::nullopt;
      ++pos;
    }
    std::size_t start = pos;
    if (!read_number(s, pos, parts[k], order[static_cast<std::size_t>(k)] == 'Y' ? 4 : 2)) return std::nullopt;
    if (order[static_cast<std::size_t>(k)] == 'Y') year_digits = pos - start;
  }
  const std::size_t di = order.find('D'), mi = order.find('M'), yi = order.find('Y');
  if (di > 2 || mi > 2 || yi > 2) return std::nullopt;
  int day = parts[di];
  int month = parts[mi];
  int year = parts[yi];
  // Two-digit years: 00-49 are this century, 50-99 the last one.
  if (year_digits <= 2) year += year < 50 ? 2000 : 1900;
  if (!valid_date(year, month, day)) return std::nullopt;
  double date = EncodeDate(year, month, day);

  if (pos == s.size()) return date;
  if (s[pos] != ' ') return std::nullopt;
  while (pos < s.size() && s[pos] == ' ') ++pos;
  int hour = 0, minute = 0, second = 0, ms = 0;
  if (!read_number(s, pos, hour, 2) || pos >= s.size() || s[pos] != tsep) return std::nullopt;
  ++pos;
  if (!read_number(s, pos, minute, 2)) return std::nullopt;
  if (pos < s.size() && s[pos] == tsep) {
    ++pos;
    if (!read_number(s, pos, second, 2)) return std::nullopt;
    if (pos < s.size() && (s[pos] == '.' || s[pos] == ',')) {
      ++pos;
      std::size_t start = pos;
      if (!read_number(s, pos, ms, 3)) return std::nullopt;
      for (std::size_t n = pos - start; n < 3; ++n) ms *= 10;
    }
  }
  if (pos != s.size() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return EncodeDateTime(year, month, day, hour, minute, second, ms);
}

}  // namespace imp
