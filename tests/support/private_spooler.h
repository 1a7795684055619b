// A CUPS spooler of a test's own: `imphost spooler start` runs a private cupsd below the host folder (its own
// socket, state and backends) and records it in the folder's imphost.json, so the module's spooler calls
// reach it and nothing else. Queues are raw; a capture:/path queue appends each job's bytes to that file.
#pragma once

#include <cups/cups.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

extern char** environ;

namespace imp::test {

class PrivateSpooler {
 public:
  explicit PrivateSpooler(std::filesystem::path host_dir) : host_(std::move(host_dir)) {
    imphost({"spooler", "start", "--host-dir", host_.string()});
    server_ = read_file(host_ / "spooler" / "server");
    ipp_port_ = std::stoi(read_file(host_ / "spooler" / "ipp-port"));
  }
  ~PrivateSpooler() {
    try {
      imphost({"spooler", "stop", "--host-dir", host_.string()});
    } catch (...) {
    }
  }
  PrivateSpooler(const PrivateSpooler&) = delete;
  PrivateSpooler& operator=(const PrivateSpooler&) = delete;

  // A raw queue; `model` is the driver it reports.
  void add(const std::string& name, const std::string& uri, const std::string& model = {}, bool is_default = false) {
    std::vector<std::string> args = {"spooler", "add", "--host-dir", host_.string(), name, uri};
    if (!model.empty()) args.insert(args.end(), {"--model", model});
    if (is_default) args.push_back("--default");
    imphost(args);
  }
  // A queue that takes no more jobs.
  void reject(const std::string& name) { run({"cupsreject", "-h", server_, name}); }
  void stop() { imphost({"spooler", "stop", "--host-dir", host_.string()}); }

  const std::string& server() const { return server_; }
  // What a capture file holds once it holds at least `bytes` (the spooler prints after the job is in).
  static std::string captured(const std::filesystem::path& file, std::size_t bytes, int seconds = 10) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
      std::error_code ec;
      if (std::filesystem::exists(file, ec) && std::filesystem::file_size(file, ec) >= bytes) return read_file(file);
      if (std::chrono::steady_clock::now() > until)
        return std::filesystem::exists(file, ec) ? read_file(file) : std::string();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  int ipp_port() const { return ipp_port_; }

  // The jobs of a queue (completed ones too): their titles, oldest first.
  std::vector<std::string> job_titles(const std::string& queue) const {
    http_t* http = httpConnect2(server_.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 5000, nullptr);
    if (!http) throw std::runtime_error("private spooler does not answer");
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(http, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
    std::vector<std::pair<int, std::string>> sorted;
    for (int i = 0; i < n; ++i) sorted.emplace_back(jobs[i].id, jobs[i].title ? jobs[i].title : "");
    cupsFreeJobs(n, jobs);
    httpClose(http);
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> titles;
    for (auto& s : sorted) titles.push_back(s.second);
    return titles;
  }

 private:
  static void run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
      throw std::runtime_error("failed: " + args[0] + " " + (args.size() > 1 ? args[1] : ""));
  }
  static void imphost(std::vector<std::string> args) {
    args.insert(args.begin(), IMP_IMPHOST_PATH);
    run(args);
  }

  std::filesystem::path host_;
  std::string server_;
  int ipp_port_ = 0;
};

}  // namespace imp::test
