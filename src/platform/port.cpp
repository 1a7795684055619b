#include "platform/port.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

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

int open_port(std::string_view port, const std::filesystem::path& device) {
  const int flags = O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
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
  int fd = open_port(port, device);
  ::close(fd);
}

void write(const PortMap& map, std::string_view port, std::string_view bytes) {
  auto device = device_of(map, port);
  refuse_if_failed(port, device);
  NoSigpipe guard;
  int fd = open_port(port, device);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(map.timeoutSeconds);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
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
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      if (::isatty(fd)) ::tcflush(fd, TCOFLUSH);  // a stalled serial line must not hold close() for long
      ::close(fd);
      const std::string why = "tempo esgotado na escrita (impressora não responde)"_cp;
      mark_failed(device, why);
      fail(port, device, why, 0);
    }
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(left.count()));
  }
  if (::close(fd) != 0 && errno != EINTR) fail(port, device, "erro ao fechar", errno);
}

}  // namespace imp::port
