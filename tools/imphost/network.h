// Printers on this machine for trying the module out and for its tests:
// - `imphost printer serve`: a network printer on loopback taking raw TCP jobs, each connection stored as one
//   job file with a readable preview;
// - `imphost spooler start|stop|add`: a private CUPS spooler below a host folder (its own socket, state and
//   backends: capture files, raw TCP and serial lines), so queues can be made without touching the system's.
#pragma once

#include <atomic>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>

namespace imphost {

// A network printer on 127.0.0.1:`port` (0: any free port) writing job-NNNN.prn and job-NNNN.txt to `out`.
class NetworkPrinter {
 public:
  NetworkPrinter(int port, std::filesystem::path out);
  ~NetworkPrinter();
  NetworkPrinter(const NetworkPrinter&) = delete;
  NetworkPrinter& operator=(const NetworkPrinter&) = delete;
  int port() const { return port_; }
  void serve_forever();  // until SIGINT or SIGTERM
  void start();          // in a thread of its own, until destroyed

 private:
  void loop(const std::atomic<bool>& stop);
  int fd_ = -1;
  int port_ = 0;
  int jobs_ = 0;
  std::filesystem::path out_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct SpoolerInfo {
  std::string server;  // the socket path
  int ippPort = 0;     // also listening on 127.0.0.1:ippPort
  int pid = 0;
};

// Starts the private spooler of `host_dir` (spooler/ below it) and records its socket as "spooler.server" in
// the folder's imphost.json. Throws std::runtime_error when cupsd is missing or does not come up.
SpoolerInfo start_spooler(const std::filesystem::path& host_dir);
// Stops it; false when none was running.
bool stop_spooler(const std::filesystem::path& host_dir);
// Adds a raw queue to it: `uri` its device ("capture:/path", "socket://127.0.0.1:9100", "serial:/dev/ttyS0"),
// `model` its make and model (empty: a plain raw queue), the default printer when `is_default`.
void add_queue(const std::filesystem::path& host_dir, const std::string& name, const std::string& uri,
               const std::string& model, bool is_default);
// True when cupsd is installed.
bool spooler_available();
// Waits until the private spooler of `host_dir` has printed every job it took; false when `seconds` pass first.
bool wait_spooler_idle(const std::filesystem::path& host_dir, int seconds);

int run_printer_serve(int port, const std::filesystem::path& out, std::ostream& log);
int run_spooler(const std::string& action, const std::filesystem::path& host_dir, const std::string& name,
                const std::string& uri, const std::string& model, bool is_default, std::ostream& out,
                std::ostream& err);

}  // namespace imphost
