// A pseudo-terminal standing in for a printer on a serial line: the module writes to the slave side by its
// path, a thread reads the master side into a buffer unless the printer is to stay silent. The test keeps a
// slave descriptor open, so the line settings the module made can be read back after it closed its own.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace imp::test {

class PseudoTerminal {
 public:
  explicit PseudoTerminal(bool reading = true) {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    path_ = name;
    if (reading) reader_ = std::thread([this] { read_loop(); });
  }
  ~PseudoTerminal() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    ::close(slave_);
    ::close(master_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& path() const { return path_; }
  // What the printer received, once `bytes` arrived or two seconds passed without more.
  std::string received(std::size_t bytes = 0) {
    auto quiet_since = std::chrono::steady_clock::now();
    std::size_t seen = 0;
    for (;;) {
      {
        std::lock_guard lk(m_);
        if (bytes && data_.size() >= bytes) return data_;
        if (data_.size() != seen) seen = data_.size(), quiet_since = std::chrono::steady_clock::now();
      }
      if (std::chrono::steady_clock::now() - quiet_since > std::chrono::milliseconds(bytes ? 5000 : 300)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard lk(m_);
    return data_;
  }
  termios settings() const {
    termios t{};
    ::tcgetattr(slave_, &t);
    return t;
  }

 private:
  void read_loop() {
    char buf[4096];
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) {
        std::lock_guard lk(m_);
        data_.append(buf, static_cast<std::size_t>(n));
      }
    }
  }

  int master_ = -1, slave_ = -1;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread reader_;
  std::mutex m_;
  std::string data_;
};

}  // namespace imp::test
