// TcpSocket on POSIX sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "link/tcp_socket.h"

namespace quillon {
namespace {

// Waits for the events on fd; true when one of them (or an error) is signalled.
bool WaitFor(int fd, short events, uint32_t wait_ms) {
  pollfd p{fd, events, 0};
  const int timeout = static_cast<int>(std::min<uint32_t>(wait_ms, INT_MAX));
  for (;;) {
    const int r = ::poll(&p, 1, timeout);
    if (r < 0 && errno == EINTR) continue;  // a signal: the caller's slice simply ends early
    return r > 0;
  }
}

}  // namespace

TcpSocket::Step TcpSocket::StartConnect(const std::string& host, uint16_t port) {
  Close();
  error_.clear();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int r = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); r != 0) {
    error_ = "unknown host " + host + " (" + ::gai_strerror(r) + ")";
    return Step::kFailed;
  }
  // Printers are reached over IPv4 almost always: take its address when there is one.
  const addrinfo* pick = found;
  for (const addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family == AF_INET) {
      pick = a;
      break;
    }
  }
  const int fd = ::socket(pick->ai_family, pick->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          pick->ai_protocol);
  if (fd < 0) {
    error_ = std::string("cannot create a socket: ") + std::strerror(errno);
    ::freeaddrinfo(found);
    return Step::kFailed;
  }
  handle_ = fd;
  const int one = 1;
  // Commands are small and each waits for its reply: send them without delay.
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  const int r = ::connect(fd, pick->ai_addr, pick->ai_addrlen);
  const int err = errno;
  ::freeaddrinfo(found);
  if (r == 0) return Step::kDone;
  if (err == EINPROGRESS || err == EINTR) return Step::kPending;
  error_ = std::strerror(err);
  Close();
  return Step::kFailed;
}

TcpSocket::Step TcpSocket::FinishConnect(uint32_t wait_ms) {
  if (handle_ < 0) return Step::kFailed;
  const int fd = static_cast<int>(handle_);
  if (!WaitFor(fd, POLLOUT, wait_ms)) return Step::kPending;
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  if (err == 0) return Step::kDone;
  error_ = std::strerror(err);
  Close();
  return Step::kFailed;
}

TcpSocket::Step TcpSocket::Send(const uint8_t* data, size_t len, size_t& sent, uint32_t wait_ms) {
  sent = 0;
  if (handle_ < 0) return Step::kFailed;
  const int fd = static_cast<int>(handle_);
  if (len == 0) return Step::kDone;
  for (;;) {
    const ssize_t n = ::send(fd, data, len, MSG_NOSIGNAL);
    if (n > 0) {
      sent = static_cast<size_t>(n);
      return Step::kDone;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      WaitFor(fd, POLLOUT, wait_ms);
      return Step::kPending;
    }
    error_ = n < 0 ? std::strerror(errno) : "the connection was closed";
    return Step::kFailed;
  }
}

int TcpSocket::Receive(uint8_t* buf, size_t cap, uint32_t wait_ms) {
  if (handle_ < 0) return -1;
  const int fd = static_cast<int>(handle_);
  if (wait_ms > 0 && !WaitFor(fd, POLLIN, wait_ms)) return 0;
  for (;;) {
    const ssize_t n = ::recv(fd, buf, cap, MSG_DONTWAIT);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) {
      error_ = "the printer closed the connection";
      return -1;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    error_ = std::strerror(errno);
    return -1;
  }
}

void TcpSocket::ShutdownSend() {
  if (handle_ >= 0) ::shutdown(static_cast<int>(handle_), SHUT_WR);
}

void TcpSocket::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace quillon
