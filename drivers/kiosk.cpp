// The kiosk printer library: ports are opened into handles (> 0; 0 is a failure). The stand-in opens the
// USB printer only (the port mapped as USB, else /dev/usb/lp0): its serial, parallel and USB-by-id opens
// exist for the module to bind and always fail, their closes find nothing open, and the timeout settings are
// accepted and ignored (the configured timeout applies). The `mode` argument of each call (the port type the
// handle came from) is ignored.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "common.h"
#include "escpos.h"

using namespace imp::drivers;

const char* imp::drivers::library_name() {
  return "KIOSKDLL";
}

namespace {

std::map<int32_t, Target> g_handles;
int32_t g_next = 1;

std::string bytes(std::initializer_list<unsigned char> b) {
  return std::string(b.begin(), b.end());
}
unsigned char byte(int32_t v, int32_t lo, int32_t hi) {
  return static_cast<unsigned char>(std::clamp(v, lo, hi));
}

// Writes to an open handle: 1, or 0 when the handle is not open.
int32_t send(int32_t handle, std::string_view out) {
  auto it = g_handles.find(handle);
  if (it == g_handles.end()) return 0;
  write(it->second, out);
  return 1;
}

}  // namespace

IMP_DRIVER_ENTRY int32_t KIOSK_OpenCom(const char* port, int32_t baud, int32_t flowControl, int32_t dataBits,
                                       int32_t stopBits, int32_t parity) {
  return entry(
      "KIOSK_OpenCom", [&] { return arguments(quoted(port), baud, flowControl, dataBits, stopBits, parity); },
      [] { return 0; });
}

IMP_DRIVER_ENTRY int32_t KIOSK_SetComTimeOuts(int32_t handle, int32_t readInterval, int32_t readTotal,
                                              int32_t writeMultiplier, int32_t writeTotal) {
  return entry(
      "KIOSK_SetComTimeOuts", [&] { return arguments(handle, readInterval, readTotal, writeMultiplier, writeTotal); },
      [] { return 1; });
}

IMP_DRIVER_ENTRY int32_t KIOSK_CloseCom(int32_t handle) {
  return entry(
      "KIOSK_CloseCom", [&] { return arguments(handle); }, [] { return 0; });
}

IMP_DRIVER_ENTRY int32_t KIOSK_OpenLptByDrv(const char* port) {
  return entry(
      "KIOSK_OpenLptByDrv", [&] { return arguments(quoted(port)); }, [] { return 0; });
}

IMP_DRIVER_ENTRY int32_t KIOSK_CloseDrvLPT(int32_t handle) {
  return entry(
      "KIOSK_CloseDrvLPT", [&] { return arguments(handle); }, [] { return 0; });
}

IMP_DRIVER_ENTRY int32_t KIOSK_OpenUsb() {
  return entry(
      "KIOSK_OpenUsb", [] { return std::string(); },
      []() -> int32_t {
        Target t = *resolve("USB");
        touch(t);
        const int32_t handle = g_next;
        g_next = g_next == INT32_MAX ? 1 : g_next + 1;
        g_handles[handle] = std::move(t);
        return handle;
      });
}

IMP_DRIVER_ENTRY int32_t KIOSK_OpenUsbByID(int32_t id) {
  return entry(
      "KIOSK_OpenUsbByID", [&] { return arguments(id); }, [] { return 0; });
}

IMP_DRIVER_ENTRY int32_t KIOSK_SetUsbTimeOuts(int32_t handle, int32_t readTimeout, int32_t writeTimeout) {
  return entry(
      "KIOSK_SetUsbTimeOuts", [&] { return arguments(handle, readTimeout, writeTimeout); }, [] { return 1; });
}

IMP_DRIVER_ENTRY int32_t KIOSK_CloseUsb(int32_t handle) {
  return entry(
      "KIOSK_CloseUsb", [&] { return arguments(handle); },
      [&]() -> int32_t { return g_handles.erase(handle) ? 1 : 0; });
}

