// The network link: a printer reached over TCP (raw port 9100 by convention), the transport
// of PrinterLink while the network printer is the link. One connection serves one command or
// flow; OpenUsb/CloseUSB of the exchange open and close it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "link/clock.h"
#include "link/message_pump.h"
#include "link/tcp_socket.h"
#include "link/transport.h"

namespace quillon {

inline constexpr uint16_t kDefaultPrinterPort = 9100;
inline constexpr uint32_t kConnectTimeoutMs = 3000;
// A write that makes no progress this long means the printer stopped taking data.
inline constexpr uint32_t kWriteStallMs = 10000;
// After raw output, how long closing waits for the printer to take the last bytes.
inline constexpr uint32_t kCloseLingerMs = 2000;

struct NetAddress {
  std::string host;
  uint16_t port = kDefaultPrinterPort;
  // "host:port" ("[v6]:port" for an IPv6 literal).
  std::string Text() const;
};

// "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT". nullopt with a reason in error when the host
// is empty or the port is not 1 to 65535.
std::optional<NetAddress> ParseNetAddress(const std::string& text, std::string& error);

class TcpLink final : public Transport {
 public:
  TcpLink(Clock& clock, MessagePump& pump) : clock_(clock), pump_(pump) {}
  TcpLink(const TcpLink&) = delete;
  TcpLink& operator=(const TcpLink&) = delete;

  void SetAddress(const NetAddress& address);
  const NetAddress& address() const { return address_; }

  // Connects within connect_timeout_ms, the pump running meanwhile. A connection that is
  // still up is kept (bytes left over in it are discarded). False with LastError() set:
  // "no printer answers at HOST:PORT", with the cause when the system gave one.
  bool Open();
  // Closes the connection; after raw output first lets the printer take the last bytes.
  void Close() override;
  // Open and not broken.
  bool connected() const { return socket_.IsOpen() && !broken_; }
  const std::string& LastError() const { return error_; }
  // The last connect failed (false before the first).
  bool last_open_failed() const { return open_failed_; }

  // As a transport: input left from earlier is discarded (a broken connection fails), the
  // bytes are written whole (a printer that takes nothing for write_stall_ms fails and the
  // connection is closed), reads take what the reply still needs.
  const char* name() const override { return "network"; }
  ReplyRule reply_rule() const override { return ReplyRule::kStream; }
  bool Open(std::string& error) override;
  bool IsOpen() const override { return connected(); }
  bool HungUp() const override { return broken_; }
  bool DiscardInput(bool drain_device) override;
  bool Write(const uint8_t* data, size_t len, uint32_t reply_wait_ms) override;
  int Read(uint8_t* buf, size_t cap, uint32_t wait_ms) override;

  uint32_t connect_timeout_ms = kConnectTimeoutMs;
  uint32_t write_stall_ms = kWriteStallMs;
  uint32_t close_linger_ms = kCloseLingerMs;

 private:
  bool WriteAll(const uint8_t* data, size_t len);
  void Broke();

  Clock& clock_;
  MessagePump& pump_;
  NetAddress address_;
  TcpSocket socket_;
  bool broken_ = false;
  bool output_unconfirmed_ = false;  // bytes written since the last reply came in
  bool open_failed_ = false;
  std::string error_;
};

}  // namespace quillon
