// The printer link: the one exchange through which every byte reaches the printer
// (SendAndRecv) and its rules, over the transport the user chose: the USB printer (the
// default), the serial port (UseCommPort) or the network printer (UseNetwork).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "link/clock.h"
#include "link/comm_port.h"
#include "link/message_pump.h"
#include "link/serial_transport.h"
#include "link/transport.h"
#include "link/tusb.h"
#include "link/usb_backend.h"
#include "link/usb_transport.h"
#include "protocol/printer_exchange.h"

namespace quillon {

class ExchangeLog;
class TcpLink;

inline constexpr size_t kRecvBufSize = 10241;
inline constexpr uint32_t kLongWaitMs = 2000;  // a wait this long is announced

class PrinterLink final : public PrinterExchange {
 public:
  PrinterLink(UsbBackend& usb, Clock& clock, MessagePump& pump, ExchangeLog* log = nullptr);
  PrinterLink(const PrinterLink&) = delete;
  PrinterLink& operator=(const PrinterLink&) = delete;
  ~PrinterLink() override;

  // One exchange: writes wlen bytes through the link in use, waits up to timeout ms for
  // rlen reply bytes and copies what arrived to recv (at most recv.size() bytes).
  // Returns the number of bytes copied; 0 when timeout is 0 or nothing arrived.
  int32_t SendAndRecv(const uint8_t* wbuf, int32_t wlen, std::span<uint8_t> recv, int32_t rlen,
                      uint32_t timeout, ReplyEnd end = ReplyEnd::kCount) override;

  // Whether the last exchange's bytes were all handed to the link (output without a reply,
  // such as picture bands, has no other sign of a vanished printer).
  bool last_write_ok() const { return last_write_ok_; }

  // Zeroes the reply buffer RecvBuf and RecvLen, the byte count of the last exchange.
  void Recv_Init();
  // (PutMsg, the status hook that accepted a text and showed nothing, is gone: the one text
  // it was given, a USB channel that could not make its transfer event, is now the reason
  // a failed OpenUsb reports through LastOpenError.)
  int32_t RecvLen() const { return recv_len_; }

  // Which way the printer is reached, as the user chose it. UseCommPort: the serial port
  // is the link; UseNetwork: the network printer is (it wins over UseCommPort). Neither:
  // the USB printer. Each exchange takes the choice afresh.
  bool UseCommPort() const { return use_comm_port_; }
  void SetUseCommPort(bool on) { use_comm_port_ = on; }
  bool UseNetwork() const { return use_network_; }
  void SetUseNetwork(bool on) { use_network_ = on; }
  // BeforeReadUSB: read out the USB input before each write (the System menu's switch).
  bool BeforeReadUSB() const { return before_read_usb_; }
  void SetBeforeReadUSB(bool on) { before_read_usb_ = on; }
  // The link in use is open: its bytes could reach the printer now.
  bool LinkOpen() const;
  // The link in use was open and the printer is gone from it (or it was never opened).
  bool PrinterGone() const { return !LinkOpen(); }

  // OpenUsb and CloseUSB open and close the link in use around a command or flow: the USB
  // device, the network connection; the serial port is only found open or not (its owner
  // opens it). CloseUSB closes the USB device and the network connection whichever is in use.
  bool OpenUsb() override;
  bool CloseUSB() override;
  // Why the last OpenUsb failed (empty after a success).
  const std::string& LastOpenError() const { return last_open_error_; }
  UsbError LastOpenErrorKind() const;
  UsbHolder LastOpenHolder() const { return usb_.holder(); }
  const std::string& LastOpenNode() const { return usb_.node(); }

