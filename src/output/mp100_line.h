// The serial line of the MP-100 receipt printer (model 7), written directly without a maker's library.
#pragma once

#include <string>
#include <string_view>

namespace imp {

// How long one write to the MP-100 may take before the line counts as dead.
inline constexpr int kMp100WriteTimeoutMs = 1000;

// One write of `text` to `port` at 19200 8N1; "" when every byte was taken, else the reason, logged with the
// port. The port is opened for this write only.
std::string EscreveSerial_MP100(std::string_view port, std::string_view text);

// The main data module's writer for the same printer: `text` to `port` in consecutive pieces of at most 1000
// characters, each one write; the first piece that fails ends it. "" when all was written, else the reason.
std::string FormataBematech_MP100(std::string_view text, std::string_view port);

}  // namespace imp
