// The Qt message pump under the waits: it handles what is pending and otherwise blocks for
// its slice, so a wait of some milliseconds takes a handful of turns, not thousands.
#include "app/qt_message_pump.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "link/clock.h"
#include "link/printer_link.h"

namespace quillon {
namespace {

class CountingPump final : public MessagePump {
 public:
  void ProcessMessages(uint32_t max_wait_ms) override {
    ++calls;
    inner.ProcessMessages(max_wait_ms);
  }
  QtMessagePump inner;
  int calls = 0;
};

TEST(QtMessagePump, HandlesPendingEventsAndBlocksInsteadOfSpinning) {
  CountingPump pump;
  int fired = 0;
  QTimer::singleShot(0, [&] { ++fired; });
  pump.ProcessMessages(0);
  EXPECT_EQ(fired, 1);

  // A 60 ms wait in 10 ms slices: a pump that returned at once would turn thousands of times.
  pump.calls = 0;
  QTimer::singleShot(20, [&] { ++fired; });  // arrives in the middle of the wait
  Delay(SystemClock(), pump, 60);
  EXPECT_EQ(fired, 2);
  EXPECT_LT(pump.calls, 30);
  EXPECT_GE(pump.calls, 1);

  pump.calls = 0;
  Delay(SystemClock(), pump, 0);
  EXPECT_EQ(pump.calls, 0);
}

}  // namespace
}  // namespace quillon
