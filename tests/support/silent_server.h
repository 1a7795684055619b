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

namespace imp::test {

class SilentServer {
 public:
  // `receive_buffer` > 0 shrinks what each connection takes before the sender stalls.
  explicit SilentServer(int receive_buffer = 0) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receive_buffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      throw std::runtime_error("SilentServer: no loopback listener");
    port_ = ntohs(a.sin_port);
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
