// The entries the MP2032 and the Epson libraries share, with the same contract: a port opened by IniciaPorta,
// formatted text, bar codes, QR codes, the cutter and raw commands.
#include <algorithm>
#include <cstring>
#include <string>

#include "common.h"
#include "escpos.h"
#include "platform/error.h"

using namespace imp::drivers;

namespace {

std::string bytes(std::initializer_list<unsigned char> b) {
  return std::string(b.begin(), b.end());
}
unsigned char byte(int32_t v, int32_t lo, int32_t hi) {
  return static_cast<unsigned char>(std::clamp(v, lo, hi));
}

}  // namespace

IMP_DRIVER_ENTRY int32_t IniciaPorta(const char* port) {
  return entry(
      "IniciaPorta", [&] { return arguments(quoted(port)); },
      [&]() -> int32_t {
        open_port().reset();  // a port that fails to open leaves none open
        if (!port) return 0;
        auto target = resolve(port);
        if (!target) return 0;
        touch(*target);
        open_port() = std::move(*target);
        return 1;
      });
}

// letterType 1 is the condensed font (font B) and 2 the normal one; 3 (elite) has no font of its own on these
// printers and prints condensed too; any other value prints normal. ESC/POS has no italic: `italic` is
// accepted and ignored.
IMP_DRIVER_ENTRY int32_t FormataTX(const char* text, int32_t letterType, int32_t italic, int32_t underline,
                                   int32_t expanded, int32_t bold) {
  return entry(
      "FormataTX", [&] { return arguments(quoted(text), letterType, italic, underline, expanded, bold); },
      [&]() -> int32_t {
        if (!text) return 0;
        if (!*text) return 1;
        const unsigned char font = (letterType == 1 || letterType == 3) ? 0x01 : 0x00;
        std::string out = bytes({0x1B, 0x21, font});
        if (underline) out += bytes({0x1B, 0x2D, 0x01});
        if (expanded) out += bytes({0x1D, 0x21, 0x10});
        if (bold) out += bytes({0x1B, 0x45, 0x01});
        out += text;
        if (bold) out += bytes({0x1B, 0x45, 0x00});
        if (expanded) out += bytes({0x1D, 0x21, 0x00});
        if (underline) out += bytes({0x1B, 0x2D, 0x00});
        return write_open(out);
      });
}

// Height in dots (1..255), module width (2..6), where the digits go (0 none, 1 above, 2 below, 3 both) and
// their font (0 A, 1 B); values outside are clamped. The printer keeps them for the bar codes that follow.
// The left margin has no ESC/POS bar code setting and is ignored.
IMP_DRIVER_ENTRY int32_t ConfiguraCodigoBarras(int32_t height, int32_t width, int32_t textPosition, int32_t font,
                                               int32_t margin) {
  return entry(
      "ConfiguraCodigoBarras", [&] { return arguments(height, width, textPosition, font, margin); },
      [&]() -> int32_t {
        return write_open(bytes({0x1D, 0x68, byte(height, 1, 255), 0x1D, 0x77, byte(width, 2, 6), 0x1D, 0x48,
                                 byte(textPosition, 0, 3), 0x1D, 0x66, byte(font, 0, 1)}));
      });
}

// codeType, version and encoding are the printer's to choose (model 2, the smallest version that fits, byte
// mode) and are ignored.
IMP_DRIVER_ENTRY int32_t ImprimeCodigoQRCODE(int32_t errorCorrection, int32_t moduleSize, int32_t codeType,
                                             int32_t version, int32_t encoding, const char* data) {
  return entry(
      "ImprimeCodigoQRCODE",
      [&] { return arguments(errorCorrection, moduleSize, codeType, version, encoding, quoted(data)); },
      [&]() -> int32_t {
        if (!data) return 0;
        const std::string out = imp::drivers::escpos::qr(data, moduleSize, errorCorrection);
        return out.empty() ? 0 : write_open(out);
      });
}

IMP_DRIVER_ENTRY int32_t ImprimeCodigoBarrasCODE128(const char* data) {
  return entry(
      "ImprimeCodigoBarrasCODE128", [&] { return arguments(quoted(data)); },
      [&]() -> int32_t {
        if (!data) return 0;
        const std::string out = imp::drivers::escpos::code128(data);
        return out.empty() ? 0 : write_open(out);
      });
}

// mode 0 a full cut, 1 (any other) a partial one.
IMP_DRIVER_ENTRY int32_t AcionaGuilhotina(int32_t mode) {
  return entry(
      "AcionaGuilhotina", [&] { return arguments(mode); },
      [&]() -> int32_t { return write_open(imp::drivers::escpos::cut(mode)); });
}

IMP_DRIVER_ENTRY int32_t ComandoTX(const char* command, int32_t count) {
  return entry(
      "ComandoTX", [&] { return arguments(hex(command, count), count); },
      [&]() -> int32_t {
        if (!command || count <= 0) return 0;
        return write_open(std::string_view(command, static_cast<std::size_t>(count)));
      });
}

IMP_DRIVER_ENTRY int32_t FechaPorta() {
  return entry(
      "FechaPorta", [] { return std::string(); },
      []() -> int32_t {
        if (!open_port()) return 0;
        open_port().reset();
        return 1;
      });
}
