#include "link/printer_link.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

// On a byte stream, replies of at least frame size are read as whole frames: a reply of
// another length is then rejected by the builder and leaves nothing behind in the stream.
bool ReadsFrame(ReplyRule rule, int32_t rlen, ReplyEnd end) {
  return end == ReplyEnd::kFrame ||
         (rule == ReplyRule::kStream && rlen >= static_cast<int32_t>(kFrameOverhead));
}

// How many bytes the next read may take: on a stream only what the reply still needs, so
// whatever follows it (a late reply to an earlier request) is left for the next exchange.
size_t Wanted(ReplyRule rule, const uint8_t* into, int32_t count, int32_t rlen, ReplyEnd end,
              size_t room) {
  if (rule != ReplyRule::kStream) return room;
  size_t want = room;
  if (ReadsFrame(rule, rlen, end)) {
    want = count < static_cast<int32_t>(kHeaderSize)
               ? kHeaderSize - static_cast<size_t>(count)
               : GetLE16(into + 4) + kFrameOverhead - static_cast<size_t>(count);
  } else if (rlen > 0) {
    want = static_cast<size_t>(rlen - count);
  }
  return std::min(want, room);
}

// Whether the wait may end with the count bytes in: a whole frame, or the expected count
// (at least that many, or exactly that many where longer replies must run out their time).
bool ReplyComplete(ReplyRule rule, const uint8_t* into, int32_t count, int32_t rlen, ReplyEnd end) {
  if (ReadsFrame(rule, rlen, end)) return FrameComplete(into, count);
  return rule == ReplyRule::kExact ? count == rlen : count >= std::max(rlen, 0);
}

