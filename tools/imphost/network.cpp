#include "network.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "demo.h"

extern char** environ;

namespace imphost {

namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_interrupted{false};
void on_signal(int) {
  g_interrupted = true;
}

void write_text(const fs::path& p, const std::string& text, fs::perms perms = fs::perms::none) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + p.string());
  out.close();
  if (perms != fs::perms::none) fs::permissions(p, perms);
}

std::string read_text(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs a program (no shell) and waits for it; its output goes to `log`. The exit status.
int run(const std::vector<std::string>& args, const fs::path& log) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&files, 1, 2);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (rc != 0) return 127;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

int free_loopback_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw std::runtime_error("no free loopback port");
  ::close(fd);
  return ntohs(a.sin_port);
}

bool answers(const std::string& socket_path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", socket_path.c_str());
  const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}

bool alive(int pid) {
  if (pid <= 0 || ::kill(pid, 0) != 0) return false;
  // A stopped daemon nobody reaped yet is gone all the same.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const auto close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

fs::path spooler_dir(const fs::path& host_dir) {
  return fs::absolute(host_dir) / "spooler";
}

// The private backends: capture:/path appends each job to a file (a raw job to Debian's file: backend arrives
// empty), socket://HOST[:PORT] sends it over TCP, serial:/dev/... writes it to the line. Mode 0700: the
// spooler runs them as it runs its own.
const char* const kCapture = R"(#!/bin/sh
# capture:/path/to/file - appends each job's bytes to the file
if [ $# -eq 0 ]; then echo 'direct capture "Unknown" "Capture file"'; exit 0; fi
target="${DEVICE_URI#capture:}"
if [ $# -ge 6 ]; then cat "$6" >> "$target"; else cat >> "$target"; fi
)";
const char* const kSocket = R"(#!/bin/bash
# socket://HOST[:PORT] - raw TCP, port 9100 unless given
if [ $# -eq 0 ]; then echo 'network socket "Unknown" "Raw TCP"'; exit 0; fi
target="${DEVICE_URI#socket://}"; target="${target%%/*}"; target="${target%%\?*}"
host="${target%%:*}"; port=9100
[ "$host" != "$target" ] && port="${target##*:}"
exec 3<>"/dev/tcp/$host/$port" || exit 1
if [ $# -ge 6 ]; then cat "$6" >&3; else cat >&3; fi
)";
const char* const kSerial = R"(#!/bin/sh
# serial:/dev/ttyS0[?options] - writes each job to the line
if [ $# -eq 0 ]; then echo 'serial serial "Unknown" "Serial line"'; exit 0; fi
line="${DEVICE_URI#serial:}"; line="${line%%\?*}"
if [ $# -ge 6 ]; then cat "$6" > "$line"; else cat > "$line"; fi
)";

std::string ppd_for(const std::string& model) {
  return "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
         "*LanguageEncoding: ISOLatin1\n*PCFileName: \"IMPRAW.PPD\"\n*Manufacturer: \"" +
         model + "\"\n*Product: \"(" + model + ")\"\n*ModelName: \"" + model + "\"\n*ShortNickName: \"" + model +
         "\"\n*NickName: \"" + model +
         "\"\n*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n"
         "*DefaultColorSpace: Gray\n*FileSystem: False\n*Throughput: \"1\"\n*LandscapeOrientation: Plus90\n"
         "*TTRasterizer: Type42\n*cupsFilter: \"application/vnd.cups-raw 0 -\"\n"
         "*OpenUI *PageSize: PickOne\n*DefaultPageSize: X80MM\n"
         "*PageSize X80MM/80mm: \"<</PageSize[227 842]>>setpagedevice\"\n*CloseUI: *PageSize\n"
         "*DefaultImageableArea: X80MM\n*ImageableArea X80MM: \"0 0 227 842\"\n*DefaultPaperDimension: X80MM\n"
         "*PaperDimension X80MM: \"227 842\"\n*DefaultResolution: 203dpi\n";
}

}  // namespace

// ---- network printer ----

NetworkPrinter::NetworkPrinter(int port, fs::path out) : out_(std::move(out)) {
  fs::create_directories(out_);
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only
  a.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof a;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 16) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
  port_ = ntohs(a.sin_port);
}

NetworkPrinter::~NetworkPrinter() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) ::close(fd_);
}

void NetworkPrinter::start() {
  thread_ = std::thread([this] { loop(stop_); });
}

void NetworkPrinter::serve_forever() {
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
  loop(g_interrupted);
}

