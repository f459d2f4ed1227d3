// The serial port's notifications reach the link on the GUI thread through Qt events.
#include "app/qt_comm_notifier.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstring>

#include "app/qt_message_pump.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"

namespace quillon {
namespace {

CommMessage Block(const char* text) {
  return CommMessage::Received(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

TEST(QtCommNotifier, DeliversInOrderWhenEventsRunAndDropsWhatIsForgotten) {
  testing::FakeClock clock;
  testing::ScriptedUsb usb(&clock);
  QtMessagePump pump;
  PrinterLink link(usb, clock, pump);
  QtCommNotifier notifier;
  TComm comm(notifier);
  AttachSerialPort(link, comm);

  ASSERT_TRUE(notifier.post(&comm, Block("AB")));
  ASSERT_TRUE(notifier.post(&comm, Block("C")));
  EXPECT_EQ(link.CommRecvLen(), 0);  // nothing before the window handles its events
  pump.ProcessMessages(0);
  ASSERT_EQ(link.CommRecvLen(), 3);
  EXPECT_EQ(std::memcmp(link.CommBuf(), "ABC", 3), 0);

  // Forgotten notifications are dropped, never delivered.
  notifier.post(&comm, Block("D"));
  notifier.forget(&comm);
  pump.ProcessMessages(0);
  EXPECT_EQ(link.CommRecvLen(), 3);
  notifier.post(&comm, Block("E"));  // released with the notifier
}

}  // namespace
}  // namespace quillon
