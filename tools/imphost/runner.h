// Runs job files against the loaded library: one entry-point call per job, one JSON line per result.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "library.h"

namespace imphost {

struct Job {
  std::filesystem::path file;
  std::string shown;  // how the job is named in the output
};

// Calls the entry of one job file and returns its result line:
// {"job": ..., "entry": ..., "result": ..., "var": {...}}. Throws JobError for a job imphost cannot run.
nlohmann::ordered_json run_job(const Library& lib, const Job& job);

// A working session: sets the host folder, calls Initialize, runs each job (printing its line on `out` or
// its error on `err`, then waiting until the module is idle) and calls Finalize. Returns how many jobs
// failed.
int run_session(const Library& lib, const std::filesystem::path& host_dir, const std::vector<Job>& jobs,
                std::ostream& out, std::ostream& err);

// The host folder of `imphost run`: `option` when given, else $IMP_HOST_DIR, else the current folder.
std::filesystem::path choose_host_dir(const std::string& option);

}  // namespace imphost