void NetworkPrinter::loop(const std::atomic<bool>& stop) {
  while (!stop) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) continue;
    std::string job;
    char buf[8192];
    // One connection is one job; a sender silent for 30 s has finished.
    for (;;) {
      pollfd q{c, POLLIN, 0};
      if (::poll(&q, 1, 30000) <= 0) break;
      ssize_t n = ::read(c, buf, sizeof buf);
      if (n <= 0) break;
      job.append(buf, static_cast<std::size_t>(n));
    }
    ::close(c);
    if (job.empty()) continue;  // a printer probe, not a job
    char name[32];
    std::snprintf(name, sizeof name, "job-%04d", ++jobs_);
    write_text(out_ / (std::string(name) + ".prn"), job);
    write_text(out_ / (std::string(name) + ".txt"), printable(job));
  }
}

int run_printer_serve(int port, const fs::path& out, std::ostream& log) {
  NetworkPrinter printer(port, out);
  log << "network printer on 127.0.0.1:" << printer.port() << ", jobs in " << fs::absolute(out).string() << std::endl;
  printer.serve_forever();
  return 0;
}

// ---- private spooler ----

bool spooler_available() {
  return fs::exists("/usr/sbin/cupsd") && fs::exists("/usr/sbin/lpadmin");
}

SpoolerInfo start_spooler(const fs::path& host_dir) {
  if (!spooler_available()) throw std::runtime_error("cupsd is not installed (packages cups-daemon, cups-client)");
  stop_spooler(host_dir);
  const fs::path dir = spooler_dir(host_dir);
  for (const char* sub : {"root", "bin/backend", "cache", "state", "spool", "tmp", "log", "ppd"})
    fs::create_directories(dir / sub);
  for (const char* link : {"daemon", "notifier"}) {
    std::error_code ec;
    fs::remove(dir / "bin" / link, ec);
    fs::create_directory_symlink(fs::path("/usr/lib/cups") / link, dir / "bin" / link, ec);
  }
  {
    // The system's ipp backend serves connections to other servers' printers; a copy of mode 0700 runs as the
    // spooler does, so it reads the jobs kept below a host folder that only its owner may enter.
    std::error_code ec;
    fs::remove(dir / "bin/backend/ipp", ec);
    if (fs::exists("/usr/lib/cups/backend/ipp")) {
      fs::copy_file("/usr/lib/cups/backend/ipp", dir / "bin/backend/ipp", ec);
      fs::permissions(dir / "bin/backend/ipp", fs::perms::owner_all, ec);
    }
  }
  const auto owner = fs::perms::owner_all;
  write_text(dir / "bin/backend/capture", kCapture, owner);
  write_text(dir / "bin/backend/socket", kSocket, owner);
  write_text(dir / "bin/backend/serial", kSerial, owner);

  // The socket lives in a short folder of its own: a socket path is limited to about 100 characters.
  char sockdir[] = "/tmp/impcups-XXXXXX";
  if (!::mkdtemp(sockdir)) throw std::runtime_error("cannot create the spooler's socket folder");
  const std::string server = std::string(sockdir) + "/cups.sock";
  const int ippPort = free_loopback_port();

  std::string files = "ServerBin " + (dir / "bin").string() + "\nDataDir /usr/share/cups\n";
  files += "CacheDir " + (dir / "cache").string() + "\nStateDir " + (dir / "state").string() + "\n";
  files += "RequestRoot " + (dir / "spool").string() + "\nTempDir " + (dir / "tmp").string() + "\n";
  files += "ServerRoot " + (dir / "root").string() + "\n";
  files += "AccessLog " + (dir / "log/access_log").string() + "\nErrorLog " + (dir / "log/error_log").string() + "\n";
  files += "PageLog " + (dir / "log/page_log").string() + "\nFileDevice Yes\nSandboxing Relaxed\nSystemGroup root\n";
  write_text(dir / "root/cups-files.conf", files);
  std::string conf = "Listen " + server + "\nListen 127.0.0.1:" + std::to_string(ippPort) + "\n";
  conf += "LogLevel warn\nBrowsing No\nWebInterface No\nDefaultAuthType None\nMaxJobs 0\nPreserveJobHistory Yes\n";
  conf += "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n";
  conf += "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
  write_text(dir / "root/cupsd.conf", conf);
  // Bitmap pages arrive as PNG images; without the filters package a raw queue would refuse them, so here
  // they pass to the backend as they are (a capture queue keeps the PNG whole).
  write_text(dir / "root/imp.convs", "image/png application/vnd.cups-raw 0 -\n");

  const std::string confPath = (dir / "root/cupsd.conf").string(), filesPath = (dir / "root/cups-files.conf").string();
  std::vector<const char*> argv = {"/usr/sbin/cupsd", "-f", "-c", confPath.c_str(), "-s", filesPath.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = (dir / "log/cupsd.out").string();
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);  // outlives imphost until `spooler stop`
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, &attr, const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) throw std::runtime_error("cannot start cupsd");
  write_text(dir / "cupsd.pid", std::to_string(pid));
  write_text(dir / "server", server);
  write_text(dir / "ipp-port", std::to_string(ippPort));
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!answers(server)) {
    if (std::chrono::steady_clock::now() > until || !alive(pid))
      throw std::runtime_error("cupsd did not come up; see " + out + " and " + (dir / "log/error_log").string());
    ::usleep(20000);
  }

  // The module finds it through the folder's imphost.json.
  const fs::path config = fs::absolute(host_dir) / "imphost.json";
  nlohmann::json j = nlohmann::json::object();
  if (fs::exists(config)) j = nlohmann::json::parse(read_text(config));
  j["spooler"]["server"] = server;
  write_text(config, j.dump(2) + "\n");
  return {server, ippPort, pid};
}

