#include "escpos.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "common.h"

namespace imp::drivers::escpos {
namespace {

constexpr std::size_t kQrMaxData = 7089;  // numeric data of a version 40-L symbol: more never fits

std::string bytes(std::initializer_list<unsigned char> b) {
  return std::string(b.begin(), b.end());
}

std::optional<int> small_number(std::string_view s, int lo, int hi) {
  if (s.empty() || s.size() > 3 ||
      !std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return std::nullopt;
  const int n = std::stoi(std::string(s));
  if (n < lo || n > hi) return std::nullopt;
  return n;
}

struct Simple {
  std::string_view tag;
  std::string_view out;
};

// Tags standing for a fixed sequence.
constexpr Simple kSimple[] = {
    {"ce", {"\x1b\x61\x01", 3}},
    {"/ce", {"\x1b\x61\x00", 3}},
    {"c", {"\x1b\x21\x01", 3}},
    {"/c", {"\x1b\x21\x00", 3}},
    {"e", {"\x1d\x21\x10", 3}},
    {"/e", {"\x1d\x21\x00", 3}},
    {"b", {"\x1b\x45\x01", 3}},
    {"/b", {"\x1b\x45\x00", 3}},
    {"l", "\n"},
    {"/l", ""},
    {"gui", {"\n\n\n\x1d\x56\x00", 6}},
    {"/gui", ""},
    {"g", kDrawerPulse},
    {"/g", ""},
};

// The bytes of a tag with content, or nullopt when the content is not what the tag takes.
std::optional<std::string> with_content(std::string_view tag, std::string_view content) {
  if (tag == "sl") {
    auto n = small_number(content, 0, 255);
    if (!n) return std::nullopt;
    return std::string(static_cast<std::size_t>(*n), '\n');
  }
  if (tag == "qrcode") {
    int module = 4;
    std::string data(content);
    const auto open = data.find("<lmodulo>");
    if (open != std::string::npos) {
      const auto close = data.find("</lmodulo>", open);
      if (close == std::string::npos) return std::nullopt;
      auto n = small_number(std::string_view(data).substr(open + 9, close - open - 9), 1, 16);
      if (!n) return std::nullopt;
      module = *n;
      data.erase(open, close + 10 - open);
    }
    return qr(data, module, 1);
  }
  if (tag == "ibmp") {
    const std::string path(content);
    if (path.empty()) return std::string();
    try {
      return raster_of_bmp_file(file_path(path.c_str()));
    } catch (const std::exception&) {
      return std::string();  // a path outside the host folder ("..") prints nothing, as a missing file
    }
  }
  return std::nullopt;
}

std::uint32_t u16(std::string_view f, std::size_t at) {
  return static_cast<unsigned char>(f[at]) | static_cast<std::uint32_t>(static_cast<unsigned char>(f[at + 1])) << 8;
}
std::uint32_t u32(std::string_view f, std::size_t at) {
  return u16(f, at) | u16(f, at + 2) << 16;
}

}  // namespace

std::string cut(int32_t mode) {
  return bytes({0x0A, 0x0A, 0x0A, 0x1D, 0x56, static_cast<unsigned char>(mode == 0 ? 0x00 : 0x01)});
}

std::string qr(std::string_view data, int32_t moduleSize, int32_t errorCorrection) {
  if (data.empty() || data.size() > kQrMaxData) return {};
  const auto size = static_cast<unsigned char>(std::clamp(moduleSize, 1, 16));
  const auto level = static_cast<unsigned char>(0x30 + std::clamp(errorCorrection, 0, 3));
  const std::size_t stored = data.size() + 3;
  std::string out = bytes({0x1D, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x41, 0x32, 0x00});  // model 2
  out += bytes({0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x43, size});
  out += bytes({0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x45, level});
  out += bytes({0x1D, 0x28, 0x6B, static_cast<unsigned char>(stored & 0xFF), static_cast<unsigned char>(stored >> 8),
                0x31, 0x50, 0x30});
  out += data;
  out += bytes({0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x51, 0x30});
  return out;
}

std::string code128(std::string_view data) {
  if (data.empty()) return {};
  std::string coded = data.front() == '{' ? std::string(data) : "{B" + std::string(data);
  if (coded.size() > 255) return {};
  return bytes({0x1D, 0x6B, 0x49, static_cast<unsigned char>(coded.size())}) + coded;
}

std::string raster_of_bmp(std::string_view f) {
  if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return {};
  const std::uint32_t pixels_at = u32(f, 10), header = u32(f, 14);
  if (header < 40 || header > f.size() - 14) return {};
  const auto width = static_cast<std::int32_t>(u32(f, 18)), height = static_cast<std::int32_t>(u32(f, 22));
  const std::uint32_t planes = u16(f, 26), depth = u16(f, 28), compression = u32(f, 30);
  if (planes != 1 || compression != 0 || (depth != 1 && depth != 24)) return {};
  if (width <= 0 || height == 0 || height == INT32_MIN) return {};
  const bool top_down = height < 0;
  const std::size_t w = static_cast<std::size_t>(width), rows = static_cast<std::size_t>(top_down ? -height : height);
  const std::size_t row_bytes = (w + 7) / 8;
  if (row_bytes > 0xFFFF || rows > 0xFFFF || w * rows > (std::size_t{1} << 26)) return {};
  const std::size_t stride = (w * depth + 31) / 32 * 4;  // rows are padded to 4 bytes
  if (pixels_at > f.size() || stride * rows > f.size() - pixels_at) return {};

  bool dark[2] = {false, true};
  if (depth == 1) {
    const std::size_t palette = 14 + header;
    if (palette + 8 > pixels_at) return {};
    for (int i = 0; i < 2; ++i) {
      const std::size_t at = palette + 4 * static_cast<std::size_t>(i);  // blue, green, red, unused
      dark[i] = static_cast<unsigned>(static_cast<unsigned char>(f[at])) + static_cast<unsigned char>(f[at + 1]) +
                    static_cast<unsigned char>(f[at + 2]) <
                384;
    }
  }
  std::string raster(row_bytes * rows, '\0');
  for (std::size_t y = 0; y < rows; ++y) {
    const std::size_t row = pixels_at + (top_down ? y : rows - 1 - y) * stride;  // bottom-up unless height < 0
    for (std::size_t x = 0; x < w; ++x) {
      bool black;
      if (depth == 1) {
        black = dark[(static_cast<unsigned char>(f[row + x / 8]) >> (7 - x % 8)) & 1];
      } else {
        const std::size_t at = row + 3 * x;
        black = static_cast<unsigned>(static_cast<unsigned char>(f[at])) + static_cast<unsigned char>(f[at + 1]) +
                    static_cast<unsigned char>(f[at + 2]) <
                384;
      }
      if (black) raster[y * row_bytes + x / 8] = static_cast<char>(raster[y * row_bytes + x / 8] | (0x80 >> (x % 8)));
    }
  }
  return bytes({0x1D, 0x76, 0x30, 0x00, static_cast<unsigned char>(row_bytes & 0xFF),
                static_cast<unsigned char>(row_bytes >> 8), static_cast<unsigned char>(rows & 0xFF),
                static_cast<unsigned char>(rows >> 8)}) +
         raster;
}

std::string raster_of_bmp_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::string content;
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    content.append(buf, static_cast<std::size_t>(in.gcount()));
    if (content.size() > (std::size_t{64} << 20)) return {};
  }
  return raster_of_bmp(content);
}

std::string tags(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '<') {
      out += text[i++];
      continue;
    }
    const auto end = text.find('>', i);
    if (end == std::string_view::npos) {
      out += text.substr(i);
      break;
    }
    const std::string_view tag = text.substr(i + 1, end - i - 1);
    const auto simple =
        std::find_if(std::begin(kSimple), std::end(kSimple), [&](const Simple& s) { return s.tag == tag; });
    if (simple != std::end(kSimple)) {
      out += simple->out;
      i = end + 1;
      continue;
    }
    if (tag == "sl" || tag == "qrcode" || tag == "ibmp") {
      const std::string closing = "</" + std::string(tag) + ">";
      const auto close = text.find(closing, end + 1);
      if (close != std::string_view::npos) {
        if (auto b = with_content(tag, text.substr(end + 1, close - end - 1))) {
          out += *b;
          i = close + closing.size();
          continue;
        }
      }
    }
    out += text[i++];  // not a tag of ours: the '<' is text
  }
  return out;
}

}  // namespace imp::drivers::escpos
