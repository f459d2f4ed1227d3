// What the command builders need from the printer link, and all they know of it: open the
// link around a command, one exchange of a packet and its reply, close the link again.
// PrinterLink implements it over USB, the serial port or the network.
#pragma once

#include <cstdint>
#include <span>

namespace quillon {

// How a wait for a reply ends early.
enum class ReplyEnd {
  kCount,  // once the expected number of bytes has arrived (serial: exactly that many)
  kFrame,  // once one whole frame (header, size data bytes, checksum) is in, whatever its length
};

class PrinterExchange {
 public:
  virtual ~PrinterExchange() = default;
  // Opens the link in use for a command or a flow (OpenUsb: the USB device, the network
  // connection); false when it cannot be opened.
  virtual bool OpenUsb() = 0;
  // Closes what OpenUsb opened.
  virtual bool CloseUSB() = 0;
  // Writes wlen bytes, waits up to timeout ms for rlen reply bytes and copies what arrived
  // to recv (at most recv.size() bytes). Returns the number of bytes copied; 0 when timeout
  // is 0 or nothing arrived.
  virtual int32_t SendAndRecv(const uint8_t* wbuf, int32_t wlen, std::span<uint8_t> recv,
                              int32_t rlen, uint32_t timeout, ReplyEnd end = ReplyEnd::kCount) = 0;
};

}  // namespace quillon
