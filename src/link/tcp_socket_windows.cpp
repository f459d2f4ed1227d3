// The network link's socket calls on Winsock 2: a non-blocking SOCKET waited on with select.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>

#include "link/tcp_socket_system.h"

namespace quillon::tcp_system {
namespace {

SOCKET SocketOf(Socket s) {
  return static_cast<SOCKET>(s);
}

int LastError(int n) {
  return n < 0 ? WSAGetLastError() : 0;
}

}  // namespace

// Winsock is started once for the program and left running until it ends.
bool Start(std::string& error) {
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

int Resolve(const std::string& host, uint16_t port, Address& address) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (const int r = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found))
    return r;
  TakeAddress(found, AF_INET, address);
  freeaddrinfo(found);
  return 0;
}

std::string ResolveErrorText(int code) {
  return ErrorText(code);
}

Socket Open(const Address& address, int& err) {
  const SOCKET s = socket(address.family, address.type, address.protocol);
  if (s == INVALID_SOCKET) {
    err = WSAGetLastError();
    return kNoSocket;
  }
  u_long non_blocking = 1;
  ioctlsocket(s, FIONBIO, &non_blocking);
  // Commands are small and each waits for its reply: send them without delay.
  const BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return static_cast<Socket>(s);
}

int Connect(Socket s, const Address& address) {
  const int r = connect(SocketOf(s), reinterpret_cast<const sockaddr*>(address.bytes),
                        static_cast<int>(address.length));
  return r == 0 ? 0 : WSAGetLastError();
}

int PendingError(Socket s) {
  int err = 0;
  int len = sizeof err;
  if (getsockopt(SocketOf(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0)
    err = WSAGetLastError();
  return err;
}

bool Wait(Socket s, bool write, uint32_t ms) {
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(SocketOf(s), &ready);
  FD_SET(SocketOf(s), &failed);
  ms = std::min<uint32_t>(ms, INT_MAX / 1000);
  timeval timeout{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
  // A failed connect is reported in the exception set on Windows, not as writable.
  const int r = write ? select(0, nullptr, &ready, &failed, &timeout)
                      : select(0, &ready, nullptr, &failed, &timeout);
  return r > 0;
}

long Send(Socket s, const uint8_t* data, size_t len, int& err) {
  const int chunk = static_cast<int>(std::min<size_t>(len, INT_MAX));
  const int n = send(SocketOf(s), reinterpret_cast<const char*>(data), chunk, 0);
  err = LastError(n);
  return n;
}

long Receive(Socket s, uint8_t* buf, size_t cap, int& err) {
  const int want = static_cast<int>(std::min<size_t>(cap, INT_MAX));
  const int n = recv(SocketOf(s), reinterpret_cast<char*>(buf), want, 0);  // never blocks
  err = LastError(n);
  return n;
}

void ShutdownSend(Socket s) {
  shutdown(SocketOf(s), SD_SEND);
}

void Close(Socket s) {
  closesocket(SocketOf(s));
}

bool Interrupted(int err) {
  return err == WSAEINTR;
}

bool WouldBlock(int err) {
  return err == WSAEWOULDBLOCK;
}

bool ConnectPending(int err) {
  return err == WSAEWOULDBLOCK || err == WSAEINPROGRESS || err == WSAEINTR;
}

std::string ErrorText(int code) {
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

}  // namespace quillon::tcp_system
