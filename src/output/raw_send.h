// Raw documents composed in memory (label commands) sent to a printer as they stand: no file in between, no
// command interpreter, every failure reported.
#pragma once

#include <string_view>

namespace imp {

// Sends `bytes` unchanged to `destination`:
// - a name holding "\" is a printer share ("\\SERVER\QUEUE" or "SERVER\QUEUE"): one finished raw spooler
//   document named `document`, no backup;
// - an LPT port goes through DoPortMapping (with `model`); when the mapping table redirects it to a share, the
//   bytes go there as one finished document "QuivaneDoc", as every redirected write does;
// - any other port (and an LPT port printing directly) is written through the port map.
// imp::Error with the reason when the printer did not take them.
void SendRaw(std::string_view model, std::string_view destination, std::string_view document, std::string_view bytes);

}  // namespace imp
