#include "values.h"

#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace imphost {

namespace {

// Code points of the Windows-1252 bytes 80..9F.
constexpr std::array<char32_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The next code point of a UTF-8 text, or nullopt for a malformed sequence.
std::optional<char32_t> next_code_point(std::string_view s, std::size_t& pos) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(pos);
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    return std::nullopt;
  }
  if (pos + extra >= s.size()) return std::nullopt;
  for (int k = 1; k <= extra; ++k) {
    if ((byte(pos + k) & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (byte(pos + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  pos += extra + 1;
  return cp;
}

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

const int64_t kEpoch = days_from_civil(1899, 12, 30);

bool leap(int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned days_in_month(int64_t y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

std::string read_bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw JobError("cannot read packet file " + p.string());
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void release(imp_variant& v) {
  switch (v.type) {
    case IMP_VT_TEXT: delete[] v.v.text.ptr; break;
    case IMP_VT_BYTES: delete[] v.v.bytes.ptr; break;
    case IMP_VT_ARRAY:
      for (int32_t k = 0; k < v.v.array.count; ++k) release(v.v.array.items[k]);
      delete[] v.v.array.items;
      break;
    default: break;
  }
  v = imp_variant{};
}

int32_t checked_length(std::size_t n) {
  if (n > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) throw JobError("value too long");
  return static_cast<int32_t>(n);
}

void fill(imp_variant& v, const JobValue& j) {
  using T = JobValue::Type;
  switch (j.type) {
    case T::Empty: v.type = IMP_VT_EMPTY; break;
    case T::Null: v.type = IMP_VT_NULL; break;
    case T::Bool: v.type = IMP_VT_BOOL, v.v.b = j.b ? 1 : 0; break;
    case T::Int: v.type = IMP_VT_INT, v.v.i = j.i; break;
    case T::Double: v.type = IMP_VT_DOUBLE, v.v.d = j.d; break;
    case T::DateTime: v.type = IMP_VT_DATETIME, v.v.d = j.d; break;
    case T::Text: {
      std::optional<std::string> text = utf8_to_cp1252(j.text);
      if (!text) throw JobError("text \"" + j.text + "\" has a character outside Windows-1252");
      const int32_t len = checked_length(text->size());
      char* p = new char[text->size() + 1];
      text->copy(p, text->size());
      p[text->size()] = '\0';
      v.type = IMP_VT_TEXT, v.v.text.ptr = p, v.v.text.len = len;
      break;
    }
    case T::Bytes: {
      const int32_t len = checked_length(j.text.size());
      auto* p = new uint8_t[j.text.size() + 1];
      j.text.copy(reinterpret_cast<char*>(p), j.text.size());
      v.type = IMP_VT_BYTES, v.v.bytes.ptr = p, v.v.bytes.len = len;
      break;
    }
    case T::Array: {
      const int32_t count = checked_length(j.items.size());
      v.type = IMP_VT_ARRAY;
      v.v.array.items = new imp_variant[j.items.size() + 1]{};
      v.v.array.count = count;
      for (std::size_t k = 0; k < j.items.size(); ++k) fill(v.v.array.items[k], j.items[k]);
      break;
    }
  }
}

}  // namespace

std::string cp1252_to_utf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (char c : cp1252) {
    const auto b = static_cast<unsigned char>(c);
    append_utf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char32_t{b});
  }
  return out;
}

std::optional<std::string> utf8_to_cp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    std::optional<char32_t> cp = next_code_point(utf8, pos);
    if (!cp) return std::nullopt;
    if (*cp < 0x80 || (*cp >= 0xA0 && *cp <= 0xFF)) {
      out += static_cast<char>(*cp);
      continue;
    }
    bool found = false;
    for (std::size_t k = 0; k < kHigh.size() && !found; ++k) {
      if (kHigh[k] == *cp) {
        out += static_cast<char>(0x80 + k);
        found = true;
      }
    }
    if (!found) return std::nullopt;
  }
  return out;
}

std::optional<double> parse_date_time(std::string_view s) {
  auto digits = [&](std::size_t at, std::size_t n) -> std::optional<int> {
    if (at + n > s.size()) return std::nullopt;
    int v = 0;
    for (std::size_t k = at; k < at + n; ++k) {
      if (s[k] < '0' || s[k] > '9') return std::nullopt;
      v = v * 10 + (s[k] - '0');
    }
    return v;
  };
  auto sep = [&](std::size_t at, char c) { return at < s.size() && s[at] == c; };
  if (s.size() != 10 && s.size() != 16 && s.size() != 19 && s.size() != 23) return std::nullopt;
  auto y = digits(0, 4), mo = digits(5, 2), d = digits(8, 2);
  if (!y || !mo || !d || !sep(4, '-') || !sep(7, '-')) return std::nullopt;
  int h = 0, mi = 0, sec = 0, ms = 0;
  if (s.size() > 10) {
    auto hh = digits(11, 2), mm = digits(14, 2);
    if (!(sep(10, 'T') || sep(10, ' ')) || !sep(13, ':') || !hh || !mm) return std::nullopt;
    h = *hh, mi = *mm;
  }
  if (s.size() > 16) {
    auto ss = digits(17, 2);
    if (!sep(16, ':') || !ss) return std::nullopt;
    sec = *ss;
  }
  if (s.size() > 19) {
    auto zzz = digits(20, 3);
    if (!sep(19, '.') || !zzz) return std::nullopt;
    ms = *zzz;
  }
  if (*y < 1 || *mo < 1 || *mo > 12 || *d < 1 || static_cast<unsigned>(*d) > days_in_month(*y, *mo) || h > 23 ||
      mi > 59 || sec > 59)
    return std::nullopt;
  const int64_t days = days_from_civil(*y, *mo, *d) - kEpoch;
  const double frac = ((h * 60.0 + mi) * 60.0 + sec + ms / 1000.0) / 86400.0;
  // Before 1899-12-30 the day counts down while the time of day still counts up: -1.25 is 1899-12-29 06:00.
  return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

std::string format_date_time(double serial) {
  if (!std::isfinite(serial) || std::fabs(serial) > 3e6) return "invalid date " + std::to_string(serial);
  double whole = std::trunc(serial);
  int64_t ms = std::llround(std::fabs(serial - whole) * 86400000.0);
  int64_t days = static_cast<int64_t>(whole);
  if (ms >= 86400000) ms -= 86400000, days += 1;
  int64_t y;
  unsigned m, d;
  civil_from_days(days + kEpoch, y, m, d);
  char buf[64];
  const int64_t sec = ms / 1000;
  std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                static_cast<long long>(sec / 3600), static_cast<long long>(sec / 60 % 60),
                static_cast<long long>(sec % 60));
  std::string out = buf;
  if (ms % 1000 != 0) {
    std::snprintf(buf, sizeof buf, ".%03lld", static_cast<long long>(ms % 1000));
    out += buf;
  }
  return out;
}

std::string base64(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t k = 0; k < bytes.size(); k += 3) {
    uint32_t n = static_cast<unsigned char>(bytes[k]) << 16;
    if (k + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[k + 1]) << 8;
    if (k + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[k + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += k + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += k + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
  }
  return out;
}

namespace {
// Job arrays nest two or three levels; deeper is refused before anything recurses that far.
constexpr int kMaxJobDepth = 64;
JobValue parse_job_value(const nlohmann::json& j, const std::filesystem::path& base_dir, int depth);
}  // namespace

// Walks a JSON value without recursion and refuses it when it nests deeper than `limit`.
void check_depth(const nlohmann::json& root, int limit) {
  std::vector<std::pair<const nlohmann::json*, int>> todo = {{&root, 0}};
  while (!todo.empty()) {
    auto [j, depth] = todo.back();
    todo.pop_back();
    if (!j->is_structured()) continue;
    if (depth >= limit) throw JobError("values nested more than " + std::to_string(limit) + " levels deep");
    for (const auto& item : *j) todo.emplace_back(&item, depth + 1);
  }
}

JobValue parse_job_value(const nlohmann::json& j, const std::filesystem::path& base_dir) {
  check_depth(j, kMaxJobDepth);  // before anything below recurses or dumps it
  return parse_job_value(j, base_dir, 0);
}

namespace {
JobValue parse_job_value(const nlohmann::json& j, const std::filesystem::path& base_dir, int depth) {
  using T = JobValue::Type;
  JobValue v;
  if (j.is_null()) {
    v.type = T::Null;
  } else if (j.is_boolean()) {
    v.type = T::Bool, v.b = j.get<bool>();
  } else if (j.is_number()) {
    v.type = T::Double, v.d = j.get<double>();
  } else if (j.is_string()) {
    v.type = T::Text, v.text = j.get<std::string>();
  } else if (j.is_array()) {
    if (depth >= kMaxJobDepth)
      throw JobError("arrays nested more than " + std::to_string(kMaxJobDepth) + " levels deep");
    v.type = T::Array;
    for (const auto& item : j) v.items.push_back(parse_job_value(item, base_dir, depth + 1));
  } else if (j.size() == 1 && j.contains("int")) {
    const auto& n = j["int"];
    const double d = n.is_number() ? n.get<double>() : 0.5;
    if (d != std::trunc(d) || d < std::numeric_limits<int32_t>::min() || d > std::numeric_limits<int32_t>::max())
      throw JobError("{\"int\": ...} needs a 32-bit integer, not " + n.dump());
    v.type = T::Int, v.i = static_cast<int32_t>(d);
  } else if (j.size() == 1 && j.contains("empty")) {
    if (j["empty"] != true) throw JobError("write an unassigned value as {\"empty\": true}");
    v.type = T::Empty;
  } else if (j.size() == 1 && j.contains("date")) {
    const auto& s = j["date"];
    std::optional<double> serial = s.is_string() ? parse_date_time(s.get<std::string>()) : std::nullopt;
    if (!serial) throw JobError("date " + s.dump() + " is not YYYY-MM-DDThh:mm:ss");
    v.type = T::DateTime, v.d = *serial;
  } else if (j.size() == 1 && j.contains("packet")) {
    const auto& p = j["packet"];
    v.type = T::Bytes;
    if (p.is_object())
      v.text = p.dump();
    else if (p.is_string())
      v.text = read_bytes(base_dir / p.get<std::string>());
    else
      throw JobError("a packet is a JSON object or the path of a packet file, not " + p.dump());
  } else {
    throw JobError("unknown value " + j.dump() +
                   " (objects are {\"int\": n}, {\"empty\": true}, {\"date\": \"...\"} or {\"packet\": ...})");
  }
  return v;
}
}  // namespace

HostVariant::HostVariant(const JobValue& value) {
  try {
    fill(v_, value);
  } catch (...) {
    release(v_);
    throw;
  }
}

HostVariant::~HostVariant() {
  release(v_);
}

nlohmann::ordered_json variant_to_json(const imp_variant& v) {
  using J = nlohmann::ordered_json;
  switch (v.type) {
    case IMP_VT_EMPTY: return J{{"empty", true}};
    case IMP_VT_NULL: return nullptr;
    case IMP_VT_BOOL: return v.v.b != 0;
    case IMP_VT_INT: return J{{"int", v.v.i}};
    case IMP_VT_DOUBLE: return v.v.d;
    case IMP_VT_DATETIME: return J{{"date", format_date_time(v.v.d)}};
    case IMP_VT_TEXT:
      return cp1252_to_utf8(v.v.text.ptr ? std::string_view(v.v.text.ptr, v.v.text.len) : std::string_view());
    case IMP_VT_BYTES: {
      std::string_view bytes =
          v.v.bytes.ptr ? std::string_view(reinterpret_cast<const char*>(v.v.bytes.ptr), v.v.bytes.len) : "";
      J packet = J::parse(bytes, nullptr, false);
      if (packet.is_object()) return J{{"packet", std::move(packet)}};
      return J{{"bytes", base64(bytes)}};
    }
    case IMP_VT_ARRAY: {
      J items = J::array();
      for (int32_t k = 0; k < v.v.array.count; ++k) items.push_back(variant_to_json(v.v.array.items[k]));
      return items;
    }
    default: return J{{"unknown variant type", v.type}};
  }
}

}  // namespace imphost
