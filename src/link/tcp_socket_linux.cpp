// The network link's socket calls on POSIX sockets.
#include <arpa/inet.h>
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

#include "link/tcp_socket_system.h"

namespace quillon::tcp_system {
namespace {

int Fd(Socket s) {
  return static_cast<int>(s);
}

const sockaddr* SockAddr(const Address& a) {
  return reinterpret_cast<const sockaddr*>(a.bytes);
}

}  // namespace

bool Start(std::string&) {
  return true;
}

int Resolve(const std::string& host, uint16_t port, Address& address) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (const int r = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found))
    return r;
  TakeAddress(found, AF_INET, address);
  ::freeaddrinfo(found);
  return 0;
}

std::string ResolveErrorText(int code) {
  return ::gai_strerror(code);
}

Socket Open(const Address& address, int& err) {
  const int fd =
      ::socket(address.family, address.type | SOCK_NONBLOCK | SOCK_CLOEXEC, address.protocol);
  if (fd < 0) {
    err = errno;
    return kNoSocket;
  }
  // Commands are small and each waits for its reply: send them without delay.
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

int Connect(Socket s, const Address& address) {
  return ::connect(Fd(s), SockAddr(address), address.length) == 0 ? 0 : errno;
}

int PendingError(Socket s) {
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(Fd(s), SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  return err;
}

bool Wait(Socket s, bool write, uint32_t ms) {
  pollfd p{Fd(s), static_cast<short>(write ? POLLOUT : POLLIN), 0};
  const int timeout = static_cast<int>(std::min<uint32_t>(ms, INT_MAX));
  for (;;) {
    const int r = ::poll(&p, 1, timeout);
    if (r < 0 && errno == EINTR) continue;  // a signal: the caller's slice simply ends early
    return r > 0;
  }
}

long Send(Socket s, const uint8_t* data, size_t len, int& err) {
  const ssize_t n = ::send(Fd(s), data, len, MSG_NOSIGNAL);
  err = n < 0 ? errno : 0;
  return static_cast<long>(n);
}

long Receive(Socket s, uint8_t* buf, size_t cap, int& err) {
  const ssize_t n = ::recv(Fd(s), buf, cap, MSG_DONTWAIT);
  err = n < 0 ? errno : 0;
  return static_cast<long>(n);
}

void ShutdownSend(Socket s) {
  ::shutdown(Fd(s), SHUT_WR);
}

void Close(Socket s) {
  ::close(Fd(s));
}

bool Interrupted(int err) {
  return err == EINTR;
}

bool WouldBlock(int err) {
  return err == EAGAIN || err == EWOULDBLOCK;
}

bool ConnectPending(int err) {
  return err == EINPROGRESS || err == EINTR;
}

std::string ErrorText(int err) {
  return std::strerror(err);
}

}  // namespace quillon::tcp_system
