// SPDX-License-Identifier: GPL-3.0-or-later
// TCP listening with POSIX sockets: every socket non-blocking, all of them in
// one epoll set whose descriptor is the ready handle.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/listener.h"

namespace zorvane {

namespace {

std::string AddressText(const sockaddr_storage& a) {
  char host[INET6_ADDRSTRLEN] = "?";
  uint16_t port = 0;
  if (a.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&a);
    inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
    port = ntohs(v4->sin_port);
    return std::string(host) + ":" + std::to_string(port);
  }
  const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&a);
  inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
  port = ntohs(v6->sin6_port);
  return "[" + std::string(host) + "]:" + std::to_string(port);
}

class TcpListener : public Listener {
 public:
  TcpListener(int fd, int epoll) : fd_(fd), epoll_(epoll) {}
  ~TcpListener() override {
    close(fd_);
    close(epoll_);
  }

  int Accept(std::string& peer) override {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    const int c = accept4(fd_, reinterpret_cast<sockaddr*>(&a), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (c < 0) return -1;
    // Replies go out at once: a query's answer is one small packet.
    const int one = 1;
    setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    epoll_event e{};
    e.events = EPOLLIN | EPOLLRDHUP;
    e.data.fd = c;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, c, &e) != 0) {
      close(c);
      return -1;
    }
    peer = AddressText(a);
    return c;
  }

  long Receive(int c, char* buf, size_t n) override {
    const ssize_t got = recv(c, buf, n, 0);
    if (got > 0) return got;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return -1;
  }

  long Send(int c, const char* buf, size_t n) override {
    const ssize_t sent = send(c, buf, n, MSG_NOSIGNAL);
    if (sent >= 0) return sent;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    return -1;
  }

  void Watch(int c, bool reading, bool writing) override {
    epoll_event e{};
    e.events = (reading ? EPOLLIN | EPOLLRDHUP : 0u) | (writing ? EPOLLOUT : 0u);
    e.data.fd = c;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, c, &e);
  }

  void Close(int c) override {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, c, nullptr);
    close(c);
  }

  int ReadyHandle() const override { return epoll_; }

  std::string LocalAddress() const override {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    return AddressText(a);
  }

 private:
  int fd_, epoll_;
};

}  // namespace

bool ParseListenAddress(const std::string& text, std::string& host, uint16_t& port,
                        std::string& error) {
  const size_t colon = text.rfind(':');
  error = "--listen " + text + ": expected ADDRESS:PORT";
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  else if (host.find(':') != std::string::npos)
    return false;  // an IPv6 address needs its brackets
  long value = 0;
  for (size_t i = colon + 1; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9' || (value = value * 10 + (text[i] - '0')) > 65535) {
      error = "--listen " + text + ": the port must be a number from 0 to 65535";
      return false;
    }
  }
  port = static_cast<uint16_t>(value);
  return !host.empty();
}

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, host.c_str(), &v6) != 1) return false;
  if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
  return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

std::unique_ptr<Listener> ListenTcp(const std::string& host, uint16_t port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV | (host == "localhost" ? 0 : AI_NUMERICHOST);
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int r = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); r != 0) {
    error = "cannot listen on " + host + ": " + gai_strerror(r);
    return nullptr;
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, &freeaddrinfo);
  int fd = -1;
  for (addrinfo* a = found; a; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 8) == 0) break;
    error = "cannot listen on " + host + ":" + service + ": " + std::strerror(errno);
    close(fd);
    fd = -1;
  }
  if (fd < 0) return nullptr;
  const int epoll = epoll_create1(EPOLL_CLOEXEC);
  epoll_event e{};
  e.events = EPOLLIN;
  e.data.fd = fd;
  if (epoll < 0 || epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &e) != 0) {
    error = std::string("cannot listen: ") + std::strerror(errno);
    if (epoll >= 0) close(epoll);
    close(fd);
    return nullptr;
  }
  return std::make_unique<TcpListener>(fd, epoll);
}

}  // namespace zorvane