// Character sizes 1..8 (widthTimes, heightTimes) through GS !; the position, font type and style are ignored.
IMP_DRIVER_ENTRY int32_t KIOSK_S_Textout(int32_t handle, int32_t mode, const char* text, int32_t x, int32_t widthTimes,
                                         int32_t heightTimes, int32_t fontType, int32_t fontStyle) {
  return entry(
      "KIOSK_S_Textout",
      [&] { return arguments(handle, mode, quoted(text), x, widthTimes, heightTimes, fontType, fontStyle); },
      [&]() -> int32_t {
        if (!text) return 0;
        const int w = std::clamp(widthTimes, 1, 8), h = std::clamp(heightTimes, 1, 8);
        const bool sized = w > 1 || h > 1;
        std::string out;
        if (sized) out += bytes({0x1D, 0x21, static_cast<unsigned char>((w - 1) << 4 | (h - 1))});
        out += text;
        if (sized) out += bytes({0x1D, 0x21, 0x00});
        return send(handle, out);
      });
}

// Symbologies 65..73 of GS k (73 is CODE128, whose data carries its code set: "{B..."); any other gives 0.
// `length` bytes of data (its whole length when <= 0), at most 255. The position is ignored.
IMP_DRIVER_ENTRY int32_t KIOSK_S_PrintBarcode(int32_t handle, int32_t mode, const char* data, int32_t x,
                                              int32_t symbology, int32_t moduleWidth, int32_t height, int32_t hri,
                                              int32_t font, int32_t length) {
  return entry(
      "KIOSK_S_PrintBarcode",
      [&] { return arguments(handle, mode, quoted(data), x, symbology, moduleWidth, height, hri, font, length); },
      [&]() -> int32_t {
        if (!data || symbology < 65 || symbology > 73) return 0;
        const std::size_t n = length > 0 ? static_cast<std::size_t>(length) : std::strlen(data);
        if (n == 0 || n > 255) return 0;
        std::string out = bytes({0x1D, 0x68, byte(height, 1, 255), 0x1D, 0x77, byte(moduleWidth, 2, 6), 0x1D, 0x48,
                                 byte(hri, 0, 3), 0x1D, 0x66, byte(font, 0, 1), 0x1D, 0x6B,
                                 static_cast<unsigned char>(symbology), static_cast<unsigned char>(n)});
        out.append(data, n);
        return send(handle, out);
      });
}

// cutMode 0 a full cut, any other a partial one (as GS V); `feed` is ignored, three line feeds always come
// first.
IMP_DRIVER_ENTRY int32_t KIOSK_CutPaper(int32_t handle, int32_t mode, int32_t cutMode, int32_t feed) {
  return entry(
      "KIOSK_CutPaper", [&] { return arguments(handle, mode, cutMode, feed); },
      [&]() -> int32_t { return send(handle, escpos::cut(cutMode)); });
}

IMP_DRIVER_ENTRY int32_t KIOSK_FeedLines(int32_t handle, int32_t mode, int32_t lines) {
  return entry(
      "KIOSK_FeedLines", [&] { return arguments(handle, mode, lines); },
      [&]() -> int32_t {
        return send(handle, bytes({0x1B, 0x64, byte(lines, 0, 255)}));
      });
}

// 0 left, 1 centre, 2 right; any other gives 0.
IMP_DRIVER_ENTRY int32_t KIOSK_S_SetAlignMode(int32_t handle, int32_t mode, int32_t align) {
  return entry(
      "KIOSK_S_SetAlignMode", [&] { return arguments(handle, mode, align); },
      [&]() -> int32_t {
        if (align < 0 || align > 2) return 0;
        return send(handle, bytes({0x1B, 0x61, static_cast<unsigned char>(align)}));
      });
}

IMP_DRIVER_ENTRY int32_t KIOSK_WriteData(int32_t handle, int32_t mode, const char* data, int32_t count) {
  return entry(
      "KIOSK_WriteData", [&] { return arguments(handle, mode, hex(data, count), count); },
      [&]() -> int32_t {
        if (!data || count <= 0) return 0;
        return send(handle, std::string_view(data, static_cast<std::size_t>(count)));
      });
}
