// The serial settings dialog, offscreen: its controls and texts, OK and Close.
#include "app/f_commport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include "link/serial/serial_path.h"
#include "pty_pair.h"
#include "support/scripted_usb.h"

namespace quillon {
namespace {

class CommPortDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConfigureMainWindowPort(comm);
    AttachSerialPort(link, comm);
  }
  // The dialog with a fixed port list; errors are recorded instead of shown.
  std::unique_ptr<TCommPort> Open(std::vector<std::string> ports = {"ttyUSB0", "ttyACM1"}) {
    auto dialog = std::make_unique<TCommPort>(
        link, comm, nullptr, [ports](std::vector<std::string>& out) { out = ports; });
    dialog->set_error_display([this](const QString& text) { errors.push_back(text); });
    return dialog;
  }
  // Runs the dialog modally and presses button inside the loop.
  int Run(TCommPort& dialog, QPushButton* button) {
    QTimer::singleShot(0, button, &QPushButton::click);
    return dialog.exec();
  }

  QueueNotifier notifier;
  testing::ScriptedUsb usb;
  PrinterLink link{usb, SystemClock(), notifier};
  TComm comm{notifier};
  std::vector<QString> errors;
};

TEST_F(CommPortDialogTest, OpensWithDefaultsWhateverTheState) {
  link.SetUseCommPort(true);
  comm.SetBaudRate(9600);
  comm.SetCommName("ttyACM1");
  auto dialog = Open({"ttyUSB0", "ttyACM1"});
  EXPECT_FALSE(dialog->chk_UseCommPort->isChecked());
  EXPECT_EQ(dialog->cbb_commport->currentText(), "ttyUSB0");
  EXPECT_EQ(dialog->cbb_baud->currentText(), "115200");

  auto empty = Open({});
  EXPECT_EQ(empty->cbb_commport->count(), 0);
  EXPECT_EQ(empty->cbb_commport->currentText(), "");
}

TEST_F(CommPortDialogTest, CloseChangesNothing) {
  link.SetUseCommPort(true);
  auto dialog = Open();
  dialog->cbb_commport->setEditText("ttyUSB7");
  dialog->cbb_baud->setEditText("9600");
  dialog->chk_UseCommPort->setChecked(false);
  EXPECT_EQ(Run(*dialog, dialog->btn2), QDialog::Rejected);
  EXPECT_EQ(comm.CommName(), "COM3");
  EXPECT_EQ(comm.BaudRate(), 115200u);
  EXPECT_TRUE(link.UseCommPort());
}

TEST_F(CommPortDialogTest, OkStoresTheChoiceAndOpensThePort) {
  testing::PtyPair pty;
  ASSERT_GE(pty.master(), 0);
  auto dialog = Open({pty.slave_path()});
  dialog->cbb_baud->setEditText("250000");
  dialog->chk_UseCommPort->setChecked(true);
  EXPECT_EQ(Run(*dialog, dialog->btn1), QDialog::Accepted);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(comm.CommName(), pty.slave_path());
  EXPECT_EQ(comm.BaudRate(), 250000u);
  EXPECT_TRUE(link.UseCommPort());
  EXPECT_TRUE(comm.IsOpen());

  // Unticked OK turns the serial link off again.
  auto again = Open({pty.slave_path()});
  EXPECT_EQ(Run(*again, again->btn1), QDialog::Accepted);
  EXPECT_FALSE(link.UseCommPort());
}

TEST_F(CommPortDialogTest, OkReportsBadRateAndOpenFailureThenCloses) {
  auto dialog = Open();
  dialog->cbb_commport->setEditText("ttyQuillonMissing");
  dialog->cbb_baud->setEditText("fast");
  dialog->chk_UseCommPort->setChecked(true);
  EXPECT_EQ(Run(*dialog, dialog->btn1), QDialog::Accepted);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "'fast' is not a valid integer value");
  EXPECT_EQ(comm.CommName(), "ttyQuillonMissing");
  EXPECT_EQ(comm.BaudRate(), 115200u);
  EXPECT_FALSE(link.UseCommPort());

  auto second = Open();
  second->cbb_commport->setEditText("ttyQuillonMissing");
  second->chk_UseCommPort->setChecked(true);
  EXPECT_EQ(Run(*second, second->btn1), QDialog::Accepted);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[1],
            QString::fromUtf8(
                "打开串口出错\r\n此串口不存在或被占用\r\n/dev/ttyQuillonMissing does not exist"));
  EXPECT_FALSE(link.UseCommPort());
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
