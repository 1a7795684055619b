// A loopback HTTP server for tests: records each request (method, path, headers, body) and answers as told,
// with a status, a body and an optional delay before answering.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback.h"

namespace imp::test {

class HttpServer {
 public:
  struct Request {
    std::string method, path, body;
    std::map<std::string, std::string> headers;  // names in lower case
  };
  struct Answer {
    int status = 200;
    std::string body = "{}";
    int delay_ms = 0;
  };

  HttpServer() {
    fd_ = listen_on_loopback(port_, "HttpServer");
    thread_ = std::thread([this] { serve(); });
  }
  ~HttpServer() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  void answer(Answer a) {
    std::lock_guard lk(m_);
    answer_ = std::move(a);
  }
  std::vector<Request> requests() {
    std::lock_guard lk(m_);
    return requests_;
  }

 private:
  void serve() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) continue;
      handle(c);
      ::close(c);
    }
  }
  void handle(int c) {
    std::string data;
    char buf[4096];
    std::size_t head_end = std::string::npos, need = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
      pollfd p{c, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(c, buf, sizeof buf);
      if (n <= 0) break;
      data.append(buf, static_cast<std::size_t>(n));
      if (head_end == std::string::npos && (head_end = data.find("\r\n\r\n")) != std::string::npos) {
        need = head_end + 4 + content_length(data.substr(0, head_end));
      }
      if (head_end != std::string::npos && data.size() >= need) break;
    }
    if (head_end == std::string::npos) return;
    Request r;
    const std::string head = data.substr(0, head_end);
    std::size_t line_end = head.find("\r\n");
    const std::string first = head.substr(0, line_end);
    r.method = first.substr(0, first.find(' '));
    r.path = first.substr(first.find(' ') + 1, first.rfind(' ') - first.find(' ') - 1);
    for (std::size_t at = line_end; at != std::string::npos && at < head.size();) {
      const std::size_t next = head.find("\r\n", at + 2);
      const std::string line = head.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
      const auto colon = line.find(':');
      if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (auto& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        r.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
      }
      at = next;
    }
    r.body = data.substr(head_end + 4);
    Answer a;
    {
      std::lock_guard lk(m_);
      requests_.push_back(r);
      a = answer_;
    }
    if (a.delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(a.delay_ms));
    const std::string reply = "HTTP/1.1 " + std::to_string(a.status) + " X\r\nContent-Type: application/json\r\n" +
                              "Content-Length: " + std::to_string(a.body.size()) + "\r\nConnection: close\r\n\r\n" +
                              a.body;
    (void)!::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
  }
  static std::size_t content_length(const std::string& head) {
    std::string lower = head;
    for (auto& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const auto at = lower.find("content-length:");
    return at == std::string::npos ? 0 : std::strtoul(lower.c_str() + at + 15, nullptr, 10);
  }

  int fd_ = -1, port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex m_;
  Answer answer_;
  std::vector<Request> requests_;
};

}  // namespace imp::test
