// What every stand-in driver shares: the configuration the module hands over, the way a port text becomes the
// place its bytes go, the port the driver has open, the drawer status query and the call trace.
//
// Each driver is its own shared object with its own copy of this state; every entry runs under one lock of
// its driver, so calls from several threads are serialised as the makers' libraries expect.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

// An entry of a driver's C interface: the only names a driver exports.
#define IMP_DRIVER_ENTRY extern "C" __attribute__((visibility("default")))

namespace imp::drivers {

// The library's name as the trace writes it ("Mp2032"); each driver defines it.
const char* library_name();

// Where a port's bytes go.
struct Target {
  std::string name;              // the port name writes report ("LPT1", "127.0.0.1:6001"), upper-cased
  std::filesystem::path device;  // a file, a device or socket://HOST:PORT
  bool network = false;
  std::string host, service;  // of a network printer
};

// A port text: COMn, LPTn and USB (any case, a trailing ':' ignored) through the configured map, else
// COMn -> /dev/ttyS(n-1), LPTn -> /dev/lp(n-1), USB -> /dev/usb/lp0; a path starting with '/' is that
// device or file; anything else is a network printer's address, HOST or HOST:PORT (9100 when not given).
// nullopt when the text is none of these.
std::optional<Target> resolve(std::string_view text);
// An address only ("127.0.0.1:6001", "caixa2"), as socket://HOST:PORT; nullopt when it is not one.
std::optional<Target> resolve_address(std::string_view text);
// The port a driver without a port argument prints to: `name` ("DARUMA") when the map holds it, else USB.
Target mapped_or_usb(std::string_view name);

// The port opens and closes once; imp::Error when it cannot.
void touch(const Target& t);
// Every byte reaches the port within the configured timeout; imp::Error when not.
void write(const Target& t, std::string_view bytes);

// The port the driver's open entry opened (none after its close entry).
std::optional<Target>& open_port();
// Writes to the open port: 1, or 0 when no port is open. imp::Error when the write fails.
int32_t write_open(std::string_view bytes);

// Asks the printer for its drawer (DLE EOT 1) and waits up to 500 ms for the status byte. Bit 2 of that byte
// is the drawer switch (connector pin 3): set reads as an open drawer. 1 open, 0 closed, -1 when unknown: no
// answer, or a port that cannot answer (a capture file, a parallel or USB printer device).
int32_t drawer_status(const Target& t);

// A path handed over in Windows-1252 as a file system path: absolute as given, else below the host folder.
std::filesystem::path file_path(const char* text);

// ---- entries ----

// Trace arguments: a text in quotes, with \\, \", \n and \r escaped and every other byte below 0x20, 0x7F
// and every byte from 0x80 up written as \xHH; a null pointer as NULL.
std::string quoted(const char* text);
// A byte buffer as hex pairs separated by spaces ("1B 40"); a null pointer as NULL.
std::string hex(const char* bytes, int32_t count);

template <class... A>
std::string arguments(const A&... a) {
  std::string out;
  bool first = true;
  auto add = [&](const auto& v) {
    if (!first) out += ", ";
    first = false;
    if constexpr (std::is_integral_v<std::decay_t<decltype(v)>>)
      out += std::to_string(v);
    else
      out += v;
  };
  (add(a), ...);
  return out;
}

std::mutex& driver_mutex();
// With IMP_DRIVER_TRACE set (read at each call), appends "<library> <entry>(<arguments>) = <result>".
void trace(const char* entry, const std::string& args, int32_t result) noexcept;
bool tracing() noexcept;

// Runs one entry: `body` under the driver's lock, any exception becoming `failure`; then the trace line, whose
// arguments `args` formats after the call (so an out-parameter shows what it received).
template <class Args, class Body>
int32_t entry(const char* name, Args&& args, Body&& body, int32_t failure = 0) noexcept {
  int32_t result = failure;
  try {
    std::lock_guard lock(driver_mutex());
    result = body();
  } catch (...) {
    result = failure;
  }
  if (tracing()) {
    try {
      trace(name, args(), result);
    } catch (...) {
    }
  }
  return result;
}

}  // namespace imp::drivers
