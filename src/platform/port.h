// Printer ports written directly: a port name ("LPT1", "COM2" ...) stands for a device path or a file.
// Each write opens the port for writing without truncating (a file port appends), writes every byte within
// the port's timeout and closes it. Ports open without blocking and without becoming the controlling
// terminal; a reader that goes away is a failed write, never a signal that ends the host. A port mapped to
// "socket://HOST[:PORT]" is a network printer taking raw TCP (port 9100 unless given): each write is one
// connection, made and written within the port's timeout.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace imp::port {

struct PortMap {
  std::map<std::string, std::filesystem::path> names;  // upper-cased port name -> device or file
  std::map<std::string, std::string> invalid;          // upper-cased port name -> why its entry is refused
  int timeoutSeconds = 10;
};

// The device or file of a port: the map's entry (names match regardless of case), else LPTn -> /dev/lp(n-1),
// COMn -> /dev/ttyS(n-1); imp::Error for any other name and for a port whose map entry is invalid.
std::filesystem::path device_of(const PortMap& map, std::string_view port);

// Opens and closes the port once (the port exists and takes writes). imp::Error on failure.
void touch(const PortMap& map, std::string_view port);
// Writes the bytes to the port. imp::Error with the system's reason on failure (nothing written is
// reported as written). A write that times out fails the port for the rest of the running job (see
// platform/job.h): its later writes there fail at once.
void write(const PortMap& map, std::string_view port, std::string_view bytes);

// A serial printer line (a receipt printer on a COM port): the port opened for reading and writing and held
// exclusively while the bytes go out; a terminal is set to 19200 baud, 8 data bits, no parity, one stop bit
// with raw output (no LF to CR LF), its other settings kept. Every byte must be taken within `timeoutMs`. A
// regular file in the map is a capture file, written as any port. imp::Error with the reason on failure.
void write_serial(const PortMap& map, std::string_view port, std::string_view bytes, int timeoutMs);

}  // namespace imp::port
