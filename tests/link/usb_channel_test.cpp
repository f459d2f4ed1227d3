// Finding the printer among the device paths, opening it, and a link with no printer.
#include <gtest/gtest.h>

#include "link/printer_link.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"

namespace quillon::testing {
namespace {

class UsbChannelTest : public ::testing::Test {
 protected:
  UsbChannelTest() {
    usb.paths = {"usb:bus-001:port-2:vid_046d&pid_c52b", "usb:bus-001:port-1.4:vid_0483&pid_5740",
                 "usb:bus-002:port-3:vid_0483&pid_5740"};
  }
  bool Finds(const std::string& vid, const std::string& pid) {
    link.SetUsbIds(vid, pid);
    link.FindPrinter();
    return link.USB().isFindPrint;
  }

  FakeClock clock;
  ScriptedUsb usb{&clock};
  FakeClockPump pump{clock};
  PrinterLink link{usb, clock, pump};
};

TEST_F(UsbChannelTest, PathMatchingIsAPlainCaseSensitiveSubstringTest) {
  ASSERT_TRUE(Finds("0483", "5740"));
  EXPECT_EQ(link.USB().PrintAddr, "usb:bus-001:port-1.4:vid_0483&pid_5740");  // first of two

  // No leading zero, upper-case letters: not found, and the last address is kept.
  EXPECT_FALSE(Finds("483", "5740"));
  EXPECT_EQ(link.USB().PrintAddr, "usb:bus-001:port-1.4:vid_0483&pid_5740");
  EXPECT_FALSE(Finds("046D", "C52B"));
  EXPECT_TRUE(Finds("046d", "c52b"));
  usb.paths = {"\\\\?\\USB#VID_046D&PID_C52B#1"};
  EXPECT_FALSE(Finds("046d", "c52b"));
  usb.paths.clear();
  EXPECT_FALSE(Finds("046d", "c52b"));
}

TEST_F(UsbChannelTest, OpenWithoutAPrinterTouchesNothingAndSaysWhy) {
  link.SetUsbIds("c0de", "7001");
  link.FindPrinter();
  EXPECT_FALSE(link.OpenUsb());
  EXPECT_EQ(usb.opens, 0);
  EXPECT_EQ(link.LastOpenErrorKind(), UsbError::kNotFound);
  EXPECT_NE(link.LastOpenError().find("vid_c0de&pid_7001"), std::string::npos);
  EXPECT_TRUE(link.CloseUSB());
  EXPECT_EQ(usb.closes, 0);

  const uint8_t b[2] = {1, 2};
  EXPECT_FALSE(link.WriteUSB(b, 2));
  EXPECT_TRUE(usb.writes.empty());
  uint8_t in[kUsbReadMax];
  int32_t n = 99;
  EXPECT_TRUE(link.ReadUSB(in, n));
  EXPECT_EQ(n, 0);
  // An exchange without an open device returns nothing at once: no reply can come.
  EXPECT_EQ(link.SendAndRecv(b, 2, {}, 8, 100), 0);
  EXPECT_EQ(clock.NowMs(), 0u);
}

TEST_F(UsbChannelTest, OpenFailureKeepsItsReasonUntilTheNextSuccess) {
  ASSERT_TRUE(Finds("0483", "5740"));
  usb.open_error = UsbError::kAccess;
  EXPECT_FALSE(link.OpenUsb());
  EXPECT_EQ(link.LastOpenErrorKind(), UsbError::kAccess);
  EXPECT_FALSE(link.LastOpenError().empty());
  EXPECT_FALSE(link.USB().hDevHandle);

  usb.open_error = UsbError::kNone;
  ASSERT_TRUE(link.OpenUsb());
  EXPECT_TRUE(link.LastOpenError().empty());
  // A second open releases the first handle; close is idempotent.
  ASSERT_TRUE(link.OpenUsb());
  EXPECT_EQ(usb.opens, 2);
  EXPECT_EQ(usb.closes, 1);
  link.CloseUSB();
  link.CloseUSB();
  EXPECT_EQ(usb.closes, 2);
}

TEST(CompositeUsbBackendTest, ListsEveryBackendAndOpensWithTheOneThatListedThePath) {
  ScriptedUsb a, b;
  a.paths = {"usb:bus-001:port-1:vid_0483&pid_5740"};
  b.paths = {"virtual:vid_c0de&pid_7001"};
  CompositeUsbBackend all;
  all.Add(&a);
  all.Add(&b);
  std::vector<std::string> paths;
  all.ListDevicePaths(paths);
  EXPECT_EQ(paths, (std::vector<std::string>{a.paths[0], b.paths[0]}));

  auto r = all.Open("virtual:vid_c0de&pid_7001");
  EXPECT_TRUE(r.device);
  EXPECT_EQ(a.opens, 0);
  EXPECT_EQ(b.opens, 1);
  r = all.Open("virtual:vid_c0de&pid_7002");
  EXPECT_FALSE(r.device);
  EXPECT_EQ(r.error, UsbError::kNotFound);
  EXPECT_EQ(UsbIdText(0xC0DE, 0x0070), "vid_c0de&pid_0070");
}

}  // namespace
}  // namespace quillon::testing
