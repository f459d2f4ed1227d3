// One way to a printer as the exchange of PrinterLink uses it: the USB printer device (over
// any UsbBackend: libusb, the kernel driver's node, SetupAPI, the virtual printer's in-process
// device), the serial port (TComm) or a TCP connection. The exchange rules (what ends a reply,
// stale input, stop, the log, long-wait notes) are PrinterLink's; a transport only moves bytes
// and says how its replies end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

inline constexpr uint32_t kReadSliceMs = 10;  // longest a single read blocks

// How a reply ends on a link, and what a link that is not open does to an exchange.
enum class ReplyRule {
  // Bulk reads (USB): the wait ends once at least the expected count, or one whole frame,
  // is in; a device that is not open fails the exchange at once, without waiting.
  kAtLeast,
  // Blocks as the port hands them over (serial): the wait ends only on exactly the expected
  // count, or one whole frame; a longer reply waits out the time-out and is cut to the
  // expected count, a shorter one counts as none. A closed port sends nothing and the wait
  // runs its course.
  kExact,
  // A byte stream (TCP): only the bytes the reply still needs are read, so whatever follows
  // stays for the next exchange to discard; replies of at least frame size are read as whole
  // frames. A connection that is not up fails the exchange at once.
  kStream,
};

class Transport {
 public:
  virtual ~Transport() = default;
  // What the link is called in messages: "USB", "serial port", "network".
  virtual const char* name() const = 0;
  virtual ReplyRule reply_rule() const = 0;

  // Makes the link ready for a command; false with the reason in error.
  virtual bool Open(std::string& error) = 0;
  virtual void Close() = 0;
  // Bytes written now could reach the printer.
  virtual bool IsOpen() const = 0;
  // The printer vanished behind an open link: unplugged, the line hung up, the connection
  // broke. The wait in progress ends at once when the link closes because of it.
  virtual bool HungUp() const = 0;

  // Throws away input that came before this exchange (a reply too late for an earlier wait);
  // drain_device: the user asked for the USB input to be read out first. False: the link
  // broke while doing so.
  virtual bool DiscardInput(bool drain_device) = 0;
  // Hands the whole block to the link; reply_wait_ms is how long the command may wait for
  // its answer, which a printer holding the bus off may also take for the write.
  virtual bool Write(const uint8_t* data, size_t len, uint32_t reply_wait_ms) = 0;
  // Called after the write when a reply may follow.
  virtual void ExpectReply() {}
  // Reads what has arrived into buf (at most cap bytes), blocking at most wait_ms for it.
  // Returns the count, 0 when nothing came, -1 when the link went away.
  virtual int Read(uint8_t* buf, size_t cap, uint32_t wait_ms) = 0;
};

}  // namespace quillon
