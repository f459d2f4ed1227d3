#include "link/printer_link.h"

#include <algorithm>
#include <cstring>

#include "core/ulog.h"
#include "link/tcp_link.h"
#include "protocol/frame.h"

namespace quillon {
namespace {

constexpr size_t kLogCopyLimit = 40960;  // bytes shown in one sent-bytes line

// True when the bytes hold one whole frame: header, size data bytes and the checksum.
bool FrameComplete(const uint8_t* buf, int32_t count) {
  if (count < static_cast<int32_t>(kFrameOverhead)) return false;
  return count >= static_cast<int32_t>(GetLE16(buf + 4) + kFrameOverhead);
}

int32_t FrameLength(const uint8_t* buf) {
  return GetLE16(buf + 4) + kFrameOverhead;
}

}  // namespace

// Announces a reply wait once it has lasted kLongWaitMs, and takes the note back at its end.
class LongWaitNotice {
 public:
  LongWaitNotice(PrinterLink& link, uint32_t start, uint32_t timeout)
      : link_(link), start_(start), timeout_(timeout) {}
  ~LongWaitNotice() {
    if (shown_ && link_.OnLongWait) link_.OnLongWait("");
  }
  void Check(uint32_t now) {
    if (shown_ || !link_.OnLongWait || ElapsedMs(start_, now) < kLongWaitMs) return;
    shown_ = true;
    const std::string what = link_.wait_note_.empty()
                                 ? "reply, up to " + std::to_string((timeout_ + 999) / 1000) + " s"
                                 : link_.wait_note_;
    link_.OnLongWait("waiting for the printer: " + what);
  }

