// TcpSocket on Winsock 2: the same steps as the POSIX file, a non-blocking SOCKET waited on
// with select.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <string>

#include "link/tcp_socket.h"

namespace quillon {
namespace {

// Winsock is started once for the program and left running until it ends.
bool WinsockReady(std::string& error) {
  static int started = -1;
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data);
  });
  if (started == 0) return true;
  error = "cannot start Windows sockets (error " + std::to_string(started) + ")";
  return false;
}

std::string SocketErrorText(int code) {
  switch (code) {
    case WSAECONNREFUSED:
      return "Connection refused";
    case WSAETIMEDOUT:
      return "Connection timed out";
    case WSAEHOSTUNREACH:
      return "No route to host";
    case WSAENETUNREACH:
      return "Network is unreachable";
    case WSAECONNRESET:
      return "Connection reset by peer";
    case WSAECONNABORTED:
      return "Software caused connection abort";
    case WSAENOTCONN:
      return "Transport endpoint is not connected";
    case WSAESHUTDOWN:
      return "Cannot send after transport endpoint shutdown";
    default:
      break;
  }
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = n > 0 && text ? std::string(text, n) : std::string();
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                             result.back() == ' ' || result.back() == '.'))
    result.pop_back();
  if (result.empty()) result = "socket error " + std::to_string(code);
  return result;
}

// Waits until the socket is writable (write: connected, or room to send) or readable;
// true when it is, or when it failed (the next call says how).
bool WaitFor(SOCKET s, bool write, uint32_t wait_ms) {
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(s, &ready);
  FD_SET(s, &failed);
  const uint32_t ms = std::min<uint32_t>(wait_ms, INT_MAX / 1000);
  timeval timeout{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
  // A failed connect is reported in the exception set on Windows, not as writable.
  const int r = write ? select(0, nullptr, &ready, &failed, &timeout)
                      : select(0, &ready, nullptr, &failed, &timeout);
  return r > 0;
}

SOCKET SocketOf(intptr_t handle) {
  return static_cast<SOCKET>(handle);
}

}  // namespace

TcpSocket::Step TcpSocket::StartConnect(const std::string& host, uint16_t port) {
  Close();
  error_.clear();
  if (!WinsockReady(error_)) return Step::kFailed;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int r = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); r != 0) {
    error_ = "unknown host " + host + " (" + SocketErrorText(r) + ")";
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
  const SOCKET s = socket(pick->ai_family, pick->ai_socktype, pick->ai_protocol);
  if (s == INVALID_SOCKET) {
    error_ = "cannot create a socket: " + SocketErrorText(WSAGetLastError());
    freeaddrinfo(found);
    return Step::kFailed;
  }
  handle_ = static_cast<intptr_t>(s);
  u_long non_blocking = 1;
  ioctlsocket(s, FIONBIO, &non_blocking);
  // Commands are small and each waits for its reply: send them without delay.
  const BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  const int r = connect(s, pick->ai_addr, static_cast<int>(pick->ai_addrlen));
  const int err = WSAGetLastError();
  freeaddrinfo(found);
  if (r == 0) return Step::kDone;
  if (err == WSAEWOULDBLOCK || err == WSAEINPROGRESS || err == WSAEINTR) return Step::kPending;
  error_ = SocketErrorText(err);
  Close();
  return Step::kFailed;
}

TcpSocket::Step TcpSocket::FinishConnect(uint32_t wait_ms) {
  if (handle_ < 0) return Step::kFailed;
  const SOCKET s = SocketOf(handle_);
  if (!WaitFor(s, true, wait_ms)) return Step::kPending;
  int err = 0;
  int len = sizeof err;
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0)
    err = WSAGetLastError();
  if (err == 0) return Step::kDone;
  error_ = SocketErrorText(err);
  Close();
  return Step::kFailed;
}

TcpSocket::Step TcpSocket::Send(const uint8_t* data, size_t len, size_t& sent, uint32_t wait_ms) {
  sent = 0;
  if (handle_ < 0) return Step::kFailed;
  const SOCKET s = SocketOf(handle_);
  if (len == 0) return Step::kDone;
  const int chunk = static_cast<int>(std::min<size_t>(len, INT_MAX));
  for (;;) {
    const int n = send(s, reinterpret_cast<const char*>(data), chunk, 0);
    if (n > 0) {
      sent = static_cast<size_t>(n);
      return Step::kDone;
    }
    const int err = n < 0 ? WSAGetLastError() : 0;
    if (err == WSAEINTR) continue;
    if (err == WSAEWOULDBLOCK) {
      WaitFor(s, true, wait_ms);
      return Step::kPending;
    }
    error_ = n < 0 ? SocketErrorText(err) : "the connection was closed";
    return Step::kFailed;
  }
}

int TcpSocket::Receive(uint8_t* buf, size_t cap, uint32_t wait_ms) {
  if (handle_ < 0) return -1;
  const SOCKET s = SocketOf(handle_);
  if (wait_ms > 0 && !WaitFor(s, false, wait_ms)) return 0;
  const int want = static_cast<int>(std::min<size_t>(cap, INT_MAX));
  for (;;) {
    const int n = recv(s, reinterpret_cast<char*>(buf), want, 0);  // the socket never blocks
    if (n > 0) return n;
    if (n == 0) {
      error_ = "the printer closed the connection";
      return -1;
    }
    const int err = WSAGetLastError();
    if (err == WSAEINTR) continue;
    if (err == WSAEWOULDBLOCK) return 0;
    error_ = SocketErrorText(err);
    return -1;
  }
}

void TcpSocket::ShutdownSend() {
  if (handle_ >= 0) shutdown(SocketOf(handle_), SD_SEND);
}

void TcpSocket::Close() {
  if (handle_ >= 0) closesocket(SocketOf(handle_));
  handle_ = -1;
}

}  // namespace quillon
