// A TCP listener of a test on 127.0.0.1, on a port the system picks.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace imp::test {

// The listening socket; `port` receives its port. `receive_buffer` > 0 shrinks what each accepted connection
// takes before its sender stalls. std::runtime_error naming `who` when there is no listener.
inline int listen_on_loopback(int& port, const char* who, int receive_buffer = 0) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && receive_buffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    if (fd >= 0) ::close(fd);
    throw std::runtime_error(std::string(who) + ": no loopback listener");
  }
  port = ntohs(a.sin_port);
  return fd;
}

}  // namespace imp::test
