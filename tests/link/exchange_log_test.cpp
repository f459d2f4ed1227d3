// The exchange's log lines: one sent line per call, one received line when bytes came,
// the daily file beside the program, and an exchange that goes on when logging fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/ulog.h"
#include "link/printer_link.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"
#include "support/temp_dir.h"

namespace quillon::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::tm May17() {
  std::tm t{};
  t.tm_year = 124;
  t.tm_mon = 4;
  t.tm_mday = 17;
  t.tm_hour = 14;
  t.tm_min = 3;
  t.tm_sec = 9;
  return t;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ExchangeLogTest : public ::testing::Test {
 protected:
  ExchangeLogTest() {
    dir = MakeTempDir("quillon-xlog-");
    log = std::make_unique<ExchangeLog>(dir.string());
    log->now = May17;
    link.set_log(log.get());
    link.SetUsbIds("1fc9", "2016");
    link.FindPrinter();
    link.OpenUsb();
  }
  ~ExchangeLogTest() override { fs::remove_all(dir); }
  std::string Today() const { return ReadFile(dir / "log" / "20240517.txt"); }

  fs::path dir;
  std::unique_ptr<ExchangeLog> log;
  FakeClock clock;
  ScriptedUsb usb{&clock};
  FakeClockPump pump{clock};
  PrinterLink link{usb, clock, pump};
  const Bytes query{0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1};
  uint8_t reply[128] = {};
};

TEST_F(ExchangeLogTest, SentAndReceivedLinesInTheDailyFile) {
  log->switches.TXD_ONOFF = 1;
  log->switches.RXD_ONOFF = 1;
  usb.QueueReply({0x10, 0xA1, 0x00, 0x00, 0x01, 0x00, 0x02, 0xB4});
  ASSERT_FALSE(fs::exists(dir / "log"));  // created on first use
  EXPECT_EQ(link.SendAndRecv(query.data(), 7, reply, 8, 1000), 8);
  EXPECT_EQ(Today(), "TXD\t10 A1 00 00 00 00 B1 \r\nRXD\t10 A1 00 00 01 00 02 B4 \r\n");

  // A raw send and an unanswered command add only their sent lines.
  EXPECT_EQ(link.SendAndRecv(query.data(), 2, {}, 0, 0), 0);
  EXPECT_EQ(link.SendAndRecv(query.data(), 1, reply, 8, 30), 0);
  EXPECT_EQ(Today(),
            "TXD\t10 A1 00 00 00 00 B1 \r\nRXD\t10 A1 00 00 01 00 02 B4 \r\nTXD\t10 A1 \r\n"
            "TXD\t10 \r\n");
}

TEST_F(ExchangeLogTest, DefaultSwitchesStillWriteEmptyLinesAndRunsAppend) {
  usb.QueueReply({1, 2, 3, 4, 5, 6, 7, 8});
  link.SendAndRecv(query.data(), 7, reply, 8, 1000);
  EXPECT_EQ(Today(), "\r\n\r\n");

  ExchangeLog second_run(dir.string());
  second_run.now = May17;
  second_run.switches.ADD_DATETIME = 1;
  link.set_log(&second_run);
  link.SendAndRecv(query.data(), 7, {}, 0, 0);
  EXPECT_EQ(Today(), "\r\n\r\n[2024-05-17 14:03:09]\t\r\n");
}

TEST_F(ExchangeLogTest, AVeryLongWriteShowsItsFirst40960BytesAndTheCount) {
  log->switches.TXD_ONOFF = 1;
  Bytes image(50000, 0xAB);
  image[40959] = 0x01;
  image[40960] = 0x02;
  link.SendAndRecv(image.data(), 50000, {}, 0, 0);
  const std::string text = Today();
  ASSERT_EQ(text.size(), 4 + 40960 * 3 + std::string("... (50000 bytes)\r\n").size());
  EXPECT_EQ(text.substr(4 + 40959 * 3), "01 ... (50000 bytes)\r\n");
  EXPECT_EQ(usb.AllWritten().size(), 50000u);  // the whole block still goes out

  // Exactly 40960 bytes is shown whole.
  fs::remove(dir / "log" / "20240517.txt");
  link.SendAndRecv(image.data(), 40960, {}, 0, 0);
  EXPECT_EQ(Today().size(), 4 + 40960 * 3 + 2);
}

TEST_F(ExchangeLogTest, AnUnwritableLogFolderDoesNotStopTheExchange) {
  // The log folder's place is taken by a file: neither folder nor file can be made.
  std::ofstream(dir / "log") << "x";
  log->switches.TXD_ONOFF = 1;
  usb.QueueReply({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(link.SendAndRecv(query.data(), 7, reply, 8, 1000), 8);
  EXPECT_EQ(reply[7], 8);
  EXPECT_EQ(usb.writes.size(), 1u);
}

TEST_F(ExchangeLogTest, TheRouteToThePrinterIsLoggedWhenItChanges) {
  log->switches.MSG_ONOFF = 1;
  usb.route = "kernel printer driver /dev/usb/lp0";
  for (int i = 0; i < 2; ++i) {
    link.CloseUSB();
    ASSERT_TRUE(link.OpenUsb());
  }
  usb.route = "libusb, driver detached";
  link.CloseUSB();
  ASSERT_TRUE(link.OpenUsb());
  const std::string at = "MSG\tUSB " + usb.paths[0] + ": ";
  EXPECT_EQ(Today(),
            at + "kernel printer driver /dev/usb/lp0\r\n" + at + "libusb, driver detached\r\n");
}

}  // namespace
}  // namespace quillon::testing
