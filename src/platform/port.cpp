#include "platform/port.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/job.h"
#include "platform/safefile.h"

namespace imp::port {
namespace {

std::string upper(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

[[noreturn]] void fail(std::string_view port, const std::filesystem::path& device, const std::string& what, int err) {
  throw Error("Porta " + std::string(port) + " (" + cp1252::from_utf8_lossy(device.string()) + "): " + what +
              (err ? ": " + cp1252::from_utf8_lossy(std::strerror(err)) : std::string()));
}

// Blocks SIGPIPE on this thread while it writes, and swallows one raised meanwhile.
class NoSigpipe {
 public:
  NoSigpipe() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~NoSigpipe() {
    sigset_t pending, set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    sigpending(&pending);
    if (sigismember(&pending, SIGPIPE)) {
      timespec zero{0, 0};
      sigtimedwait(&set, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }

 private:
  sigset_t old_;
};

int open_port(std::string_view port, const std::filesystem::path& device, int access = O_WRONLY) {
  const int flags = access | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  struct stat st {};
  // Below the host folder nothing is reached through a link planted at a port's name: capture files, pipes
  // and devices there are opened where they are, folder by folder, never following the last component. A
  // missing device (/dev/lp0 of an unplugged printer) never becomes a file and no write lands outside.
  if (safefile::below_host_folder(device)) {
    if (::lstat(device.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      fail(port, device, "não é um dispositivo nem um arquivo"_cp, 0);
    try {
      return safefile::open_file(device, flags | O_APPEND | O_CREAT, false).release();
    } catch (const std::exception& e) {
      fail(port, device, e.what(), 0);
    }
  }
  // Elsewhere a port is a device (or a pipe) the port map names itself, links included (/dev/serial/by-id/...).
  const bool exists = ::stat(device.c_str(), &st) == 0;
  if (!exists) fail(port, device, "impressora não conectada"_cp, ENOENT);
  if (S_ISDIR(st.st_mode)) fail(port, device, "não é um dispositivo nem um arquivo"_cp, 0);
  if (S_ISREG(st.st_mode)) fail(port, device, "arquivo de captura fora da pasta do sistema"_cp, 0);
  int fd = ::open(device.c_str(), flags);
  if (fd < 0) fail(port, device, "não foi possível abrir"_cp, errno);
  return fd;
}

// A port that stalled in the running job: its later writes in that job fail at once.
void refuse_if_failed(std::string_view port, const std::filesystem::path& device) {
  job::Context* ctx = job::current();
  if (!ctx) return;
  auto it = ctx->failedPorts.find(device.string());
  if (it != ctx->failedPorts.end())
    fail(port, device, "não enviado, a impressora já falhou neste job ("_cp + it->second + ")", 0);
}

void mark_failed(const std::filesystem::path& device, const std::string& why) {
  if (job::Context* ctx = job::current()) ctx->failedPorts.emplace(device.string(), why);
}

// ---- network printers: "socket://HOST[:PORT]" (raw TCP, 9100 unless given) ----

struct Endpoint {
  std::string host, service;
};

std::optional<Endpoint> network_target(const std::filesystem::path& device) {
  const std::string s = device.string();
  if (s.rfind("socket://", 0) != 0) return std::nullopt;
  std::string rest = s.substr(9);
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  Endpoint e{rest, "9100"};
  if (!rest.empty() && rest.front() == '[') {  // [::1]:9100
    const auto close = rest.find(']');
    if (close == std::string::npos) return Endpoint{};
    e.host = rest.substr(1, close - 1);
    if (close + 1 < rest.size()) {
      if (rest[close + 1] != ':') return Endpoint{};
      e.service = rest.substr(close + 2);
    }
  } else if (const auto colon = rest.rfind(':'); colon != std::string::npos) {
    e.host = rest.substr(0, colon);
    e.service = rest.substr(colon + 1);
  }
  const bool plain_host = !e.host.empty() && std::all_of(e.host.begin(), e.host.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '_';
  });
  const bool plain_port = !e.service.empty() && e.service.size() <= 5 &&
                          std::all_of(e.service.begin(), e.service.end(), ::isdigit) && std::stoi(e.service) > 0 &&
                          std::stoi(e.service) < 65536;
  if (!plain_host || !plain_port) return Endpoint{};
  return e;
}

// Waits until `fd` is ready for `events` or the deadline passes; false on timeout.
bool wait_for(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return true;  // let the next call report the error
  }
}

// One connection to a network printer, made within the port's timeout.
int connect_network(std::string_view port, const std::filesystem::path& device, const Endpoint& e,
                    std::chrono::steady_clock::time_point deadline) {
  if (e.host.empty()) fail(port, device, "endereço de impressora de rede inválido"_cp, 0);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (int rc = ::getaddrinfo(e.host.c_str(), e.service.c_str(), &hints, &list); rc != 0)
    fail(port, device, "endereço não encontrado: "_cp + cp1252::from_utf8_lossy(gai_strerror(rc)), 0);
  int err = ECONNREFUSED;
  for (addrinfo* a = list; a; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      err = errno;
      continue;
    }
    if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0 || errno == EINPROGRESS) {
      if (!wait_for(fd, POLLOUT, deadline)) {
        ::close(fd);
        ::freeaddrinfo(list);
        const std::string why = "tempo esgotado na conexão (impressora não responde)"_cp;
        mark_failed(device, why);
        fail(port, device, why, 0);
      }
      socklen_t len = sizeof err;
      if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) {
        ::freeaddrinfo(list);
        return fd;
      }
    } else {
      err = errno;
    }
    ::close(fd);
  }
  ::freeaddrinfo(list);
  fail(port, device, "não foi possível conectar"_cp, err);
}

// A printer that stopped reading: what it did not take is dropped (the connection is reset) and the port
// counts as stalled for the rest of the job.
[[noreturn]] void stalled_network(std::string_view port, const std::filesystem::path& device, int fd) {
  linger off{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
  ::close(fd);
  const std::string why = "tempo esgotado na escrita (impressora não responde)"_cp;
  mark_failed(device, why);
  fail(port, device, why, 0);
}

// Every byte of `bytes` through `put` (write or send on a non-blocking fd), waiting for the fd until the
// deadline. A failed write closes the fd and fails; a deadline that passes calls `stalled`, which closes the
// fd and fails as the kind of port requires.
template <class Put, class Stalled>
void write_all(int fd, std::string_view bytes, std::chrono::steady_clock::time_point deadline, std::string_view port,
               const std::filesystem::path& device, Put put, Stalled stalled) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = put(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      int err = errno;
      ::close(fd);
      fail(port, device, "erro de escrita", err);
    }
    if (!wait_for(fd, POLLOUT, deadline)) stalled(fd);
  }
}

// One write, one connection: every byte within the port's timeout, then the connection is closed in order so
// the printer sees the end of the job.
void write_network(std::string_view port, const std::filesystem::path& device, const Endpoint& e,
                   std::string_view bytes, int timeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int fd = connect_network(port, device, e, deadline);
  write_all(
      fd, bytes, deadline, port, device,
      [](int f, const char* data, std::size_t n) { return ::send(f, data, n, MSG_NOSIGNAL); },
      [&](int f) { stalled_network(port, device, f); });
  ::shutdown(fd, SHUT_WR);
  // Written is not printed: the kernel holds what the printer has not acknowledged, and would drop it
  // silently after close. The ticket counts as sent once the printer's side has taken every byte.
  for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, std::chrono::milliseconds(50))) {
    int queued = 0;
    if (::ioctl(fd, SIOCOUTQ, &queued) != 0 || queued <= 0) break;
    if (std::chrono::steady_clock::now() >= deadline) stalled_network(port, device, fd);
    std::this_thread::sleep_for(pause);
  }
  ::close(fd);
}

}  // namespace

