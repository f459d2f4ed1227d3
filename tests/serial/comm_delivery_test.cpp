// Waiting for delivery against a line simulated on a fake clock: the driver takes bytes
// from the write queue into its buffer and sends them at exactly the line rate, or not at
// all (a line held by flow control, a printer that no longer reads).
#include "link/serial/comm_delivery.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/fake_clock.h"

namespace quillon {
namespace {

using testing::FakeClock;

class FakeLine final : public DeliveryLine {
 public:
  // bytes handed over at the clock's present time; the line sends per_second of them each
  // second, and the driver holds at most buffer of the rest.
  FakeLine(FakeClock& clock, uint64_t bytes, uint64_t per_second, uint64_t buffer)
      : clock_(clock), start_(clock.NowMs()), bytes_(bytes), rate_(per_second), buffer_(buffer) {}
  uint64_t Unsent() override { return Left() - OutputQueued(); }
  bool WaitWritten(uint32_t ms) override {
    return Pass(ms, [this] { return Unsent() == 0; });
  }
  uint64_t OutputQueued() override { return std::min(Left(), buffer_); }
  bool DrainOutput(uint32_t ms) override {
    return Pass(ms, [this] { return Left() == 0; });
  }
  bool HungUp() override { return false; }

 private:
  uint64_t Left() const {
    const uint64_t sent = uint64_t{ElapsedMs(start_, clock_.NowMs())} * rate_ / 1000;
    return bytes_ - std::min(sent, bytes_);
  }
  // Lets up to ms pass, a millisecond at a time, until done holds.
  template <typename Done>
  bool Pass(uint32_t ms, Done done) {
    for (uint32_t i = 0; i < ms && !done(); ++i) clock_.Advance(1);
    return done();
  }

  FakeClock& clock_;
  uint32_t start_;
  uint64_t bytes_, rate_, buffer_;
};

LineSettings Line(uint32_t baud, TParity parity, TStopBits stop) {
  LineSettings s;
  s.BaudRate = baud;
  s.Parity = parity;
  s.StopBits = stop;
  return s;
}

TEST(CommDelivery, ALineSendingAtItsRateIsWaitedForToTheEnd) {
  // 30 s of bytes: far beyond the slack, so the deadline must count every bit of a byte.
  for (const LineSettings& s :
       {Line(9600, TParity::None, TStopBits::_1), Line(2400, TParity::Even, TStopBits::_2)}) {
    const uint32_t bits = LineBitsPerByte(s);
    const uint64_t per_second = s.BaudRate / bits;
    FakeClock clock(0xFFFFC000u);  // the tick wraps during the wait
    FakeLine line(clock, 30 * per_second, per_second, 4096);
    const CommDelivery d = WaitLineDelivered(line, 30 * per_second, s.BaudRate, bits, clock, {});
    EXPECT_TRUE(d.ok()) << s.BaudRate << " baud: " << d.undelivered << " bytes cut off";
    EXPECT_EQ(d.handed, 30 * per_second);
    EXPECT_GE(ElapsedMs(0xFFFFC000u, clock.NowMs()), 30000u);
  }
  EXPECT_EQ(LineBitsPerByte(Line(9600, TParity::None, TStopBits::_1)), 10u);
  EXPECT_EQ(LineBitsPerByte(Line(9600, TParity::Odd, TStopBits::_1_5)), 12u);
}

TEST(CommDelivery, AHeldLineIsGivenUpAtTheDeadlineAndAStopAtOnce) {
  // 960 bytes at 9600 baud: 1 s of line time plus the slack.
  FakeClock clock;
  FakeLine held(clock, 960, 0, 500);
  CommDelivery d = WaitLineDelivered(held, 960, 9600, 10, clock, {});
  EXPECT_EQ(d.undelivered, 960u);
  EXPECT_EQ(clock.NowMs(), 1000 + kDeliverySlackMs);

  // The user stops while the queue still waits, and while only the driver holds bytes.
  for (const uint64_t buffer : {uint64_t{500}, uint64_t{4096}}) {
    FakeClock now;
    FakeLine line(now, 960, 0, buffer);
    d = WaitLineDelivered(line, 960, 9600, 10, now, [&] { return now.NowMs() >= 500; });
    EXPECT_EQ(d.undelivered, 960u);
    EXPECT_LE(now.NowMs(), 500u + 100u) << "driver buffer " << buffer;
  }
  // Asked before the wait: nothing is waited for.
  FakeClock now;
  FakeLine line(now, 960, 0, 4096);
  EXPECT_FALSE(WaitLineDelivered(line, 960, 9600, 10, now, [] { return true; }).ok());
  EXPECT_EQ(now.NowMs(), 0u);
}

}  // namespace
}  // namespace quillon
