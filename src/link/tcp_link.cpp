#include "link/tcp_link.h"

#include <algorithm>
#include <cstring>

namespace quillon {
namespace {

std::optional<uint16_t> ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  uint32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  if (v == 0 || v > 65535) return std::nullopt;
  return static_cast<uint16_t>(v);
}

}  // namespace

std::string NetAddress::Text() const {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<NetAddress> ParseNetAddress(const std::string& text, std::string& error) {
  NetAddress a;
  std::string port;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) {
      error = "'" + text + "': missing ] after the IPv6 address";
      return std::nullopt;
    }
    a.host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') {
        error = "'" + text + "': expected :PORT after the ]";
        return std::nullopt;
      }
      port = rest.substr(1);
      if (port.empty()) port = "-";  // "[::1]:" names no port
    }
  } else {
    const size_t colon = text.rfind(':');
    if (colon != std::string::npos && text.find(':') != colon) {
      a.host = text;  // a bare IPv6 address: no port can follow it
    } else {
      a.host = text.substr(0, colon);
      if (colon != std::string::npos)
        port = text.substr(colon + 1).empty() ? "-" : text.substr(colon + 1);
    }
  }
  if (a.host.empty()) {
    error = "'" + text + "': no host given";
    return std::nullopt;
  }
  if (!port.empty()) {
    auto p = ParsePort(port);
    if (!p) {
      error = "'" + text + "': the port must be a number from 1 to 65535";
      return std::nullopt;
    }
    a.port = *p;
  }
  return a;
}

void TcpLink::SetAddress(const NetAddress& address) {
  if (address.host != address_.host || address.port != address_.port) Close();
  address_ = address;
}

void TcpLink::Broke() {
  broken_ = true;
  if (error_.empty()) error_ = socket_.error();
}

bool TcpLink::Open() {
  if (connected()) {
    uint8_t junk[4096];
    int n;
    while ((n = socket_.Receive(junk, sizeof junk, 0)) > 0) {
    }
    if (n == 0) return true;
  }
  socket_.Close();
  broken_ = false;
  output_unconfirmed_ = false;
  error_.clear();
  const std::string where = "no printer answers at " + address_.Text();
  if (address_.host.empty()) {
    error_ = "no network printer address is set";
    open_failed_ = true;
    return false;
  }
  TcpSocket::Step step = socket_.StartConnect(address_.host, address_.port);
  const uint32_t start = clock_.NowMs();
  while (step == TcpSocket::Step::kPending) {
    const uint32_t elapsed = ElapsedMs(start, clock_.NowMs());
    if (elapsed >= connect_timeout_ms) break;
    step = socket_.FinishConnect(std::min(kReadSliceMs, connect_timeout_ms - elapsed));
    if (step == TcpSocket::Step::kPending) pump_.ProcessMessages(0);
  }
  open_failed_ = step != TcpSocket::Step::kDone;
  if (step == TcpSocket::Step::kDone) return true;
  error_ = step == TcpSocket::Step::kFailed && !socket_.error().empty()
               ? where + " (" + socket_.error() + ")"
               : where;
  socket_.Close();
  return false;
}

void TcpLink::Close() {
  if (!socket_.IsOpen()) return;
  if (connected() && output_unconfirmed_) {
    // The end of stream follows the last byte: once the printer closes its side too, it
    // has taken everything (closing at once could reset the connection and lose bytes).
    socket_.ShutdownSend();
    const uint32_t start = clock_.NowMs();
    uint8_t junk[4096];
    while (ElapsedMs(start, clock_.NowMs()) < close_linger_ms &&
           socket_.Receive(junk, sizeof junk, kReadSliceMs) >= 0) {
      pump_.ProcessMessages(0);
    }
  }
  socket_.Close();
  broken_ = false;
  output_unconfirmed_ = false;
}

bool TcpLink::WriteAll(const uint8_t* data, size_t len) {
  size_t done = 0;
  uint32_t last_progress = clock_.NowMs();
  while (done < len) {
    size_t sent = 0;
    const TcpSocket::Step step = socket_.Send(data + done, len - done, sent, kReadSliceMs);
    if (step == TcpSocket::Step::kFailed) return false;
    if (sent > 0) {
      done += sent;
      last_progress = clock_.NowMs();
      output_unconfirmed_ = true;
    } else if (ElapsedMs(last_progress, clock_.NowMs()) >= write_stall_ms) {
      socket_.Close();  // the rest could never be told apart from a new command
      error_ = "the printer stopped taking data";
      return false;
    }
    pump_.ProcessMessages(0);
  }
  return true;
}

bool TcpLink::Open(std::string& error) {
  const bool ok = Open();
  error = ok ? "" : error_;
  return ok;
}

bool TcpLink::DiscardInput(bool /*drain_device*/) {
  // A reply that came after its wait ended would pass for the answer to this request.
  uint8_t junk[4096];
  int n;
  while ((n = socket_.Receive(junk, sizeof junk, 0)) > 0) {
  }
  if (n < 0) Broke();
  return n >= 0;
}

bool TcpLink::Write(const uint8_t* data, size_t len, uint32_t /*reply_wait_ms*/) {
  if (WriteAll(data, len)) return true;
  Broke();
  return false;
}

int TcpLink::Read(uint8_t* buf, size_t cap, uint32_t wait_ms) {
  const int n = socket_.Receive(buf, cap, wait_ms);
  if (n < 0) {
    Broke();  // the printer is gone: nothing more can come
    return -1;
  }
  if (n > 0) output_unconfirmed_ = false;
  return n;
}

}  // namespace quillon
