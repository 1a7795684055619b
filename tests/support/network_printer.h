// A network printer on loopback: a listener that takes raw TCP jobs (one connection, one job) and keeps
// what each connection brought, as a printer on port 9100 would print it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback.h"

namespace imp::test {

class NetworkPrinter {
 public:
  NetworkPrinter() {
    fd_ = listen_on_loopback(port_, "NetworkPrinter");
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        std::string job;
        char buf[4096];
        for (;;) {
          ssize_t n = ::read(c, buf, sizeof buf);
          if (n <= 0) break;
          job.append(buf, static_cast<std::size_t>(n));
        }
        ::close(c);
        std::lock_guard lk(m_);
        jobs_.push_back(std::move(job));
      }
    });
  }
  ~NetworkPrinter() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  NetworkPrinter(const NetworkPrinter&) = delete;
  NetworkPrinter& operator=(const NetworkPrinter&) = delete;

  int port() const { return port_; }
  std::string uri() const { return "socket://127.0.0.1:" + std::to_string(port_); }
  // The jobs received so far, waiting up to a second for `at_least` of them.
  std::vector<std::string> jobs(std::size_t at_least = 0) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;) {
      {
        std::lock_guard lk(m_);
        if (jobs_.size() >= at_least || std::chrono::steady_clock::now() > until) return jobs_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex m_;
  std::vector<std::string> jobs_;
  std::thread thread_;
};

}  // namespace imp::test
