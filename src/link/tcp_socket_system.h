// The system's socket calls under TcpSocket, one implementation file per system
// (tcp_socket_linux.cpp, tcp_socket_windows.cpp); what to make of their results is decided
// once, in tcp_socket.cpp. Error codes are the system's (errno, or Winsock's).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace quillon::tcp_system {

using Socket = intptr_t;  // a file descriptor, or a SOCKET
inline constexpr Socket kNoSocket = -1;

// A resolved address to connect to, as the system's socket calls take it.
struct Address {
  int family = 0, type = 0, protocol = 0;
  unsigned length = 0;
  alignas(8) unsigned char bytes[128] = {};  // a sockaddr of length bytes
};

// Takes from the addresses a lookup gave the first IPv4 one when there is one (printers
// are reached over IPv4 almost always), else the first.
template <typename AddrInfo>
void TakeAddress(const AddrInfo* found, int inet, Address& address) {
  const AddrInfo* pick = found;
  for (const AddrInfo* a = found; a; a = a->ai_next) {
    if (a->ai_family == inet) {
      pick = a;
      break;
    }
  }
  address.family = pick->ai_family;
  address.type = pick->ai_socktype;
  address.protocol = pick->ai_protocol;
  address.length = static_cast<unsigned>(std::min<size_t>(pick->ai_addrlen, sizeof address.bytes));
  std::memcpy(address.bytes, pick->ai_addr, address.length);
}

// Makes the system's sockets usable (once for the program); false with error set.
bool Start(std::string& error);
// Looks host up for a TCP stream to port; 0, or the lookup's error code.
int Resolve(const std::string& host, uint16_t port, Address& address);
std::string ResolveErrorText(int code);
// A non-blocking socket for the address, sending without delay; kNoSocket with err set.
Socket Open(const Address& address, int& err);
// Starts the connect: 0 when connected at once, else the error code.
int Connect(Socket s, const Address& address);
// The error a connect that was pending ended with (0: connected).
int PendingError(Socket s);
// Waits up to ms until the socket is writable (write) or readable; true when it is, or
// when it failed (the next call says how).
bool Wait(Socket s, bool write, uint32_t ms);
// At most len bytes without blocking: the count moved, 0 when the peer closed (receive),
// or -1 with err set.
long Send(Socket s, const uint8_t* data, size_t len, int& err);
long Receive(Socket s, uint8_t* buf, size_t cap, int& err);
void ShutdownSend(Socket s);
void Close(Socket s);

// What an error code means to the caller.
bool Interrupted(int err);     // try again at once
bool WouldBlock(int err);      // try again after waiting
bool ConnectPending(int err);  // the connect goes on in the background
std::string ErrorText(int err);

}  // namespace quillon::tcp_system
