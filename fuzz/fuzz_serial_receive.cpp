// The serial receive path: an arbitrary stream, delivered in arbitrary pieces (some longer
// than CommBuf holds) while the exchange waits, through cm_spcommReceiveData and ReadComm.
// Nothing may be read or written outside CommBuf, RecvBuf or the caller's buffer, the wait
// must end within its time-out, and a reply must never claim more than arrived.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "link/printer_link.h"

namespace {

using namespace quillon;

class FuzzClock final : public Clock {
 public:
  uint32_t NowMs() override { return now; }
  uint32_t now = 0xFFFFFF00u;  // close to the wrap
};

class NoUsb final : public UsbBackend {
 public:
  void ListDevicePaths(std::vector<std::string>&) override {}
  UsbOpenResult Open(const std::string&) override { return {}; }
};

// The serial port: swallows writes, and while the exchange pumps messages it hands over
// the next queued piece as the port's receive event would.
class Port final : public CommPort {
 public:
  bool WriteCommData(const uint8_t*, uint16_t size) override {
    written += size;
    return open;
  }
  void SetReadIntervalTimeout(uint32_t) override {}
  bool IsOpen() const override { return open; }
  bool open = true;
  size_t written = 0;
};

class Pump final : public MessagePump {
 public:
  Pump(FuzzClock& c, PrinterLink*& l) : clock(c), link(l) {}
  void ProcessMessages(uint32_t max_wait_ms) override {
    if (++calls > 100000) std::abort();  // the wait must end on its own
    if (!pieces.empty()) {
      const auto& p = pieces.front();
      link->cm_spcommReceiveData(p.data(), static_cast<uint16_t>(p.size()));
      pieces.pop_front();
      clock.now += 1;
    } else {
      clock.now += max_wait_ms;
    }
  }
  FuzzClock& clock;
  PrinterLink*& link;
  std::deque<std::vector<uint8_t>> pieces;
  int calls = 0;
};

uint32_t Take32(const uint8_t*& data, size_t& size) {
  uint32_t v = 0;
  for (int i = 0; i < 4 && size > 0; ++i, ++data, --size) v |= uint32_t{*data} << (8 * i);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  const uint8_t mode = *data++;
  --size;
  const int32_t rlen = static_cast<int32_t>(Take32(data, size));
  const uint32_t timeout = Take32(data, size) % 3000;
  const uint8_t stride_code = *data++;
  --size;
  // Piece sizes: small strides, or pieces bigger than CommBuf (up to the 16-bit limit).
  size_t stride = stride_code == 0 ? 1 : stride_code;
  if (stride_code >= 0xF0) stride = 20000 + (stride_code - 0xF0) * 3000;

  FuzzClock clock;
  PrinterLink* link_ptr = nullptr;
  Pump pump(clock, link_ptr);
  NoUsb usb;
  PrinterLink link(usb, clock, pump);
  link_ptr = &link;
  Port port;
  link.SetCommPort(&port);
  link.SetUseCommPort(true);

  // A stream longer than the input repeats it, so that the buffer's end is reached.
  std::vector<uint8_t> stream(data, data + size);
  if ((mode & 0x80) && size > 0) {
    while (stream.size() < 3 * kCommBufSize) stream.insert(stream.end(), data, data + size);
  }
  for (size_t i = 0; i < stream.size(); i += stride) {
    const size_t n = std::min(stream.size() - i, std::min<size_t>(stride, 0xFFFF));
    pump.pieces.emplace_back(stream.begin() + static_cast<ptrdiff_t>(i),
                             stream.begin() + static_cast<ptrdiff_t>(i + n));
  }
  const ReplyEnd end = (mode & 1) ? ReplyEnd::kFrame : ReplyEnd::kCount;
  const uint32_t start = clock.now;

  if (mode & 2) {
    // ReadComm directly, into a buffer the size of RecvBuf.
    std::vector<uint8_t> out(kRecvBufSize);
    int32_t len = -1;
    const bool ok = link.ReadComm(out.data(), len, rlen, static_cast<int32_t>(timeout), end);
    if (ok && (len < 0 || len > link.CommRecvLen() || static_cast<size_t>(len) > out.size())) {
      std::abort();
    }
  } else {
    // The whole exchange, with a reply buffer of fuzzer-chosen size.
    std::vector<uint8_t> recv((mode >> 2) & 0x1F);
    const uint8_t request[7] = {0x10, 0x01, 0, 0, 0, 0, 0x11};
    const int32_t got = link.SendAndRecv(request, sizeof request, recv, rlen, timeout, end);
    if (got < 0 || static_cast<size_t>(got) > (recv.empty() ? kRecvBufSize : recv.size())) {
      std::abort();
    }
    if (got > 0 && link.RecvLen() > link.CommRecvLen()) std::abort();
  }
  if (link.CommRecvLen() < 0 || static_cast<size_t>(link.CommRecvLen()) > kCommBufSize)
    std::abort();
  // The wait ends within the time-out (pieces arriving cost 1 ms each, a slice at most 11).
  if (clock.now - start > timeout + 64 + pump.calls) std::abort();
  return 0;
}
