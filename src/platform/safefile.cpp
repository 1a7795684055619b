#include "platform/safefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/hostdir.h"

namespace imp::safefile {
namespace fs = std::filesystem;
namespace {

std::string shown(const fs::path& p) {
  return cp1252::from_utf8_lossy(p.string());
}

[[noreturn]] void fail(const fs::path& p, const std::string& what, int err) {
  throw Error("Arquivo \""_cp + shown(p) + "\": " + what +
              (err ? ": " + cp1252::from_utf8_lossy(std::strerror(err)) : ""));
}

// The part of `path` below `base`, when it lies there lexically.
std::optional<fs::path> relative_to(const fs::path& path, const fs::path& base) {
  fs::path p = path.lexically_normal(), b = base.lexically_normal();
  auto pi = p.begin(), bi = b.begin();
  for (; bi != b.end(); ++bi, ++pi) {
    if (bi->empty()) continue;  // a trailing separator of the base
    if (pi == p.end() || *pi != *bi) return std::nullopt;
  }
  fs::path rest;
  for (; pi != p.end(); ++pi)
    if (!pi->empty()) rest /= *pi;
  return rest;
}

struct Root {
  fs::path given, real;
};

Root host_root() {
  Root r;
  r.given = fs::absolute(hostdir::root());
  std::error_code ec;
  r.real = fs::weakly_canonical(r.given, ec);
  if (ec) r.real = r.given;
  return r;
}

// Where an open folder really is.
fs::path real_path(int fd) {
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
  return ec ? fs::path() : p;
}

bool inside(const fs::path& real, const fs::path& root) {
  return !real.empty() && relative_to(real, root).has_value();
}

Fd open_dir(const fs::path& p) {
  return Fd(::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace

Fd& Fd::operator=(Fd&& o) noexcept {
  if (this != &o) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = o.release();
  }
  return *this;
}

Fd::~Fd() {
  if (fd_ >= 0) ::close(fd_);
}

bool below_host_folder(const fs::path& path) {
  Root root = host_root();
  fs::path abs = fs::absolute(path);
  return relative_to(abs, root.given).has_value() || relative_to(abs, root.real).has_value();
}

Fd open_folder(const fs::path& folder, bool create) {
  Root root = host_root();
  fs::path abs = fs::absolute(folder);
  std::optional<fs::path> rel = relative_to(abs, root.given);
  if (!rel) rel = relative_to(abs, root.real);
  if (!rel) {
    // A folder the caller chose outside the host folder.
    if (create) {
      std::error_code ec;
      fs::create_directories(abs, ec);
    }
    Fd fd = open_dir(abs);
    if (!fd) fail(abs, "não foi possível abrir a pasta"_cp, errno);
    return fd;
  }
  if (create) {
    std::error_code ec;
    if (!fs::exists(root.real, ec)) fs::create_directories(root.real, ec);
  }
  Fd dir = open_dir(root.real);
  if (!dir) fail(root.real, "não foi possível abrir a pasta do sistema"_cp, errno);
  fs::path walked = root.real;
  for (const fs::path& part : *rel) {
    if (part.empty() || part == ".") continue;
    if (part == "..") fail(abs, "caminho fora da pasta do sistema"_cp, 0);
    walked /= part;
    int fd = ::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create) {
      if (::mkdirat(dir.get(), part.c_str(), 0755) != 0 && errno != EEXIST)
        fail(walked, "não foi possível criar a pasta"_cp, errno);
      fd = ::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) fail(walked, "não foi possível abrir a pasta"_cp, errno);
    Fd next(fd);
    // A folder may be a link, but only to a place that is still below the host folder.
    if (!inside(real_path(next.get()), root.real)) fail(walked, "pasta fora da pasta do sistema"_cp, 0);
    dir = std::move(next);
  }
  return dir;
}

Fd open_file(const fs::path& file, int flags, bool create_folders) {
  fs::path abs = fs::absolute(file);
  if (!abs.has_filename()) fail(abs, "nome de arquivo vazio", 0);
  Fd dir = open_folder(abs.parent_path(), create_folders && (flags & O_CREAT) != 0);
  int fd = ::openat(dir.get(), abs.filename().c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd < 0) {
    int err = errno;
    if (err == ELOOP) fail(abs, "link simbólico recusado"_cp, 0);
    fail(abs, "não foi possível abrir"_cp, err);
  }
  return Fd(fd);
}

namespace {
void write_all(int fd, std::string_view bytes, const fs::path& p) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(p, "erro de escrita", errno);
    done += static_cast<std::size_t>(n);
  }
}
}  // namespace

void append(const fs::path& file, std::string_view bytes, bool create_folders) {
  // Never blocks on a pipe planted at the file's name (a log is appended under a lock every job needs).
  Fd fd = open_file(file, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK, create_folders);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) fail(file, "não é um arquivo comum"_cp, 0);
  write_all(fd.get(), bytes, file);
}

std::string read(const fs::path& file) {
  Fd fd = open_file(file, O_RDONLY | O_NONBLOCK, false);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) fail(file, "não é um arquivo comum"_cp, 0);
  std::string out;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(file, "erro de leitura"_cp, errno);
    if (n == 0) return out;
    out.append(buf, static_cast<std::size_t>(n));
  }
}

void write_atomic(const fs::path& file, std::string_view bytes, bool create_folders) {
  static std::atomic<unsigned long> counter{0};
  fs::path abs = fs::absolute(file);
  if (!abs.has_filename()) fail(abs, "nome de arquivo vazio", 0);
  Fd dir = open_folder(abs.parent_path(), create_folders);
  const std::string name = abs.filename().string();
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = "." + name + "." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1)) + ".tmp";
    fd = ::openat(dir.get(), tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) fail(abs, "não foi possível criar o temporário"_cp, errno);
  }
  if (fd < 0) fail(abs, "não foi possível criar o temporário"_cp, EEXIST);
  Fd out(fd);
  try {
    write_all(out.get(), bytes, abs);
  } catch (...) {
    ::unlinkat(dir.get(), tmp.c_str(), 0);
    throw;
  }
  out = Fd();
  if (::renameat(dir.get(), tmp.c_str(), dir.get(), name.c_str()) != 0) {
    int err = errno;
    ::unlinkat(dir.get(), tmp.c_str(), 0);
    fail(abs, "não foi possível gravar"_cp, err);
  }
}

}  // namespace imp::safefile
