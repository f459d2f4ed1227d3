// The exchange: collecting a reply across reads, time-outs on a fake clock (including the
// counter's wrap), draining stale input, and devices that vanish mid-wait.
#include <gtest/gtest.h>

#include <vector>

#include "link/printer_link.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"

namespace quillon::testing {
namespace {

using Bytes = std::vector<uint8_t>;

class ExchangeTest : public ::testing::Test {
 protected:
  explicit ExchangeTest(uint32_t start = 5000) : clock(start) {
    link.SetUsbIds("1fc9", "2016");
    link.FindPrinter();
    EXPECT_TRUE(link.OpenUsb());
  }
  int32_t Exchange(int32_t rlen, uint32_t timeout) {
    return link.SendAndRecv(request.data(), static_cast<int32_t>(request.size()), reply, rlen,
                            timeout);
  }
  Bytes Got(int32_t n) const { return Bytes(reply, reply + n); }

  FakeClock clock;
  ScriptedUsb usb{&clock};
  FakeClockPump pump{clock};
  PrinterLink link{usb, clock, pump};
  Bytes request{0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1};
  uint8_t reply[128] = {};
};

TEST_F(ExchangeTest, RawSendWritesAndReturnsWithoutReading) {
  EXPECT_EQ(link.SendAndRecv(request.data(), 7, {}, 0, 0), 0);
  ASSERT_EQ(usb.writes.size(), 1u);
  EXPECT_EQ(usb.writes[0], request);
  EXPECT_EQ(usb.reads, 0);
  EXPECT_EQ(link.RecvLen(), 0);
}

TEST_F(ExchangeTest, CollectsAReplySplitOverReadsAndKeepsLongOnes) {
  usb.QueueReply({1, 2, 3, 4, 5});
  usb.QueueReply({6, 7, 8});
  EXPECT_EQ(Exchange(8, 1000), 8);
  EXPECT_EQ(Got(8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(usb.reads, 2);
  EXPECT_EQ(link.RecvLen(), 8);

  // A single read that brings more than expected is kept whole.
  usb.reads = 0;
  usb.QueueReply(Bytes(12, 0x42));
  EXPECT_EQ(Exchange(8, 1000), 12);
  EXPECT_EQ(usb.reads, 1);
  EXPECT_EQ(Got(12), Bytes(12, 0x42));
}

TEST_F(ExchangeTest, NoReplyEndsAfterTheTimeoutWithoutSpinning) {
  const uint32_t start = clock.NowMs();
  EXPECT_EQ(Exchange(8, 1000), 0);
  const uint32_t waited = clock.NowMs() - start;
  EXPECT_GT(waited, 1000u);
  EXPECT_LE(waited, 1000u + kReadSliceMs);
  // Every read blocked for its slice: about one read per 10 ms, not thousands.
  EXPECT_GE(usb.reads, 90);
  EXPECT_LE(usb.reads, 102);
  EXPECT_EQ(link.RecvLen(), 0);
}

TEST_F(ExchangeTest, ShortReplyIsReturnedAfterTheTimeout) {
  usb.QueueReply({1, 2, 3});
  EXPECT_EQ(Exchange(8, 200), 3);
  EXPECT_EQ(Got(3), (Bytes{1, 2, 3}));
}

class WrappingClockTest : public ExchangeTest {
 protected:
  WrappingClockTest() : ExchangeTest(0xFFFFFF00u) {}
};

TEST_F(WrappingClockTest, TimeoutIsMeasuredAcrossTheCounterWrap) {
  // 30 empty reads (300 ms) carry the clock past 2^32 before the reply comes.
  for (int i = 0; i < 30; ++i) usb.QueueReply({});
  usb.QueueReply({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(Exchange(8, 1000), 8);
  EXPECT_LT(clock.NowMs(), 0x1000u);  // wrapped

  clock.Set(0xFFFFFFF0u);
  usb.reads = 0;
  EXPECT_EQ(Exchange(8, 1000), 0);
  EXPECT_GE(usb.reads, 90);  // waited the whole second, not zero nor forever
  EXPECT_LE(usb.reads, 102);
}

TEST_F(ExchangeTest, DrainDiscardsStaleInputBeforeWriting) {
  usb.QueueReply({0xEE, 0xEE, 0xEE});
  int reads_at_write = -1;
  usb.on_write = [&](const Bytes&, ScriptedUsb& u) {
    reads_at_write = u.reads;
    u.QueueReply({1, 2, 3, 4, 5, 6, 7, 8});
  };
  link.SetBeforeReadUSB(true);
  EXPECT_EQ(Exchange(8, 1000), 8);
  EXPECT_EQ(reads_at_write, 1);
  EXPECT_EQ(Got(8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));

  // Without the drain the stale bytes lead the reply.
  link.SetBeforeReadUSB(false);
  usb.QueueReply({0xEE});
  EXPECT_EQ(Exchange(8, 1000), 9);
  EXPECT_EQ(reply[0], 0xEE);
}

TEST_F(ExchangeTest, RepliesAreBoundedByTheCallersBufferAndRecvBuf) {
  usb.QueueReply(Bytes(200, 0x11));
  EXPECT_EQ(Exchange(8, 1000), 128);  // copied into the 128-byte buffer only
  EXPECT_EQ(link.RecvLen(), 200);

  // Three full reads and more: RecvBuf keeps its first 10241 bytes and the wait ends.
  for (int i = 0; i < 4; ++i) usb.QueueReply(Bytes(4096, static_cast<uint8_t>(i)));
  std::vector<uint8_t> big(20000, 0xCC);
  EXPECT_EQ(link.SendAndRecv(request.data(), 7, big, 20000, 1000),
            static_cast<int32_t>(kRecvBufSize));
  EXPECT_EQ(big[kRecvBufSize - 1], 2);
  EXPECT_EQ(big[kRecvBufSize], 0xCC);
}

TEST_F(ExchangeTest, VanishedDeviceEndsTheWaitWithoutReadingAgain) {
  usb.on_write = [](const Bytes&, ScriptedUsb& u) { u.vanished = true; };
  const uint32_t start = clock.NowMs();
  EXPECT_EQ(Exchange(8, 1000), 0);
  EXPECT_EQ(usb.reads, 1);  // the failed read drops the handle and ends the wait at once
  EXPECT_FALSE(link.USB().hDevHandle);
  EXPECT_LT(clock.NowMs() - start, 1000u);
  // Later exchanges write nothing, fail at once and do not crash.
  EXPECT_FALSE(link.WriteUSB(request.data(), 7));
  const uint32_t later = clock.NowMs();
  EXPECT_EQ(Exchange(8, 50), 0);
  EXPECT_EQ(clock.NowMs(), later);
  EXPECT_FALSE(link.last_write_ok());
}

// A device that records the wait of every read and answers after a few of them.
class RecordingUsb final : public UsbBackend, public UsbDevice {
 public:
  void ListDevicePaths(std::vector<std::string>& p) override { p.push_back("vid_0001&pid_0002"); }
  UsbOpenResult Open(const std::string&) override {
    UsbOpenResult r;
    r.device = std::make_unique<Proxy>(*this);
    return r;
  }
  bool Write(const uint8_t*, size_t) override { return true; }
  int Read(uint8_t* buf, size_t, uint32_t wait) override {
    waits.push_back(wait);
    if (waits.size() < 5) return 0;
    std::fill(buf, buf + 8, 0x5A);
    return 8;
  }
  std::vector<uint32_t> waits;

 private:
  struct Proxy final : UsbDevice {
    explicit Proxy(RecordingUsb& o) : owner(o) {}
    bool Write(const uint8_t* d, size_t n) override { return owner.Write(d, n); }
    int Read(uint8_t* b, size_t c, uint32_t w) override { return owner.Read(b, c, w); }
    RecordingUsb& owner;
  };
};

TEST(ExchangeSliceTest, EveryReadBlocksForAShortNonZeroSlice) {
  FakeClock clock;
  FakeClockPump pump(clock);
  RecordingUsb usb;
  PrinterLink link(usb, clock, pump);
  link.SetUsbIds("0001", "0002");
  link.FindPrinter();
  ASSERT_TRUE(link.OpenUsb());
  const uint8_t out[1] = {0};
  uint8_t in[8];
  // The longest possible timeout must not wrap the slice to 0 (a read that never blocks).
  for (uint32_t timeout : {1u, 5u, 1000u, 0xFFFFFFFFu}) {
    usb.waits.clear();
    EXPECT_EQ(link.SendAndRecv(out, 1, in, 8, timeout), 8);
    for (uint32_t w : usb.waits) {
      EXPECT_GT(w, 0u) << timeout;
      EXPECT_LE(w, kReadSliceMs) << timeout;
    }
  }
}

TEST(DelayTest, WaitsInShortSlicesOfThePump) {
  FakeClock clock(0xFFFFFFFAu);
  FakeClockPump pump(clock);
  Delay(clock, pump, 25);
  EXPECT_EQ(clock.NowMs(), 0xFFFFFFFAu + 25);
  EXPECT_EQ(pump.calls, 3);  // 10 + 10 + 5
  Delay(clock, pump, 0);
  EXPECT_EQ(pump.calls, 3);
}

}  // namespace
}  // namespace quillon::testing
