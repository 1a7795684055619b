// Date-time serials: days from 1899-12-30, the fraction being the time of day.
#include <cmath>
#include <cstdio>

#include "platform/rtl.h"

namespace imp {
namespace {

bool leap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days from 0001-01-01 (proleptic Gregorian) to the date.
long days_from_civil(int y, int m, int d) {
  static const int cum[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  long yy = y - 1;
  long days = yy * 365 + yy / 4 - yy / 100 + yy / 400 + cum[m - 1] + (d - 1);
  if (m > 2 && leap(y)) ++days;
  return days;
}

const long kEpoch = days_from_civil(1899, 12, 30);

int days_in_month(int y, int m) {
  static const int dim[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : dim[m - 1];
}

}  // namespace

double EncodeDate(int year, int month, int day) {
  return static_cast<double>(days_from_civil(year, month, day) - kEpoch);
}

double EncodeTime(int hour, int minute, int second, int millisecond) {
  return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  double d = EncodeDate(year, month, day);
  double t = EncodeTime(hour, minute, second, millisecond);
  return d >= 0 ? d + t : d - t;
}

DateTimeParts DecodeDateTime(double dt) {
  // Whole milliseconds since the epoch; for dates before it the time still counts forward from midnight.
  double whole = std::trunc(dt);
  double frac = std::fabs(dt - whole);
  long long ms = std::llround(frac * 86400000.0);
  long days = static_cast<long>(whole);
  if (ms >= 86400000LL) {
    ms -= 86400000LL;
    days += dt >= 0 ? 1 : -1;
  }
  long n = days + kEpoch;  // days from 0001-01-01
  // Civil from days (400-year cycles of 146097 days).
  long y = 1;
  long cycles = n / 146097;
  n %= 146097;
  y += cycles * 400;
  long c = n / 36524;
  if (c == 4) c = 3;
  n -= c * 36524;
  y += c * 100;
  long q = n / 1461;
  n %= 1461;
  y += q * 4;
  long a = n / 365;
  if (a == 4) a = 3;
  n -= a * 365;
  y += a;
  int month = 1;
  while (n >= days_in_month(static_cast<int>(y), month)) {
    n -= days_in_month(static_cast<int>(y), month);
    ++month;
  }
  DateTimeParts p{};
  p.year = static_cast<int>(y);
  p.month = month;
  p.day = static_cast<int>(n) + 1;
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

std::optional<double> ParseIsoDateTime(std::string_view t) {
  auto digits = [&](std::size_t pos, std::size_t n, int& out) {
    if (pos + n > t.size()) return false;
    int v = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
      if (t[i] < '0' || t[i] > '9') return false;
      v = v * 10 + (t[i] - '0');
    }
    out = v;
    return true;
  };
  int y, mo, d, h = 0, mi = 0, s = 0, ms = 0;
  if (!digits(0, 4, y) || t.size() < 10 || t[4] != '-' || !digits(5, 2, mo) || t[7] != '-' || !digits(8, 2, d))
    return std::nullopt;
  if (mo < 1 || mo > 12 || d < 1 || d > days_in_month(y, mo) || y < 1) return std::nullopt;
  if (t.size() > 10) {
    if ((t[10] != 'T' && t[10] != ' ') || t.size() < 19 || !digits(11, 2, h) || t[13] != ':' || !digits(14, 2, mi) ||
        t[16] != ':' || !digits(17, 2, s))
      return std::nullopt;
    if (h > 23 || mi > 59 || s > 59) return std::nullopt;
    if (t.size() > 19) {
      if (t[19] != '.' || t.size() < 21 || t.size() > 23) return std::nullopt;
      std::size_t n = t.size() - 20;
      if (!digits(20, n, ms)) return std::nullopt;
      if (n == 1) ms *= 100;
      if (n == 2) ms *= 10;
    }
  }
  return EncodeDateTime(y, mo, d, h, mi, s, ms);
}

std::string FormatIsoDateTime(double dt) {
  auto p = DecodeDateTime(dt);
  char buf[40];
  if (p.millisecond)
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second, p.millisecond);
  else
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
  return buf;
}

}  // namespace imp
