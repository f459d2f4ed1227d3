// The serial path end to end: TComm and the exchange against the virtual printer behind a
// pseudo-terminal, with the command builders the settings page uses.
#include <gtest/gtest.h>

#include <string>

#include "link/printer_link.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "protocol/esc_cmd.h"
#include "support/scripted_usb.h"
#include "virtualprinter/pty_transport.h"
#include "virtualprinter/virtual_printer.h"

namespace quillon {
namespace {

vp::VirtualPrinter::Options BlankFlash() {
  vp::VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

class SerialVirtualPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(transport.Start(error)) << error;
    ConfigureMainWindowPort(comm);
    AttachSerialPort(link, comm);
    ASSERT_EQ(ApplySerialChoice(link, comm, transport.port_path(), "115200", true), "");
  }

  vp::VirtualPrinter printer{BlankFlash()};
  vp::PtyTransport transport{printer};
  QueueNotifier notifier;
  testing::ScriptedUsb usb;  // lists the wrong printer: only the serial path can answer
  PrinterLink link{usb, SystemClock(), notifier};
  TComm comm{notifier};
  EscCmd esc{link};
};

TEST_F(SerialVirtualPrinterTest, QueriesAndSetsSettingsOverTheSerialPath) {
  printer.WithState([](vp::PrinterState& s) { s.settings.language = 2; });
  uint8_t language = 0;
  ASSERT_TRUE(esc.cmd_language(0, language)) << CmdFailureText(esc.last_failure());
  EXPECT_EQ(language, 2);
  language = 3;
  ASSERT_TRUE(esc.cmd_language(1, language)) << CmdFailureText(esc.last_failure());
  printer.WithState([](vp::PrinterState& s) { EXPECT_EQ(s.settings.language, 3); });

  // Text queries come back as whole frames, longer than the usual eight bytes.
  std::string name = "QL-SERIAL-0042";
  ASSERT_TRUE(esc.cmd_blue_name(1, name)) << CmdFailureText(esc.last_failure());
  std::string read_back;
  ASSERT_TRUE(esc.cmd_blue_name(0, read_back)) << CmdFailureText(esc.last_failure());
  EXPECT_EQ(read_back, name);
}

// A Bluetooth port connects some time after the open: the first command waits for that,
// and a port that never connects is refused with a clear reason.
TEST(SerialConnectWaitTest, FirstCommandWaitsForTheLinkToConnect) {
  vp::VirtualPrinter printer{BlankFlash()};
  vp::PtyTransport transport{printer};
  std::string error;
  ASSERT_TRUE(transport.Start(error)) << error;
  QueueNotifier notifier;
  testing::ScriptedUsb usb;
  PrinterLink link{usb, SystemClock(), notifier};
  TComm comm{notifier};
  EscCmd esc{link};
  ConfigureMainWindowPort(comm);
  AttachSerialPort(link, comm);

  const uint32_t opened = SystemClock().NowMs();
  auto ready_after_800ms = [&](TComm&) { return SystemClock().NowMs() - opened >= 800; };
  ASSERT_EQ(ApplySerialChoice(link, comm, transport.port_path(), "115200", true,
                              kSerialConnectTimeoutMs, ready_after_800ms),
            "");
  EXPECT_GE(SystemClock().NowMs() - opened, 800u);
  uint8_t language = 0;
  EXPECT_TRUE(esc.cmd_language(0, language)) << CmdFailureText(esc.last_failure());

  EXPECT_EQ(ApplySerialChoice(link, comm, transport.port_path(), "115200", true, 300,
                              [](TComm&) { return false; }),
            "the Bluetooth printer on " + transport.port_path() + " did not connect within 1 s");
  EXPECT_FALSE(link.UseCommPort());
  EXPECT_FALSE(comm.IsOpen());
}

}  // namespace
}  // namespace quillon
