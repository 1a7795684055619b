// imphost pending: the tickets a printer did not take, kept in the host folder's Dados/ImpPendentes/.
//   imphost pending list [--host-dir DIR]
//   imphost pending reprint [ID | --port P] [--host-dir DIR]
//   imphost pending drop ID [--host-dir DIR]
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "library.h"

namespace imphost {

struct PendingCommand {
  std::string action;  // "list", "reprint", "drop"
  std::string id;
  std::string port;
};

// Runs one pending command in the host folder; returns the process exit code (0 when everything asked for
// was done).
int run_pending(const Library& lib, const std::filesystem::path& host_dir, const PendingCommand& cmd, std::ostream& out,
                std::ostream& err);

}  // namespace imphost
