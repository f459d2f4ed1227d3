#include "link/tcp_link.h"

#include <algorithm>
#include <cstring>

#include "link/printer_link.h"
#include "protocol/frame.h"

namespace quillon {
namespace {

// True when the bytes hold one whole frame: header, size data bytes and the checksum.
bool FrameComplete(const uint8_t* buf, size_t count) {
  return count >= kFrameOverhead && count >= GetLE16(buf + 4) + kFrameOverhead;
}

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

int32_t TcpLink::Exchange(const uint8_t* wbuf, size_t wlen, uint8_t* into, size_t cap, int32_t rlen,
                          uint32_t timeout, ReplyEnd end, bool& write_ok) {
  write_ok = false;
  if (!connected()) return 0;
  // A reply that came after its wait ended would pass for the answer to this request.
  uint8_t junk[4096];
  int n;
  while ((n = socket_.Receive(junk, sizeof junk, 0)) > 0) {
  }
  if (n < 0) {
    Broke();
    return 0;
  }
  if (!WriteAll(wbuf, wlen)) {
    Broke();
    return 0;
  }
  write_ok = true;
  if (timeout == 0) return 0;

  // Framed replies end with their whole frame, whatever the expected count: a reply of
  // another length is then rejected by the builder and leaves nothing behind in the stream.
  const bool frame = end == ReplyEnd::kFrame || rlen >= static_cast<int32_t>(kFrameOverhead);
  size_t count = 0;
  const uint32_t start = clock_.NowMs();
  for (;;) {
    const uint32_t elapsed = ElapsedMs(start, clock_.NowMs());
    if (elapsed > timeout || count >= cap) break;
    const uint32_t slice =
        static_cast<uint32_t>(std::min<uint64_t>(kReadSliceMs, uint64_t{timeout} - elapsed + 1));
    // Only the bytes this reply still needs are taken: whatever follows it in the stream
    // (a late reply to an earlier request) is left for the next exchange to discard.
    size_t want = cap - count;
    if (frame) {
      want = count < kHeaderSize ? kHeaderSize - count : GetLE16(into + 4) + kFrameOverhead - count;
    } else if (rlen > 0) {
      want = static_cast<size_t>(rlen) - count;
    }
    n = socket_.Receive(into + count, std::min(want, cap - count), slice);
    if (n < 0) {
      Broke();  // the printer is gone: nothing more can come
      break;
    }
    count += static_cast<size_t>(n);
    if (n > 0) output_unconfirmed_ = false;
    if (frame ? FrameComplete(into, count) : count >= static_cast<size_t>(std::max(rlen, 0))) break;
    pump_.ProcessMessages(0);
  }
  return static_cast<int32_t>(count);
}

}  // namespace quillon
