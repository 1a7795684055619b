// Files the module writes below the host folder, written so that a link planted in the folder can never send
// a write elsewhere: folders are walked one component at a time from the host folder and each opened folder
// must still lie below it; the last component is never followed when it is a symbolic link; temporary files
// get a unique name in the target's folder, are created exclusively and renamed over the target.
// A path outside the host folder is written the same careful way, without the containment test (a caller
// that writes there chose that path itself, never from data).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace imp::safefile {

// An open file descriptor, closed on destruction.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& o) noexcept : fd_(o.release()) {}
  Fd& operator=(Fd&& o) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd();
  int get() const { return fd_; }
  int release() {
    int f = fd_;
    fd_ = -1;
    return f;
  }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// True when `path` names a place below the host folder (lexically, before any link is read).
bool below_host_folder(const std::filesystem::path& path);

// Opens the folder of a path below the host folder, creating the missing folders when `create` is set.
// imp::Error when a folder is missing (and not created), is not a folder, or lies outside the host folder.
Fd open_folder(const std::filesystem::path& folder, bool create);

// Opens a file for writing with `flags` (O_WRONLY/O_RDWR, O_APPEND, O_CREAT, O_TRUNC ...): its folders are
// created as open_folder does, and a symbolic link at the file's own name is refused. imp::Error on failure,
// with the system's reason.
Fd open_file(const std::filesystem::path& file, int flags, bool create_folders = true);

// Appends the bytes to a file (created when missing, its folders too when `create_folders`). imp::Error on
// failure.
void append(const std::filesystem::path& file, std::string_view bytes, bool create_folders = true);

// The whole content of a regular file below the host folder, reached the same careful way (no link at its
// name). imp::Error when it is missing, not a regular file or cannot be read.
std::string read(const std::filesystem::path& file);

// Replaces a file's content at once: readers see the old content or the new, never half of it.
void write_atomic(const std::filesystem::path& file, std::string_view bytes, bool create_folders = true);

}  // namespace imp::safefile
