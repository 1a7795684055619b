#include "common.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/port.h"
#include "platform/safefile.h"

namespace imp::drivers {
namespace {

using Clock = std::chrono::steady_clock;

// What imp_driver_configure handed over; each call replaces the whole of it.
struct Config {
  std::map<std::string, std::filesystem::path> ports;  // normalised port name -> file, device or socket://
  int timeoutSeconds = 10;
};

Config g_config;
std::optional<Target> g_open;

// "lpt1:" -> "LPT1"
std::string normalised(std::string_view text) {
  std::string s(text);
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  while (!s.empty() && (s.back() == ':' || s.back() == ' ')) s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  return s;
}

bool numbered(const std::string& name, std::string_view prefix) {
  if (name.rfind(prefix, 0) != 0) return false;
  const std::size_t digits = name.size() - prefix.size();
  return digits >= 1 && digits <= 3 &&
         std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool is_port_name(const std::string& name) {
  return name == "USB" || numbered(name, "COM") || numbered(name, "LPT");
}

bool valid_host(std::string_view host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
  });
}

bool valid_service(std::string_view service) {
  if (service.empty() || service.size() > 5 ||
      !std::all_of(service.begin(), service.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return false;
  const int n = std::stoi(std::string(service));
  return n > 0 && n < 65536;
}

// HOST or HOST:PORT
std::optional<std::pair<std::string, std::string>> split_address(std::string_view text) {
  std::string host(text), service = "9100";
  if (const auto colon = host.rfind(':'); colon != std::string::npos) {
    service = host.substr(colon + 1);
    host.resize(colon);
  }
  if (!valid_host(host) || !valid_service(service)) return std::nullopt;
  return std::pair{host, service};
}

Target target_of(std::string name, std::filesystem::path device) {
  Target t;
  t.name = std::move(name);
  t.device = std::move(device);
  const std::string d = t.device.string();
  if (d.rfind("socket://", 0) == 0) {
    std::string rest = d.substr(9);
    while (!rest.empty() && rest.back() == '/') rest.pop_back();
    if (auto a = split_address(rest)) {
      t.network = true;
      t.host = a->first;
      t.service = a->second;
    }
  }
  return t;
}

port::PortMap map_of(const Target& t) {
  port::PortMap map;
  map.names[t.name] = t.device;
  map.timeoutSeconds = g_config.timeoutSeconds;
  return map;
}

bool wait_for(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return false;
  }
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// One connection to a network printer, made within the configured timeout; -1 when it cannot be made.
int connect_to(const Target& t) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (::getaddrinfo(t.host.c_str(), t.service.c_str(), &hints, &list) != 0) return -1;
  const auto deadline = Clock::now() + std::chrono::seconds(g_config.timeoutSeconds);
  int result = -1;
  for (addrinfo* a = list; a && result < 0; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int err = 0;
    socklen_t len = sizeof err;
    if ((::connect(fd, a->ai_addr, a->ai_addrlen) == 0 || errno == EINPROGRESS) && wait_for(fd, POLLOUT, deadline) &&
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0)
      result = fd;
    else
      ::close(fd);
  }
  ::freeaddrinfo(list);
  return result;
}

// Sends the query and reads one byte of answer; -1 when none came in time.
int query(int fd, bool socket, std::string_view ask, std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  std::size_t done = 0;
  while (done < ask.size()) {
    const ssize_t n = socket ? ::send(fd, ask.data() + done, ask.size() - done, MSG_NOSIGNAL)
                             : ::write(fd, ask.data() + done, ask.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      return -1;
    } else if (!wait_for(fd, POLLOUT, deadline)) {
      return -1;
    }
  }
  for (;;) {
    if (!wait_for(fd, POLLIN, deadline)) return -1;
    unsigned char b = 0;
    const ssize_t n = ::read(fd, &b, 1);
    if (n == 1) return b;
    if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) return -1;
  }
}

}  // namespace

std::mutex& driver_mutex() {
  static std::mutex m;
  return m;
}

std::optional<Target> resolve_address(std::string_view text) {
  std::string s(text);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  if (s.size() > 9 && normalised(s.substr(0, 9)) == "SOCKET://") s = s.substr(9);
  auto a = split_address(s);
  if (!a) return std::nullopt;
  const std::string address = a->first + ":" + a->second;
  return target_of(normalised(address), "socket://" + address);
}

std::optional<Target> resolve(std::string_view text) {
  const std::string name = normalised(text);
  if (name.empty()) return std::nullopt;
  if (is_port_name(name)) {
    if (auto it = g_config.ports.find(name); it != g_config.ports.end()) return target_of(name, it->second);
    if (name == "USB") return target_of(name, "/dev/usb/lp0");
    return target_of(name, port::device_of(port::PortMap{}, name));
  }
  if (text.front() == '/') return target_of(name, cp1252::to_utf8(text));
  return resolve_address(text);
}

