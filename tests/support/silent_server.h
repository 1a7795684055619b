// A database server that is there and says nothing: a loopback listener that accepts every connection and
// never answers, as a SQL Server hung in its login does.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback.h"

namespace imp::test {

class SilentServer {
 public:
  // `receive_buffer` > 0 shrinks what each connection takes before the sender stalls.
  explicit SilentServer(int receive_buffer = 0) {
    fd_ = listen_on_loopback(port_, "SilentServer", receive_buffer);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
          int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
          if (c >= 0) clients_.push_back(c);  // held open, never read or answered
        }
      }
    });
  }
  ~SilentServer() {
    stop_ = true;
    thread_.join();
    for (int c : clients_) ::close(c);
    ::close(fd_);
  }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  int port() const { return port_; }
  // A FreeTDS connection to it; FreeTDS keeps to the login timeout only with a fixed protocol version.
  std::string freetds() const {
    return "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(port_) + ";TDS_Version=7.4;UID=caixa;PWD=segredo";
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::vector<int> clients_;
  std::thread thread_;
};

}  // namespace imp::test
