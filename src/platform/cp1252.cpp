#include "platform/cp1252.h"

#include <array>
#include <cstdint>

namespace imp::cp1252 {
namespace {

// Code points of bytes 0x80..0x9F.
constexpr std::array<char32_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t decode(unsigned char c) {
  if (c >= 0x80 && c <= 0x9F) return kHigh[c - 0x80];
  return c;
}

std::optional<unsigned char> encode(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (std::size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == cp) return static_cast<unsigned char>(0x80 + i);
  return std::nullopt;
}

void put_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at s[i]; advances i. nullopt on a malformed sequence.
std::optional<char32_t> next_utf8(std::string_view s, std::size_t& i) {
  auto c = static_cast<unsigned char>(s[i]);
  int extra = 0;
  char32_t cp = 0;
  if (c < 0x80) {
    ++i;
    return c;
  } else if ((c & 0xE0) == 0xC0) {
    extra = 1;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
    cp = c & 0x07;
  } else {
    return std::nullopt;
  }
  if (i + static_cast<std::size_t>(extra) >= s.size()) return std::nullopt;
  for (int k = 1; k <= extra; ++k) {
    auto cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (cc & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

}  // namespace

std::string to_utf8(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (char ch : s) put_utf8(out, decode(static_cast<unsigned char>(ch)));
  return out;
}

std::optional<std::string> from_utf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    auto cp = next_utf8(s, i);
    if (!cp) return std::nullopt;
    auto b = encode(*cp);
    if (!b) return std::nullopt;
    out.push_back(static_cast<char>(*b));
  }
  return out;
}

std::string from_utf8_lossy(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    auto cp = next_utf8(s, i);
    if (!cp) {
      out.push_back('?');
      ++i;
      continue;
    }
    auto b = encode(*cp);
    out.push_back(b ? static_cast<char>(*b) : '?');
  }
  return out;
}

std::string from_utf8_data(std::string_view s, bool* replaced) {
  std::string out;
  out.reserve(s.size());
  bool any = false;
  std::size_t i = 0;
  while (i < s.size()) {
    auto cp = next_utf8(s, i);
    if (!cp) {
      out.push_back('?');
      any = true;
      ++i;
      continue;
    }
    if (*cp == 0) {
      out.push_back(' ');
      any = true;
      continue;
    }
    auto b = encode(*cp);
    if (!b) any = true;
    out.push_back(b ? static_cast<char>(*b) : '?');
  }
  if (replaced) *replaced = any;
  return out;
}

void make_printable(std::string& s) {
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
}

std::string printable(std::string_view cp1252) {
  std::string s(cp1252);
  make_printable(s);
  return s;
}

}  // namespace imp::cp1252