Target mapped_or_usb(std::string_view name) {
  if (auto it = g_config.ports.find(normalised(name)); it != g_config.ports.end())
    return target_of(normalised(name), it->second);
  return *resolve("USB");
}

void touch(const Target& t) {
  port::touch(map_of(t), t.name);
}

void write(const Target& t, std::string_view bytes) {
  port::write(map_of(t), t.name, bytes);
}

std::optional<Target>& open_port() {
  return g_open;
}

int32_t write_open(std::string_view bytes) {
  if (!g_open) return 0;
  write(*g_open, bytes);
  return 1;
}

int32_t drawer_status(const Target& t) {
  static constexpr std::string_view kAsk = "\x10\x04\x01";  // DLE EOT 1: printer status
  static constexpr std::chrono::milliseconds kWait{500};
  int answer = -1;
  if (t.network) {
    const int fd = connect_to(t);
    if (fd < 0) return -1;
    Fd guard(fd);
    answer = query(fd, true, kAsk, kWait);
  } else {
    // A capture file below the host folder never answers; a serial line does.
    if (safefile::below_host_folder(t.device)) return -1;
    struct stat st {};
    if (::stat(t.device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return -1;
    const int fd = ::open(t.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    Fd guard(fd);
    if (!::isatty(fd)) return -1;
    ::tcflush(fd, TCIFLUSH);  // an old answer must not pass for this one
    answer = query(fd, false, kAsk, kWait);
  }
  if (answer < 0) return -1;
  return (answer & 0x04) ? 1 : 0;
}

std::filesystem::path file_path(const char* text) {
  const std::string path = cp1252::to_utf8(text);
  if (!path.empty() && path.front() == '/') return path;
  return hostdir::resolve(path);
}

// ---- trace ----

std::string quoted(const char* text) {
  if (!text) return "NULL";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char* p = text; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 0x0F];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string hex(const char* bytes, int32_t count) {
  if (!bytes) return "NULL";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (int32_t i = 0; i < count; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (i) out += ' ';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
  }
  return out;
}

bool tracing() noexcept {
  const char* file = std::getenv("IMP_DRIVER_TRACE");
  return file && *file;
}

void trace(const char* entry, const std::string& args, int32_t result) noexcept {
  static std::mutex m;
  try {
    const char* file = std::getenv("IMP_DRIVER_TRACE");
    if (!file || !*file) return;
    const std::string line =
        std::string(library_name()) + " " + entry + "(" + args + ") = " + std::to_string(result) + "\n";
    std::lock_guard lock(m);
    const int fd = ::open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    Fd guard(fd);
    std::size_t done = 0;
    while (done < line.size()) {
      const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
      if (n > 0)
        done += static_cast<std::size_t>(n);
      else if (n < 0 && errno != EINTR)
        return;
    }
  } catch (...) {
  }
}

}  // namespace imp::drivers

// {"hostDir": "/abs/host", "ports": {"LPT1": "printers/LPT1.prn", ...}, "timeoutSeconds": 10}: every key
// optional; timeoutSeconds is 1..3600; a relative port path lies below hostDir (below the module's host folder when
// hostDir is not given). Each call replaces the whole configuration; bad JSON leaves the current one and gives 0.
IMP_DRIVER_ENTRY int32_t imp_driver_configure(const char* json) {
  using namespace imp::drivers;
  return entry(
      "imp_driver_configure", [&] { return arguments(quoted(json)); },
      [&]() -> int32_t {
        if (!json) return 0;
        const auto doc = nlohmann::json::parse(json, nullptr, false);
        if (doc.is_discarded() || !doc.is_object()) return 0;
        std::string hostDir;
        if (auto it = doc.find("hostDir"); it != doc.end()) {
          if (!it->is_string()) return 0;
          hostDir = it->get<std::string>();
        }
        Config config;
        if (auto it = doc.find("timeoutSeconds"); it != doc.end()) {
          if (!it->is_number_integer() || it->get<long long>() < 1 || it->get<long long>() > 3600) return 0;
          config.timeoutSeconds = it->get<int>();
        }
        const std::filesystem::path base =
            hostDir.empty() ? imp::hostdir::module_root() : std::filesystem::absolute(hostDir);
        if (auto it = doc.find("ports"); it != doc.end()) {
          if (!it->is_object()) return 0;
          for (const auto& [name, value] : it->items()) {
            if (!value.is_string() || value.get<std::string>().empty()) return 0;
            const std::string device = value.get<std::string>();
            const bool as_given = device.front() == '/' || device.rfind("socket://", 0) == 0;
            config.ports[normalised(name)] =
                as_given ? std::filesystem::path(device) : (base / device).lexically_normal();
          }
        }
        imp::hostdir::set(hostDir);
        g_config = std::move(config);
        return 1;
      });
}
