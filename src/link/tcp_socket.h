// The operating system's TCP client socket behind a small interface, so the network link
// stays portable: the steps are written once (tcp_socket.cpp) over the system calls of
// tcp_socket_system.h, one implementation file per OS (tcp_socket_linux.cpp, ...).
// Every call returns at once or blocks at most the milliseconds it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

class TcpSocket {
 public:
  enum class Step {
    kDone,     // connected / the bytes moved
    kPending,  // not yet: try again after waiting
    kFailed,   // refused, unreachable, reset, closed by the peer: error() says which
  };

  TcpSocket() = default;
  ~TcpSocket() { Close(); }
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Resolves host and starts a non-blocking connect with TCP_NODELAY set.
  Step StartConnect(const std::string& host, uint16_t port);
  // Waits up to wait_ms for the connect started above to finish.
  Step FinishConnect(uint32_t wait_ms);
  // Sends what the socket takes now (sent: how many); kPending when it takes nothing and
  // waited wait_ms for room.
  Step Send(const uint8_t* data, size_t len, size_t& sent, uint32_t wait_ms);
  // Waits up to wait_ms for bytes; returns their count, 0 when none came, -1 when the
  // peer closed the connection or it broke.
  int Receive(uint8_t* buf, size_t cap, uint32_t wait_ms);
  // No more bytes from this side (the peer reads an end of stream).
  void ShutdownSend();
  void Close();
  bool IsOpen() const { return handle_ >= 0; }
  const std::string& error() const { return error_; }

 private:
  intptr_t handle_ = -1;  // a file descriptor, or a SOCKET on Windows
  std::string error_;
};

}  // namespace quillon