  // USB printer: USB (TUSB) holds VID, PID, isFindPrint, PrintAddr, Choice and hDevHandle.
  const TUSB& USB() const { return usb_.usb(); }
  void SetUsbIds(std::string vid, std::string pid) { usb_.SetIds(std::move(vid), std::move(pid)); }
  // Which of several matching printers to use: its port path or serial number; empty: the first.
  void SetUsbChoice(std::string selector) { usb_.SetChoice(std::move(selector)); }
  // Searches the USB devices for "vid_" + VID + "&pid_" + PID (case-sensitive).
  void FindPrinter() { usb_.FindPrinter(); }
  bool WriteUSB(const uint8_t* wbuf, int32_t wlen) { return usb_.WriteUSB(wbuf, wlen); }
  bool ReadUSB(uint8_t* buf, int32_t& len, uint32_t wait_ms = kReadSliceMs) {
    return usb_.ReadUSB(buf, len, wait_ms);
  }
  // How the open device is reached ("kernel printer driver /dev/usb/lp0", "libusb, ...").
  const std::string& UsbRoute() const { return usb_.route(); }
  UsbBackend& backend() { return usb_.backend(); }
  // The owner hears of every failed open of the USB device and of every USB exchange that
  // went through after.
  std::function<void()> on_usb_open_failed;
  std::function<void()> on_usb_command_ok;

  // Keeps the link open (the USB interface claimed, the network connection up) from
  // construction to destruction: OpenUsb and CloseUSB of the commands inside reuse it, so a
  // kernel driver detached for it is not re-attached between the exchanges of one flow.
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

  // Serial port: cm_spcomm, the port component the serial path writes through.
  CommPort* cm_spcomm() const { return serial_.port(); }
  void SetCommPort(CommPort* port) { serial_.SetPort(port); }
  // OnReceiveData of cm_spcomm: appends to CommBuf; bytes beyond its room are dropped.
  void cm_spcommReceiveData(const uint8_t* buffer, uint16_t length);
  // The serial reply wait on what is in CommBuf: exactly size bytes (or one whole frame)
  // into buf, which holds kRecvBufSize bytes. False when they did not come within timeout.
  bool ReadComm(uint8_t* buf, int32_t& len, int32_t size, int32_t timeout,
                ReplyEnd end = ReplyEnd::kCount);
  const uint8_t* CommBuf() const { return serial_.comm_buf(); }
  int32_t CommRecvLen() const { return serial_.comm_recv_len(); }
  int32_t comm_dropped() const { return serial_.dropped(); }
  // The serial port is the link and its line hung up (adapter pulled, Bluetooth link lost).
  bool SerialLineLost() const { return use_comm_port_ && serial_.HungUp(); }

  // Network printer (used while UseNetwork is set): OpenUsb connects, CloseUSB disconnects.
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

 private:
  // The transport of the user's choice; null when the network printer is chosen and none
  // is attached.
  Transport* InUse();
  const Transport* InUse() const;
  // The exchange rules over one transport: stale input, the write, the reply wait.
  int32_t Exchange(Transport& t, const uint8_t* wbuf, int32_t wlen, int32_t rlen, uint32_t timeout,
                   ReplyEnd end);
  // Collects reply bytes into into (kRecvBufSize) until the reply is complete by the
  // transport's rule, the time-out passes, a stop is requested or the link goes away.
  int32_t AwaitReply(Transport& t, uint8_t* into, int32_t rlen, uint32_t timeout, ReplyEnd end);
  void LogBytes(const uint8_t* bytes, size_t count, int32_t kind);
  void LogRoute();
  friend class LongWaitNotice;

  Clock& clock_;
  MessagePump& pump_;
  ExchangeLog* log_;
  UsbTransport usb_;
  SerialTransport serial_;
  TcpLink* net_ = nullptr;
  Transport* last_opened_ = nullptr;

  // Link state, named as the rest of the program knew it.
  uint8_t RecvBuf[kRecvBufSize] = {};
  int32_t recv_len_ = 0;  // RecvLen
  bool use_comm_port_ = false;
  bool use_network_ = false;
  bool before_read_usb_ = false;

  std::string log_file_;
  std::string last_open_error_;
  std::string logged_route_;
  int usb_hold_ = 0;
  int busy_ = 0;
  std::string busy_what_;
  bool last_write_ok_ = true;
  std::string wait_note_;
};

// Waits ms milliseconds while the pump keeps processing messages (never spins).
void Delay(Clock& clock, MessagePump& pump, uint32_t ms);

}  // namespace quillon