// The reply's length once the wait is over; -1: no reply. Where the count must be exact, a
// frame is cut to its own length and a count reply to the expected one, and a shorter
// reply counts as none.
int32_t ReplyLength(ReplyRule rule, const uint8_t* into, int32_t count, int32_t rlen,
                    ReplyEnd end) {
  if (rule != ReplyRule::kExact) return count;
  if (end == ReplyEnd::kFrame && FrameComplete(into, count)) {
    return std::min<int32_t>(FrameLength(into), kRecvBufSize);
  }
  if (rlen < 0 || count <= 0 || count < rlen) return -1;
  return rlen;
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
    : clock_(clock), pump_(pump), log_(log), usb_(usb, on_usb_open_failed), serial_(pump) {}

PrinterLink::~PrinterLink() = default;

const Transport* PrinterLink::InUse() const {
  if (use_network_) return net_;
  if (use_comm_port_) return &serial_;
  return &usb_;
}

Transport* PrinterLink::InUse() {
  return const_cast<Transport*>(std::as_const(*this).InUse());
}

bool PrinterLink::LinkOpen() const {
  const Transport* t = InUse();
  return t && t->IsOpen();
}

void PrinterLink::Recv_Init() {
  std::memset(RecvBuf, 0, kRecvBufSize - 1);
  recv_len_ = 0;
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

  Transport* t = InUse();
  last_write_ok_ = false;
  const int32_t count = t ? Exchange(*t, wbuf, wlen, rlen, timeout, end) : 0;
  if (count <= 0) return 0;
  recv_len_ = count;
  int32_t copied = count;
  if (!recv.empty()) {
    copied = std::min<int32_t>(count, static_cast<int32_t>(recv.size()));
    std::memcpy(recv.data(), RecvBuf, static_cast<size_t>(copied));
  }
  LogBytes(RecvBuf, static_cast<size_t>(count), 1);
  return copied;
}

int32_t PrinterLink::Exchange(Transport& t, const uint8_t* wbuf, int32_t wlen, int32_t rlen,
                              uint32_t timeout, ReplyEnd end) {
  const ReplyRule rule = t.reply_rule();
  // Where the rule allows, a link that is not open cannot answer: the command fails at once
  // instead of waiting out its time-out.
  if (rule != ReplyRule::kExact && !t.IsOpen()) return 0;
  if (!t.DiscardInput(before_read_usb_)) return 0;
  last_write_ok_ = t.Write(wbuf, static_cast<size_t>(wlen), timeout);
  // The printer took nothing: no reply can come (a closed serial port waits all the same).
  if (!last_write_ok_ && rule != ReplyRule::kExact) return 0;
  t.ExpectReply();
  const bool usb = &t == &usb_;
  // Raw output awaits no reply. (The serial port still gets its one pass through the
  // messages, as its wait always had, before the next write or the port's close.)
  if (timeout == 0 && rule != ReplyRule::kExact) {
    if (usb && on_usb_command_ok) on_usb_command_ok();
    return 0;
  }
  const int32_t count = AwaitReply(t, RecvBuf, rlen, timeout, end);
  if (usb && count > 0 && on_usb_command_ok) on_usb_command_ok();
  return ReplyLength(rule, RecvBuf, count, rlen, end);
}

int32_t PrinterLink::AwaitReply(Transport& t, uint8_t* into, int32_t rlen, uint32_t timeout,
                                ReplyEnd end) {
  const ReplyRule rule = t.reply_rule();
  int32_t count = 0;
  const uint32_t start = clock_.NowMs();
  LongWaitNotice notice(*this, start, timeout);
  // A link that goes away during the wait (unplugged, hung up, connection broken) ends it
  // at once: nothing more can come.
  const bool was_open = t.IsOpen();
  for (;;) {
    const uint32_t now = clock_.NowMs();
    const uint32_t elapsed = ElapsedMs(start, now);
    if (elapsed > timeout || StopRequested()) break;
    if (was_open && !t.IsOpen()) break;
    notice.Check(now);
    const size_t room = kRecvBufSize - static_cast<size_t>(count);
    if (room == 0) break;  // RecvBuf is full: what arrived is the reply
    // 64-bit so that a timeout near 2^32 cannot wrap the slice to 0 and spin.
    const uint32_t slice =
        static_cast<uint32_t>(std::min<uint64_t>(kReadSliceMs, uint64_t{timeout} - elapsed + 1));
    const int n = t.Read(into + count, Wanted(rule, into, count, rlen, end, room), slice);
    if (n < 0) break;
    count += n;
    if (ReplyComplete(rule, into, count, rlen, end)) break;
    pump_.ProcessMessages(0);
  }
  return count;
}

bool PrinterLink::ReadComm(uint8_t* buf, int32_t& len, int32_t size, int32_t timeout,
                           ReplyEnd end) {
  serial_.ExpectReply();
  const uint32_t limit = static_cast<uint32_t>(std::max(timeout, 0));
  // Collected in RecvBuf, the exchange's reply buffer; buf gets only a whole reply.
  const int32_t count = AwaitReply(serial_, RecvBuf, size, limit, end);
  const int32_t n = ReplyLength(ReplyRule::kExact, RecvBuf, count, size, end);
  if (n < 0) return false;
  if (buf != RecvBuf) std::memcpy(buf, RecvBuf, static_cast<size_t>(n));
  len = n;
  return true;
}

void PrinterLink::cm_spcommReceiveData(const uint8_t* buffer, uint16_t length) {
  const int32_t dropped = serial_.Receive(buffer, length);
  if (dropped > 0 && log_) {
    log_->Write_Log(log_->DailyFileName(),
                    "serial input buffer full: " + std::to_string(dropped) + " bytes dropped", -1);
  }
}

bool PrinterLink::OpenUsb() {
  Transport* t = InUse();
  last_opened_ = t;
  if (!t) {
    last_open_error_ = "no network printer is set up";
    return false;
  }
  if (usb_hold_ > 0 && t->IsOpen()) return true;  // a flow keeps its link open
  if (!t->Open(last_open_error_)) return false;
  last_open_error_.clear();
  if (t == &usb_) LogRoute();
  return true;
}

UsbError PrinterLink::LastOpenErrorKind() const {
  if (last_opened_ == &usb_) return usb_.error_kind();
  return last_open_error_.empty() ? UsbError::kNone : UsbError::kNotFound;
}

void PrinterLink::LogRoute() {
  const std::string& route = usb_.route();
  if (!log_ || route.empty() || route == logged_route_) return;
  logged_route_ = route;
  log_->Write_Log(log_->DailyFileName(), "USB " + usb_.usb().PrintAddr + ": " + route, 0);
}

bool PrinterLink::CloseUSB() {
  if (usb_hold_ > 0) return true;  // closed when the flow's hold ends
  if (net_) net_->Close();
  usb_.Close();
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
