// What one job carries on its thread from its start to its end: the host folder it was dispatched with (so a
// host that moves the folder never splits or redirects queued jobs), its kind, the printer ports that stalled
// in it (a stalled port costs one timeout per job, not one per write), the notices it already logged and the
// host's number and money formats as they stood at dispatch (a job prints with the formats of its folder), and
// whether its database already failed to answer (one timeout per job, not one per query).
// A direct entry point is a job of its own for as long as the call lasts.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/rtl.h"

namespace imp::job {

struct Context {
  std::filesystem::path hostDir;                   // empty: the module's current host folder
  std::string kind;                                // "PEDIDO", "CUPOM" ... or the entry point's name
  std::map<std::string, std::string> failedPorts;  // device -> why it failed
  std::vector<std::string> loggedOnce;             // keys of LogOncePerJob
  std::optional<FormatSettings> format;            // empty: the module's current formats
  std::string databaseDown;                        // why the database did not answer in this job
};

// The job running on this thread, or nullptr.
Context* current();

// Makes `ctx` the current job of this thread until the scope ends; scopes nest.
class Scope {
 public:
  explicit Scope(Context ctx);
  ~Scope();
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
  Context& context() { return ctx_; }

 private:
  Context ctx_;
  Context* saved_;
};

}  // namespace imp::job
