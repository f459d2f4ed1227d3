// The printer link: the one exchange through which every byte reaches the printer
// (SendAndRecv), the USB printer search and channel, and the serial path's buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "link/clock.h"
#include "link/comm_port.h"
#include "link/message_pump.h"
#include "link/tusb.h"
#include "link/usb_backend.h"

namespace quillon {

class ExchangeLog;
class TcpLink;

// How a wait for a reply ends early.
enum class ReplyEnd {
  kCount,  // once the expected number of bytes has arrived (serial: exactly that many)
  kFrame,  // once one whole frame (header, size data bytes, checksum) is in, whatever its length
};

inline constexpr size_t kRecvBufSize = 10241;
inline constexpr size_t kCommBufSize = 10241;
inline constexpr size_t kUsbReadMax = 4096;
inline constexpr uint32_t kReadSliceMs = 10;        // longest a single read blocks
inline constexpr size_t kSerialWriteBlock = 65535;  // WriteCommData takes a 16-bit count
inline constexpr uint32_t kLongWaitMs = 2000;       // a wait this long is announced

class PrinterLink {
 public:
  PrinterLink(UsbBackend& usb, Clock& clock, MessagePump& pump, ExchangeLog* log = nullptr);
  PrinterLink(const PrinterLink&) = delete;
  PrinterLink& operator=(const PrinterLink&) = delete;
  ~PrinterLink();

  // One exchange: writes wlen bytes through the link in use, waits up to timeout ms for
  // rlen reply bytes and copies what arrived to recv (at most recv.size() bytes).
  // Returns the number of bytes copied; 0 when timeout is 0 or nothing arrived.
  int32_t SendAndRecv(const uint8_t* wbuf, int32_t wlen, std::span<uint8_t> recv, int32_t rlen,
                      uint32_t timeout, ReplyEnd end = ReplyEnd::kCount);

  // Whether the last exchange's bytes were all handed to the device or the serial port
  // (output without a reply, such as picture bands, has no other sign of a vanished printer).
  bool last_write_ok() const { return last_write_ok_; }

  void Recv_Init();
  // Searches the USB devices for "vid_" + VID + "&pid_" + PID (case-sensitive).
  void FindPrinter();
  void PutMsg(const std::string& text) {}

  // USB channel.
  bool OpenUsb();
  bool CloseUSB();
  bool WriteUSB(const uint8_t* wbuf, int32_t wlen);
  bool ReadUSB(uint8_t* buf, int32_t& len, uint32_t wait_ms = kReadSliceMs);
  // Why the last OpenUsb failed (empty after a success).
  const std::string& LastOpenError() const { return last_open_error_; }
  UsbError LastOpenErrorKind() const { return last_open_error_kind_; }
  UsbHolder LastOpenHolder() const { return last_open_holder_; }
  const std::string& LastOpenNode() const { return last_open_node_; }
  // How the open device is reached ("kernel printer driver /dev/usb/lp0", "libusb, ...").
  const std::string& UsbRoute() const { return usb_route_; }
  // The owner hears of every failed open and of every exchange that went through after.
  std::function<void()> on_usb_open_failed;
  std::function<void()> on_usb_command_ok;

  // Keeps the USB device open (the interface claimed) from construction to destruction:
  // OpenUsb and CloseUSB of the commands inside reuse the one open device, so a kernel
  // driver detached for it is not re-attached between the exchanges of one flow.
  class UsbHold {
   public:
    explicit UsbHold(PrinterLink& link) : link_(link) {
      link_.OpenUsb();
      ++link_.usb_hold_;
    }
    ~UsbHold() {
      if (--link_.usb_hold_ == 0) link_.CloseUSB();
    }
    UsbHold(const UsbHold&) = delete;
    UsbHold& operator=(const UsbHold&) = delete;

   private:
    PrinterLink& link_;
  };