 private:
  PrinterLink& link_;
  uint32_t start_;
  uint32_t timeout_;
  bool shown_ = false;
};

PrinterLink::PrinterLink(UsbBackend& usb, Clock& clock, MessagePump& pump, ExchangeLog* log)
    : usb_backend_(usb), clock_(clock), pump_(pump), log_(log) {}

PrinterLink::~PrinterLink() = default;

void PrinterLink::Recv_Init() {
  std::memset(RecvBuf, 0, kRecvBufSize - 1);
  RecvLen = 0;
}

void PrinterLink::LogBytes(const uint8_t* bytes, size_t count, int32_t kind) {
  if (!log_) return;
  if (count > kLogCopyLimit) {
    std::string line = HexLine(bytes, kLogCopyLimit);
    line += "... (" + std::to_string(count) + " bytes)";
    log_->Write_Log(log_file_, line, kind);
  } else {
    log_->Write_Log(log_file_, HexLine(bytes, count), kind);
  }
}

int32_t PrinterLink::SendAndRecv(const uint8_t* wbuf, int32_t wlen, std::span<uint8_t> recv,
                                 int32_t rlen, uint32_t timeout, ReplyEnd end) {
  Recv_Init();
  if (wlen < 0) wlen = 0;
  if (log_) log_file_ = log_->DailyFileName();
  LogBytes(wbuf, static_cast<size_t>(wlen), 2);

  int32_t count = 0;
  if (UseNetwork) {
    last_write_ok_ = false;
    if (net_) {
      count = net_->Exchange(wbuf, static_cast<size_t>(wlen), RecvBuf, kRecvBufSize, rlen, timeout,
                             end, last_write_ok_);
    }
  } else {
    count = UseCommPort ? SerialExchange(wbuf, wlen, rlen, timeout, end)
                        : UsbExchange(wbuf, wlen, rlen, timeout, end);
  }
  if (count <= 0) return 0;
  RecvLen = count;
  int32_t copied = count;
  if (!recv.empty()) {
    copied = std::min<int32_t>(count, static_cast<int32_t>(recv.size()));
    std::memcpy(recv.data(), RecvBuf, static_cast<size_t>(copied));
  }
  LogBytes(RecvBuf, static_cast<size_t>(count), 1);
  return copied;
}

int32_t PrinterLink::UsbExchange(const uint8_t* wbuf, int32_t wlen, int32_t rlen, uint32_t timeout,
                                 ReplyEnd end) {
  // A device that is not open (the open failed, or it went away) cannot answer: the
  // command fails at once instead of waiting out its time-out.
  if (!USB.hDevHandle) {
    last_write_ok_ = false;
    return 0;
  }
  int32_t n = 0;
  if (BeforeReadUSB) {
    ReadUSB(RecvBuf, n, 0);
    Recv_Init();
  }
  if (USB.hDevHandle) USB.hDevHandle->SetWriteHoldOff(timeout);
  last_write_ok_ = WriteUSB(wbuf, wlen);
  if (!last_write_ok_) return 0;  // the printer took nothing: no reply can come
  if (timeout == 0) {
    if (on_usb_command_ok) on_usb_command_ok();
    return 0;
  }

  int32_t count = 0;
  const uint32_t start = clock_.NowMs();
  LongWaitNotice notice(*this, start, timeout);
  const bool had_device = static_cast<bool>(USB.hDevHandle);
  for (;;) {
    const uint32_t now = clock_.NowMs();
    const uint32_t elapsed = ElapsedMs(start, now);
    if (elapsed > timeout || StopRequested()) break;
    // The device vanished during this wait: nothing more can come.
    if (had_device && !USB.hDevHandle) break;
    notice.Check(now);
    const int32_t room = static_cast<int32_t>(kRecvBufSize) - count;
    if (room <= 0) break;  // RecvBuf is full: what arrived is the reply
    // 64-bit so that a timeout near 2^32 cannot wrap the slice to 0 and spin.
    const uint32_t slice =
        static_cast<uint32_t>(std::min<uint64_t>(kReadSliceMs, uint64_t{timeout} - elapsed + 1));
    if (USB.hDevHandle) {
      uint8_t chunk[kUsbReadMax];
      ReadUSB(chunk, n, slice);
      n = std::min(n, room);
      std::memcpy(RecvBuf + count, chunk, static_cast<size_t>(n));
      count += n;
      if (end == ReplyEnd::kFrame ? FrameComplete(RecvBuf, count) : count >= rlen) break;
      pump_.ProcessMessages(0);
    } else {
      break;  // the device went away during the wait
    }
  }
  if (count > 0 && on_usb_command_ok) on_usb_command_ok();
  return count;
}

int32_t PrinterLink::SerialExchange(const uint8_t* wbuf, int32_t wlen, int32_t rlen,
                                    uint32_t timeout, ReplyEnd end) {
  std::memset(CommBuf, 0, kCommBufSize - 1);
  CommRecvLen = 0;
  // WriteCommData carries a 16-bit count: longer writes go out as consecutive blocks.
  last_write_ok_ = false;
  if (cm_spcomm) {
    int32_t sent = 0;
    do {
      const int32_t block = std::min<int32_t>(wlen - sent, kSerialWriteBlock);
      if (!cm_spcomm->WriteCommData(wbuf + sent, static_cast<uint16_t>(block))) break;
      sent += block;
    } while (sent < wlen);
    last_write_ok_ = sent >= wlen;
  }
  int32_t n = 0;
  if (!ReadComm(RecvBuf, n, rlen, static_cast<int32_t>(timeout), end)) return 0;
  return n;
}

bool PrinterLink::ReadComm(uint8_t* buf, int32_t& len, int32_t size, int32_t timeout,
                           ReplyEnd end) {
  const uint32_t start = clock_.NowMs();
  if (cm_spcomm) cm_spcomm->SetReadIntervalTimeout(1);
  const uint32_t limit = static_cast<uint32_t>(std::max(timeout, 0));
  LongWaitNotice notice(*this, start, limit);
  // A port that hangs up during the wait is closed by its hang-up handler: nothing more
  // can come, so the wait ends then instead of at the time-out.
  const bool was_open = cm_spcomm && cm_spcomm->IsOpen();
  for (;;) {
    const uint32_t elapsed = ElapsedMs(start, clock_.NowMs());
    pump_.ProcessMessages(std::min<uint32_t>(kReadSliceMs, limit - std::min(elapsed, limit) + 1));
    const uint32_t now = clock_.NowMs();
    if (ElapsedMs(start, now) > limit || StopRequested()) break;
    if (was_open && !cm_spcomm->IsOpen()) break;
    notice.Check(now);
    // A framed reply ends only with its whole frame: a first block that happens to hold
    // exactly size bytes of a longer frame must not cut it.
    if (end == ReplyEnd::kFrame ? FrameComplete(CommBuf, CommRecvLen) : CommRecvLen == size) {
      break;
    }
  }
  if (end == ReplyEnd::kFrame && FrameComplete(CommBuf, CommRecvLen)) {
    const int32_t frame = std::min<int32_t>(FrameLength(CommBuf), kRecvBufSize);
    std::memcpy(buf, CommBuf, static_cast<size_t>(frame));
    len = frame;
    return true;
  }
  if (size < 0 || CommRecvLen <= 0 || CommRecvLen < size) return false;
  std::memcpy(buf, CommBuf, static_cast<size_t>(size));
  len = size;
  return true;
}

void PrinterLink::cm_spcommReceiveData(const uint8_t* buffer, uint16_t length) {
  const int32_t room = static_cast<int32_t>(kCommBufSize) - CommRecvLen;
  const int32_t take = std::min<int32_t>(room, length);
  if (take > 0) {
    std::memcpy(CommBuf + CommRecvLen, buffer, static_cast<size_t>(take));
    CommRecvLen += take;
  }
  if (take < length) {
    comm_dropped += length - take;
    if (log_) {
      log_->Write_Log(
          log_->DailyFileName(),
          "serial input buffer full: " + std::to_string(length - take) + " bytes dropped", -1);
    }
  }
}

void PrinterLink::FindPrinter() {
  std::vector<std::string> paths;
  TUSBHelper(usb_backend_).SearchDevice(paths);
  USB.isFindPrint = false;
  const std::string search = "vid_" + USB.VID + "&pid_" + USB.PID;
  if (!USB.Choice.empty()) {
    std::vector<UsbDeviceInfo> devices;
    usb_backend_.ListDevices(devices);
    if (const UsbDeviceInfo* chosen = ChooseUsbPrinter(devices, search, USB.Choice)) {
      USB.PrintAddr = chosen->path;
      USB.isFindPrint = true;
    }
    return;
  }
  for (const std::string& path : paths) {
    if (path.find(search) != std::string::npos) {
      USB.PrintAddr = path;
      USB.isFindPrint = true;
      return;
    }
  }
}

bool PrinterLink::OpenUsb() {
  if (UseNetwork) {
    const bool ok = net_ && net_->Open();
    last_open_error_kind_ = ok ? UsbError::kNone : UsbError::kNotFound;
    last_open_error_ = ok ? "" : net_ ? net_->LastError() : "no network printer is set up";
    return ok;
  }
  if (!USB.isFindPrint) {
    // The handle is left as it is; the caller can still tell the user why.
    last_open_error_kind_ = UsbError::kNotFound;
    last_open_error_ = "no printer with vid_" + USB.VID + "&pid_" + USB.PID + " is connected";
    return false;
  }
  if (usb_hold_ > 0 && USB.hDevHandle) return true;  // a flow keeps its device open
  USB.hDevHandle.reset();  // a handle still open from an earlier open is released first
  UsbOpenResult r = usb_backend_.Open(USB.PrintAddr);
  if (!r.device) {
    last_open_error_kind_ = r.error == UsbError::kNone ? UsbError::kIo : r.error;
    last_open_error_ = r.message.empty() ? "the printer could not be opened" : r.message;
    last_open_holder_ = r.holder;
    last_open_node_ = r.node;
    if (on_usb_open_failed) on_usb_open_failed();
    return false;
  }
  last_open_error_.clear();
  last_open_error_kind_ = UsbError::kNone;
  last_open_holder_ = UsbHolder::kUnknown;
  last_open_node_.clear();
  usb_route_ = r.route;
  if (log_ && !usb_route_.empty() && usb_route_ != logged_route_) {
    logged_route_ = usb_route_;
    log_->Write_Log(log_->DailyFileName(), "USB " + USB.PrintAddr + ": " + usb_route_, 0);
  }
  USB.hDevHandle = std::move(r.device);
  return true;
}

bool PrinterLink::CloseUSB() {
  if (usb_hold_ > 0) return true;  // closed when the flow's hold ends
  if (net_) net_->Close();
  USB.hDevHandle.reset();
  return true;
}

bool PrinterLink::WriteUSB(const uint8_t* wbuf, int32_t wlen) {
  if (!USB.isFindPrint || !USB.hDevHandle) return false;
  return USB.hDevHandle->Write(wbuf, static_cast<size_t>(std::max(wlen, 0)));
}

bool PrinterLink::ReadUSB(uint8_t* buf, int32_t& len, uint32_t wait_ms) {
  len = 0;
  if (!USB.hDevHandle) return true;
  int n = USB.hDevHandle->Read(buf, kUsbReadMax, wait_ms);
  if (n < 0) USB.hDevHandle.reset();  // unplugged: later waits sleep instead of re-reading
  len = n > 0 ? n : 0;
  return true;
}

void Delay(Clock& clock, MessagePump& pump, uint32_t ms) {
  const uint32_t start = clock.NowMs();
  for (;;) {
    const uint32_t elapsed = ElapsedMs(start, clock.NowMs());
    if (elapsed >= ms || pump.stop().Requested()) return;
    pump.ProcessMessages(std::min<uint32_t>(kReadSliceMs, ms - elapsed));
  }
}

}  // namespace quillon
