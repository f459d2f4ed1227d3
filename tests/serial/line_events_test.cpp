// Line errors, modem changes and modem state through the ioctl seam (a pseudo-terminal
// has neither counters nor modem lines).
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <mutex>
#include <utility>
#include <vector>

#include "link/serial/serial_io.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "pty_pair.h"

namespace quillon {
namespace {

using testing::PtyPair;
using testing::PumpUntil;

// A driver with counters and modem lines that the test moves.
class FakeLineIo final : public SerialLineIo {
 public:
  bool GetModemBits(int, int& bits) override {
    std::lock_guard<std::mutex> lock(mutex_);
    bits = modem_bits_;
    return modem_answers_;
  }
  bool SetModemBits(int, int, int) override { return true; }
  bool GetCounters(int, LineCounters& counters) override {
    std::lock_guard<std::mutex> lock(mutex_);
    counters = counters_;
    return true;
  }
  template <typename F>
  void Change(F f) {
    std::lock_guard<std::mutex> lock(mutex_);
    f(counters_, modem_bits_, modem_answers_);
  }

 private:
  std::mutex mutex_;
  LineCounters counters_;
  int modem_bits_ = 0;
  bool modem_answers_ = true;
};

TEST(LineEventsTest, CounterChangesBecomeEventsAndReceptionGoesOn) {
  PtyPair pty;
  ASSERT_GE(pty.master(), 0);
  QueueNotifier notifier;
  FakeLineIo io;
  io.Change([](LineCounters& c, int&, bool&) {
    c.frame = 7;
    c.dcd = 3;
  });  // history
  TComm comm(notifier, io);
  ConfigureMainWindowPort(comm);
  comm.SetCommName(pty.slave_path());

  std::vector<std::pair<char, uint32_t>> events;  // 'E' error, 'M' modem, 'D' data
  comm.OnReceiveError = [&](TComm&, uint32_t mask) { events.push_back({'E', mask}); };
  comm.OnModemStateChange = [&](TComm&, uint32_t bits) { events.push_back({'M', bits}); };
  comm.OnReceiveData = [&](TComm&, const uint8_t* b, uint16_t n) {
    events.push_back({'D', n == 1 ? b[0] : 0xFFFFu});
  };
  comm.StartComm();

  // Counters that existed before the open are no news. An error and a carrier change
  // seen together give two events, the error first; the idle check finds them too.
  io.Change([](LineCounters& c, int&, bool&) {
    c.frame += 1;
    c.parity += 2;
    c.dcd += 1;
    c.rng += 1;
  });
  ASSERT_TRUE(PumpUntil(notifier, [&] { return events.size() >= 2; }));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], std::make_pair('E', CE_FRAME | CE_RXPARITY));
  EXPECT_EQ(events[1], std::make_pair('M', ME_RLSD | ME_RING));

  // An overrun reported with the byte that followed it; the byte still arrives.
  io.Change([](LineCounters& c, int&, bool&) {
    c.overrun += 1;
    c.brk += 1;
    c.buf_overrun += 1;
  });
  const uint8_t byte = 0x42;
  ASSERT_TRUE(pty.WriteMaster(&byte, 1));
  ASSERT_TRUE(PumpUntil(notifier, [&] { return events.size() >= 4; }));
  EXPECT_EQ(events[2], std::make_pair('E', CE_OVERRUN | CE_BREAK | CE_RXOVER));
  EXPECT_EQ(events[3], std::make_pair('D', uint32_t{0x42}));
}

TEST(LineEventsTest, ModemStateReportsTheInputLinesThatAreOn) {
  PtyPair pty;
  ASSERT_GE(pty.master(), 0);
  QueueNotifier notifier;
  FakeLineIo io;
  TComm comm(notifier, io);
  comm.SetCommName(pty.slave_path());
  io.Change([](LineCounters&, int& bits, bool&) {
    bits = TIOCM_CTS | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS;
  });
  EXPECT_EQ(comm.GetModemState(), 0u);  // closed
  comm.StartComm();
  EXPECT_EQ(comm.GetModemState(), MS_CTS_ON | MS_RLSD_ON);
  io.Change([](LineCounters&, int& bits, bool&) { bits = TIOCM_DSR | TIOCM_RNG; });
  EXPECT_EQ(comm.GetModemState(), MS_DSR_ON | MS_RING_ON);
  io.Change([](LineCounters&, int&, bool& answers) { answers = false; });
  EXPECT_EQ(comm.GetModemState(), 0u);

  // The real ioctls on a pty: no modem lines to report.
  TComm plain(notifier);
  PtyPair other;
  plain.SetCommName(other.slave_path());
  plain.StartComm();
  EXPECT_EQ(plain.GetModemState(), 0u);
}

}  // namespace
}  // namespace quillon