  // Serial path (used while UseCommPort is set).
  bool ReadComm(uint8_t* buf, int32_t& len, int32_t size, int32_t timeout,
                ReplyEnd end = ReplyEnd::kCount);
  // OnReceiveData of cm_spcomm: appends to CommBuf; bytes beyond its room are dropped.
  void cm_spcommReceiveData(const uint8_t* buffer, uint16_t length);
  void SetCommPort(CommPort* port) { cm_spcomm = port; }

  // Network path (used while UseNetwork is set): OpenUsb connects, CloseUSB disconnects.
  void SetNetLink(TcpLink* net) { net_ = net; }
  TcpLink* net_link() const { return net_; }

  // One printer command or flow at a time: owners check Busy() before starting one and
  // hold a BusyScope while it runs (waits pump messages, so a second could start).
  bool Busy() const { return busy_ > 0; }
  // What the outermost running command or flow is, in words for the user ("font
  // download"); empty when it did not say.
  const std::string& BusyWhat() const { return busy_what_; }
  class BusyScope {
   public:
    explicit BusyScope(PrinterLink& link, std::string what = {}) : link_(link) {
      if (link_.busy_++ == 0) link_.busy_what_ = std::move(what);
    }
    // A stop request ends with the command or flow it stopped.
    ~BusyScope() {
      if (--link_.busy_ == 0) {
        link_.busy_what_.clear();
        link_.ClearStop();
      }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    PrinterLink& link_;
  };

  // Stop: every wait of the link (replies, Delay) ends within one slice of a request.
  void RequestStop() { pump_.stop().Request(); }
  bool StopRequested() const { return pump_.stop().Requested(); }
  void ClearStop() { pump_.stop().Clear(); }

  // What the coming waits are for ("erase at 12288, attempt 2 of 10, up to 120 s each");
  // empty: the reply to the command just sent.
  void SetWaitNote(std::string note) { wait_note_ = std::move(note); }
  // Told "waiting for the printer: ..." once a reply wait has lasted kLongWaitMs, and ""
  // when that wait is over (the window's status bar, the CLI's progress line).
  std::function<void(const std::string&)> OnLongWait;

  Clock& clock() { return clock_; }
  MessagePump& pump() { return pump_; }
  ExchangeLog* log() { return log_; }
  void set_log(ExchangeLog* log) { log_ = log; }
  UsbBackend& backend() { return usb_backend_; }

  // Link state, named as the rest of the program knows it.
  TUSB USB;
  uint8_t RecvBuf[kRecvBufSize] = {};
  int32_t RecvLen = 0;
  bool UseCommPort = false;
  bool BeforeReadUSB = false;
  uint8_t CommBuf[kCommBufSize] = {};
  int32_t CommRecvLen = 0;
  CommPort* cm_spcomm = nullptr;
  bool UseNetwork = false;   // the network printer is the link (wins over UseCommPort)
  int32_t comm_dropped = 0;  // serial bytes dropped because CommBuf was full

 private:
  int32_t UsbExchange(const uint8_t* wbuf, int32_t wlen, int32_t rlen, uint32_t timeout,
                      ReplyEnd end);
  int32_t SerialExchange(const uint8_t* wbuf, int32_t wlen, int32_t rlen, uint32_t timeout,
                         ReplyEnd end);
  void LogBytes(const uint8_t* bytes, size_t count, int32_t kind);
  friend class LongWaitNotice;

  UsbBackend& usb_backend_;
  TcpLink* net_ = nullptr;
  Clock& clock_;
  MessagePump& pump_;
  ExchangeLog* log_;
  std::string log_file_;
  std::string last_open_error_;
  UsbError last_open_error_kind_ = UsbError::kNone;
  UsbHolder last_open_holder_ = UsbHolder::kUnknown;
  std::string last_open_node_;
  std::string usb_route_, logged_route_;
  int usb_hold_ = 0;
  int busy_ = 0;
  std::string busy_what_;
  bool last_write_ok_ = true;
  std::string wait_note_;
};

// Waits ms milliseconds while the pump keeps processing messages (never spins).
void Delay(Clock& clock, MessagePump& pump, uint32_t ms);

}  // namespace quillon