std::filesystem::path device_of(const PortMap& map, std::string_view port) {
  std::string name = upper(port);
  while (!name.empty() && (name.back() == ':' || name.back() == ' ')) name.pop_back();
  if (auto it = map.names.find(name); it != map.names.end()) return it->second;
  if (auto it = map.invalid.find(name); it != map.invalid.end()) throw Error(it->second);
  auto number = [&](std::size_t from) -> int {
    if (name.size() <= from || name.size() > from + 3) return -1;
    int n = 0;
    for (std::size_t i = from; i < name.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
      n = n * 10 + (name[i] - '0');
    }
    return n;
  };
  if (name.rfind("LPT", 0) == 0 && number(3) >= 1) return "/dev/lp" + std::to_string(number(3) - 1);
  if (name.rfind("COM", 0) == 0 && number(3) >= 1) return "/dev/ttyS" + std::to_string(number(3) - 1);
  throw Error("Porta sem mapeamento: " + std::string(port));
}

void touch(const PortMap& map, std::string_view port) {
  auto device = device_of(map, port);
  refuse_if_failed(port, device);
  if (auto e = network_target(device)) {
    // The printer is there and takes a connection; nothing is sent.
    int fd =
        connect_network(port, device, *e, std::chrono::steady_clock::now() + std::chrono::seconds(map.timeoutSeconds));
    ::close(fd);
    return;
  }
  int fd = open_port(port, device);
  ::close(fd);
}

