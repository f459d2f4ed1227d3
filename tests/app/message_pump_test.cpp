// The Qt message pump under the waits: it handles what is pending and otherwise blocks for
// its slice, so a wait of some milliseconds takes a handful of turns, not thousands.
#include "app/qt_message_pump.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <functional>

#include "link/clock.h"
#include "link/printer_link.h"

namespace quillon {
namespace {

// Wait time moves by the slices the pump was given, so the turns a wait takes do not
// depend on how busy the machine is; the Qt pump underneath still blocks for real.
class CountingPump final : public MessagePump, public Clock {
 public:
  void ProcessMessages(uint32_t max_wait_ms) override {
    ++calls;
    inner.ProcessMessages(max_wait_ms);
    now_ += max_wait_ms;
    if (after_turn) after_turn(calls);
  }
  uint32_t NowMs() override { return now_; }
  QtMessagePump inner;
  int calls = 0;
  std::function<void(int)> after_turn;

 private:
  uint32_t now_ = 0;
};

TEST(QtMessagePump, HandlesPendingEventsAndBlocksInsteadOfSpinning) {
  CountingPump pump;
  int fired = 0;
  QTimer::singleShot(0, [&] { ++fired; });
  pump.ProcessMessages(0);
  EXPECT_EQ(fired, 1);

  // A 60 ms wait in 10 ms slices; an event posted in the middle is handled by a later turn.
  pump.calls = 0;
  pump.after_turn = [&](int turn) {
    if (turn == 2) QTimer::singleShot(0, [&] { ++fired; });
  };
  QElapsedTimer real;
  real.start();
  Delay(pump, pump, 60);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(pump.calls, 6);
  // Turns with nothing to handle block for their slice (a busy machine only adds to this);
  // a pump that returned at once would take no time at all.
  EXPECT_GE(real.elapsed(), 10);

  pump.calls = 0;
  Delay(pump, pump, 0);
  EXPECT_EQ(pump.calls, 0);
}

}  // namespace
}  // namespace quillon
