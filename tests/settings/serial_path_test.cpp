// The settings page and dialogs over the serial path: the virtual printer behind a
// pseudo-terminal, replies longer than eight bytes included.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include "link/printer_link.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "protocol/esc_cmd.h"
#include "settings/net_edit_dialog.h"
#include "settings/rfid_test_dialog.h"
#include "settings/settings_page.h"
#include "settings_gui_fixture.h"
#include "support/scripted_usb.h"
#include "virtualprinter/pty_transport.h"
#include "virtualprinter/virtual_printer.h"

namespace quillon {
namespace {

using testing::Click;
using testing::Find;

class SerialPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(transport.Start(error)) << error;
    ConfigureMainWindowPort(comm);
    AttachSerialPort(link, comm);
    ASSERT_EQ(ApplySerialChoice(link, comm, transport.port_path(), "115200", true), "");
  }

  vp::VirtualPrinter printer{Options()};
  vp::PtyTransport transport{printer};
  QueueNotifier notifier;
  quillon::testing::ScriptedUsb usb;  // no USB printer answers: only the serial path can
  PrinterLink link{usb, SystemClock(), notifier};
  TComm comm{notifier};
  EscCmd esc{link};
  testing::ScriptedMessages messages;
  AppContext ctx{link, esc, messages, [] { return true; }};

  static vp::VirtualPrinter::Options Options() {
    vp::VirtualPrinter::Options o;
    o.load_factory_font = false;
    return o;
  }
};

TEST_F(SerialPathTest, PageDialogsAndCardWorkOverTheSerialPort) {
  auto page = testing::BuildSettingsTestPage();
  auto controller = InstallSettingsPage(page.get(), ctx);
  printer.WithState([](vp::PrinterState& s) { s.settings.stepmode = 3; });
  Click(page.get(), "btn8");
  EXPECT_EQ(Find<QComboBox>(page.get(), "cbb_stepmode")->currentIndex(), 3);
  Find<QLineEdit>(page.get(), "edt_blue_name")->setText(QStringLiteral("标签机-7"));
  Click(page.get(), "btn16");
  EXPECT_EQ(messages.shown.back().text, "accepted");
  Find<QLineEdit>(page.get(), "edt_blue_name")->clear();
  Click(page.get(), "btn15");  // a reply longer than eight bytes
  EXPECT_EQ(Find<QLineEdit>(page.get(), "edt_blue_name")->text(), QStringLiteral("标签机-7"));

  // The wired record comes back as a 23-byte frame.
  printer.WithState([](vp::PrinterState& s) { s.settings.net.set_ip(0x0A01A8C0); });
  Tnet_edit net(ctx);
  Click(&net, "btn3");
  EXPECT_EQ(Find<QLineEdit>(&net, "medt_ip")->text(), "192.168.001.010");

  // Authentication (12 bytes) and block reads (24 bytes).
  Trfid_test rfid(ctx);
  Click(&rfid, "btn1");
  EXPECT_EQ(messages.shown.back().text, "Auth OK,CardSnr:8A3F215C");
  Click(&rfid, "btn_read");
  EXPECT_EQ(messages.shown.back().text, "OK");
  EXPECT_EQ(Find<QLineEdit>(&rfid, "edt_block_00")->text().left(12), "8A 3F 21 5C ");
}

}  // namespace
}  // namespace quillon