bool stop_spooler(const fs::path& host_dir) {
  const fs::path dir = spooler_dir(host_dir);
  if (!fs::exists(dir / "cupsd.pid")) return false;
  const int pid = std::atoi(read_text(dir / "cupsd.pid").c_str());
  const std::string server = read_text(dir / "server");
  fs::remove(dir / "cupsd.pid");
  bool was = alive(pid);
  if (was) {
    ::kill(pid, SIGTERM);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (alive(pid) && std::chrono::steady_clock::now() < until) ::usleep(20000);
    if (alive(pid)) ::kill(pid, SIGKILL);
  }
  std::error_code ec;
  if (!server.empty() && server.rfind("/tmp/impcups-", 0) == 0) fs::remove_all(fs::path(server).parent_path(), ec);
  return was;
}

void add_queue(const fs::path& host_dir, const std::string& name, const std::string& uri, const std::string& model,
               bool is_default) {
  const fs::path dir = spooler_dir(host_dir);
  const std::string server = read_text(dir / "server");
  if (server.empty()) throw std::runtime_error("no spooler started below " + host_dir.string());
  std::vector<std::string> args = {"lpadmin", "-h", server, "-p", name, "-E", "-v", uri};
  if (model.empty()) {
    args.insert(args.end(), {"-m", "raw"});
  } else {
    const fs::path ppd = dir / "ppd" / (name + ".ppd");
    write_text(ppd, ppd_for(model));
    args.insert(args.end(), {"-P", ppd.string()});
  }
  const fs::path log = dir / "log/lpadmin.log";
  if (run(args, log) != 0) throw std::runtime_error("lpadmin could not add " + name + "; see " + log.string());
  if (is_default && run({"lpadmin", "-h", server, "-d", name}, log) != 0)
    throw std::runtime_error("lpadmin could not make " + name + " the default printer");
}

bool wait_spooler_idle(const fs::path& host_dir, int seconds) {
  const std::string server = read_text(spooler_dir(host_dir) / "server");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    http_t* http = httpConnect2(server.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 5000, nullptr);
    if (!http) return false;
    cups_job_t* jobs = nullptr;
    const int active = cupsGetJobs2(http, &jobs, nullptr, 0, CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(active, jobs);
    httpClose(http);
    if (active == 0) return true;
    ::usleep(50000);
  }
  return false;
}

int run_spooler(const std::string& action, const fs::path& host_dir, const std::string& name, const std::string& uri,
                const std::string& model, bool is_default, std::ostream& out, std::ostream& err) {
  try {
    if (action == "start") {
      const SpoolerInfo info = start_spooler(host_dir);
      out << nlohmann::json{{"server", info.server}, {"ippPort", info.ippPort}, {"pid", info.pid}}.dump() << std::endl;
    } else if (action == "stop") {
      out << (stop_spooler(host_dir) ? "stopped" : "not running") << std::endl;
    } else {
      add_queue(host_dir, name, uri, model, is_default);
      out << "queue " << name << " -> " << uri << std::endl;
    }
    return 0;
  } catch (const std::exception& e) {
    err << "imphost spooler " << action << ": " << e.what() << std::endl;
    return 1;
  }
}

}  // namespace imphost