void write(const PortMap& map, std::string_view port, std::string_view bytes) {
  auto device = device_of(map, port);
  refuse_if_failed(port, device);
  if (auto e = network_target(device)) {
    write_network(port, device, *e, bytes, map.timeoutSeconds);
    return;
  }
  NoSigpipe guard;
  int fd = open_port(port, device);
  write_all(
      fd, bytes, std::chrono::steady_clock::now() + std::chrono::seconds(map.timeoutSeconds), port, device,
      [](int f, const char* data, std::size_t n) { return ::write(f, data, n); },
      [&](int f) {
        if (::isatty(f)) ::tcflush(f, TCOFLUSH);  // a stalled serial line must not hold close() for long
        ::close(f);
        const std::string why = "tempo esgotado na escrita (impressora não responde)"_cp;
        mark_failed(device, why);
        fail(port, device, why, 0);
      });
  if (::close(fd) != 0 && errno != EINTR) fail(port, device, "erro ao fechar", errno);
}

void write_serial(const PortMap& map, std::string_view port, std::string_view bytes, int timeoutMs) {
  auto device = device_of(map, port);
  refuse_if_failed(port, device);
  if (network_target(device)) fail(port, device, "não é uma linha serial"_cp, 0);
  NoSigpipe guard;
  int fd = open_port(port, device, O_RDWR);
  auto give_up = [&](const std::string& what, int err) {
    ::close(fd);
    fail(port, device, what, err);
  };
  // Exclusive: another program (or another thread of ours) writing the same line would interleave tickets.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) give_up("porta em uso por outro programa", errno);
  const bool terminal = ::isatty(fd) != 0;
  if (terminal) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) give_up("não foi possível ler a configuração da porta"_cp, errno);
    tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB | CSTOPB)) | CS8 | CREAD | CLOCAL;
    tio.c_oflag &= ~OPOST;  // the ticket's own CR LF, never a CR added before each LF
    if (::cfsetispeed(&tio, B19200) != 0 || ::cfsetospeed(&tio, B19200) != 0 || ::tcsetattr(fd, TCSANOW, &tio) != 0)
      give_up("não foi possível configurar a porta (19200 8N1)"_cp, errno);
  }
  write_all(
      fd, bytes, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs), port, device,
      [](int f, const char* data, std::size_t n) { return ::write(f, data, n); },
      [&](int f) {
        if (terminal) ::tcflush(f, TCOFLUSH);  // what the printer did not take must not hold close() for long
        ::close(f);
        const std::string why = "tempo esgotado na escrita (impressora não responde)"_cp;
        mark_failed(device, why);
        fail(port, device, why, 0);
      });
  if (::close(fd) != 0 && errno != EINTR) fail(port, device, "erro ao fechar", errno);
}

}  // namespace imp::port
