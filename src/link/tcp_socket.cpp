// TcpSocket: the connect, send and receive steps over the system's socket calls.
#include "link/tcp_socket.h"

#include "link/tcp_socket_system.h"

namespace quillon {

namespace sys = tcp_system;

TcpSocket::Step TcpSocket::StartConnect(const std::string& host, uint16_t port) {
  Close();
  error_.clear();
  if (!sys::Start(error_)) return Step::kFailed;
  sys::Address address;
  if (const int r = sys::Resolve(host, port, address); r != 0) {
    error_ = "unknown host " + host + " (" + sys::ResolveErrorText(r) + ")";
    return Step::kFailed;
  }
  int err = 0;
  const sys::Socket s = sys::Open(address, err);
  if (s == sys::kNoSocket) {
    error_ = "cannot create a socket: " + sys::ErrorText(err);
    return Step::kFailed;
  }
  handle_ = s;
  err = sys::Connect(s, address);
  if (err == 0) return Step::kDone;
  if (sys::ConnectPending(err)) return Step::kPending;
  error_ = sys::ErrorText(err);
  Close();
  return Step::kFailed;
}

TcpSocket::Step TcpSocket::FinishConnect(uint32_t wait_ms) {
  if (handle_ < 0) return Step::kFailed;
  if (!sys::Wait(handle_, true, wait_ms)) return Step::kPending;
  const int err = sys::PendingError(handle_);
  if (err == 0) return Step::kDone;
  error_ = sys::ErrorText(err);
  Close();
  return Step::kFailed;
}

TcpSocket::Step TcpSocket::Send(const uint8_t* data, size_t len, size_t& sent, uint32_t wait_ms) {
  sent = 0;
  if (handle_ < 0) return Step::kFailed;
  if (len == 0) return Step::kDone;
  for (;;) {
    int err = 0;
    const long n = sys::Send(handle_, data, len, err);
    if (n > 0) {
      sent = static_cast<size_t>(n);
      return Step::kDone;
    }
    if (n < 0 && sys::Interrupted(err)) continue;
    if (n < 0 && sys::WouldBlock(err)) {
      sys::Wait(handle_, true, wait_ms);
      return Step::kPending;
    }
    error_ = n < 0 ? sys::ErrorText(err) : "the connection was closed";
    return Step::kFailed;
  }
}

int TcpSocket::Receive(uint8_t* buf, size_t cap, uint32_t wait_ms) {
  if (handle_ < 0) return -1;
  if (wait_ms > 0 && !sys::Wait(handle_, false, wait_ms)) return 0;
  for (;;) {
    int err = 0;
    const long n = sys::Receive(handle_, buf, cap, err);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) {
      error_ = "the printer closed the connection";
      return -1;
    }
    if (sys::Interrupted(err)) continue;
    if (sys::WouldBlock(err)) return 0;
    error_ = sys::ErrorText(err);
    return -1;
  }
}

void TcpSocket::ShutdownSend() {
  if (handle_ >= 0) sys::ShutdownSend(handle_);
}

void TcpSocket::Close() {
  if (handle_ >= 0) sys::Close(handle_);
  handle_ = -1;
}

}  // namespace quillon
