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
#include "platform/hostdir.h"

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

bool below_host_folder(const std::filesystem::path& device) {
  auto root = std::filesystem::weakly_canonical(hostdir::root());
  auto target = std::filesystem::weakly_canonical(std::filesystem::absolute(device));
  auto r = root.begin(), t = target.begin();
  for (; r != root.end(); ++r, ++t)
    if (t == target.end() || *r != *t) return false;
  return true;
}

int open_port(std::string_view port, const std::filesystem::path& device) {
  int flags = O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  struct stat st {};
  bool exists = ::stat(device.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) fail(port, device, "não é um dispositivo nem um arquivo"_cp, 0);
  // A capture file collects every write; it may be created only below the host folder, so a missing
  // device (/dev/lp0 of an unplugged printer) is an error and never becomes a file.
  if (exists && S_ISREG(st.st_mode)) flags |= O_APPEND;
  if (!exists) {
    if (!below_host_folder(device)) fail(port, device, "impressora não conectada"_cp, ENOENT);
    flags |= O_APPEND | O_CREAT;
  }
  int fd = ::open(device.c_str(), flags, 0644);
  if (fd < 0) fail(port, device, "não foi possível abrir"_cp, errno);
  return fd;
}

}  // namespace

std::filesystem::path device_of(const PortMap& map, std::string_view port) {
  std::string name = upper(port);
  while (!name.empty() && (name.back() == ':' || name.back() == ' ')) name.pop_back();
  if (auto it = map.names.find(name); it != map.names.end()) return it->second;
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
  int fd = open_port(port, device);
  ::close(fd);
}

void write(const PortMap& map, std::string_view port, std::string_view bytes) {
  auto device = device_of(map, port);
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
      fail(port, device, "tempo esgotado na escrita (impressora não responde)"_cp, 0);
    }
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(left.count()));
  }
  if (::close(fd) != 0 && errno != EINTR) fail(port, device, "erro ao fechar", errno);
}

}  // namespace imp::port
