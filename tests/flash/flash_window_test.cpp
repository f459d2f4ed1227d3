// The flash pages in the real main window on the virtual printer: choosing files through
// the program's dialogs and running both pages over USB, and the firmware page over the
// window's serial port.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/tmain.h"
#include "core/sfunc.h"
#include "flash_rig.h"
#include "link/serial/tcomm.h"
#include "virtualprinter/pty_transport.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::testing {
namespace {

using Bytes = std::vector<uint8_t>;

class Presenter final : public DialogPresenter {
 public:
  int Show(int, const std::string&, const std::string& text) override {
    shown.push_back(text);
    return 1;
  }
  std::vector<std::string> shown;
};

class Files final : public FileDialogs {
 public:
  std::string OpenDataFile() override { return data_file; }
  std::string OpenPicture() override { return {}; }
  std::string data_file;
};

vp::VirtualPrinter::Options ErasedFlash() {
  vp::VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

class FlashWindowTest : public ::testing::Test {
 protected:
  FlashWindowTest() : folder(Bytes{}, "config.ini") {
    std::ofstream(folder.path()) << "[SYSTEM]\nUSB_VID=c0de\nUSB_PID=7001\nLANGUAGE=EN\n";
    std::filesystem::copy_file(QUILLON_RESOURCE_DIR "/language_msg.ini",
                               folder.folder() / "language_msg.ini");
    SetApplicationPath(folder.folder().string() + "/");
    TmainDeps deps;
    deps.usb = &usb;
    deps.dialogs = &presenter;
    deps.files = &files;
    window = std::make_unique<Tmain>(std::move(deps));
    window->Timer1Timer();  // the presence poll finds the printer
  }
  ~FlashWindowTest() override {
    window.reset();
    SetApplicationPath("");
  }
  void Click(const char* name) { window->findChild<QPushButton*>(name)->click(); }
  std::string Memo(const char* name) {
    if (auto* plain = window->findChild<QPlainTextEdit*>(name))
      return plain->toPlainText().toStdString();
    return window->findChild<QTextEdit*>(name)->toPlainText().toStdString();
  }
  std::string Text(const char* key) { return window->messages().Text(key); }

  TempFile folder;
  vp::VirtualPrinter printer{ErasedFlash()};
  vp::VirtualUsbBackend usb{printer, "c0de", "7001"};
  Presenter presenter;
  Files files;
  std::unique_ptr<Tmain> window;
};

TEST_F(FlashWindowTest, BothPagesOverUsb) {
  const Bytes image = Pattern(2100);
  TempFile firmware(image);
  files.data_file = firmware.path();
  Click("btn21");
  EXPECT_EQ(window->findChild<QLabel*>("lbl_hardware_path")->text().toStdString(), firmware.path());
  Click("btn22");
  EXPECT_NE(Memo("mmo_update_info").find(Text("MSG016")), std::string::npos)
      << Memo("mmo_update_info");
  EXPECT_EQ(printer.state().firmware, image);

  const Bytes font = Pattern(10000, 3);
  TempFile font_file(font, "font.bin");
  files.data_file = font_file.path();
  Click("btn23");
  window->findChild<QComboBox*>("ccb_packsize")->setCurrentText("4096");
  Click("btn24");
  EXPECT_NE(Memo("mmo_flash").find(Text("MSG024")), std::string::npos) << Memo("mmo_flash");
  const auto flash = printer.state().flash.Read(0, 10000);
  EXPECT_EQ(Bytes(flash.begin(), flash.end()), font);

  files.data_file.clear();  // the dialog is cancelled
  Click("btn23");
  EXPECT_EQ(window->findChild<QLabel*>("lbl_hzk_path")->text().toStdString(), Text("MSG030"));
}

TEST_F(FlashWindowTest, StopEndsAFontDownloadThatWaitsOnASilentPrinter) {
  vp::Faults silent;
  silent.silent_after_packets = 1;  // the first sector's erase is the last answer
  printer.SetFaults(silent);
  TempFile font_file(Pattern(12288, 5), "font.bin");
  files.data_file = font_file.path();
  Click("btn23");
  window->findChild<QComboBox*>("ccb_packsize")->setCurrentText("4096");
  auto* stop = window->findChild<QPushButton*>("btn_stop_flash");
  ASSERT_NE(stop, nullptr);
  EXPECT_FALSE(stop->isEnabled());

  // Once the status bar says what the download waits for, the user presses Stop.
  QString waiting;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const QString note = window->statusBar()->currentMessage();
    if (!note.startsWith("waiting for the printer: erase at 4096")) return;
    waiting = note;
    EXPECT_TRUE(stop->isEnabled());
    stop->click();
    watch.stop();
  });
  watch.start(10);
  Click("btn24");  // returns when the flow has ended
  EXPECT_EQ(waiting.toStdString(),
            "waiting for the printer: erase at 4096, attempt 1 of 10, up to 120 s each");
  EXPECT_NE(Memo("mmo_flash")
                .find("Stopped by the user at address 4096. The font library in the "
                      "printer is now incomplete; download it again to complete it."),
            std::string::npos)
      << Memo("mmo_flash");
  EXPECT_EQ(window->findChild<QProgressBar*>("pb_flash")->value(), 0);
  EXPECT_FALSE(stop->isEnabled());
  EXPECT_FALSE(window->link().Busy());
  EXPECT_FALSE(window->link().StopRequested());
  EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty());
}

// A firmware update stopped half-way leaves the printer in its boot loader, so Esc and
// Stop ask first (default No) and the update runs on while the question is open.
TEST_F(FlashWindowTest, StoppingAFirmwareUpdateAsksFirst) {
  const Bytes image = Pattern(60 * 1024);  // 60 packets, 10 ms apart: time to ask
  TempFile firmware(image);
  files.data_file = firmware.path();
  Click("btn21");
  auto* stop = window->findChild<QPushButton*>("btn_stop_update");
  auto* esc = window->findChild<QShortcut*>("EscStop");
  ASSERT_TRUE(stop && esc);

  // Presses Esc (or Stop) once the update runs, then answers the question with answer.
  auto run = [&](bool by_esc, QMessageBox::StandardButton answer) {
    bool pressed = false, answered = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (!stop->isEnabled() || answered) return;
      QMessageBox* box = nullptr;  // the open question (an answered one may linger hidden)
      for (auto* b : window->findChildren<QMessageBox*>())
        if (b->isVisible()) box = b;
      if (!pressed) {
        pressed = true;
        if (by_esc)
          emit esc->activated();
        else
          stop->click();
        return;
      }
      if (!box) return;
      EXPECT_EQ(box->text().toStdString(), Text("FIRMWARE_STOP_ASK"));
      EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
      EXPECT_FALSE(window->link().StopRequested());  // nothing stops before the answer
      box->button(answer)->click();
      answered = true;
    });
    watch.start(10);
    Click("btn22");  // returns when the flow has ended
    return answered;
  };

  ASSERT_TRUE(run(true, QMessageBox::No));
  EXPECT_NE(Memo("mmo_update_info").find(Text("MSG016")), std::string::npos)
      << Memo("mmo_update_info");
  EXPECT_EQ(printer.state().firmware, image);

  ASSERT_TRUE(run(false, QMessageBox::Yes));
  EXPECT_NE(Memo("mmo_update_info").find(Text("FIRMWARE_STOPPED")), std::string::npos)
      << Memo("mmo_update_info");
  EXPECT_FALSE(window->link().StopRequested());
}

TEST_F(FlashWindowTest, FirmwareOverTheWindowsSerialPort) {
  vp::VirtualPrinter serial_printer{ErasedFlash()};
  vp::PtyTransport transport{serial_printer};
  std::string error;
  ASSERT_TRUE(transport.Start(error)) << error;
  auto* comm = dynamic_cast<TComm*>(window->link().cm_spcomm());
  ASSERT_NE(comm, nullptr);
  comm->SetCommName(transport.port_path());
  window->link().SetUseCommPort(true);

  const Bytes image = Pattern(1500);
  TempFile firmware(image);
  files.data_file = firmware.path();
  Click("btn21");
  Click("btn22");
  EXPECT_NE(Memo("mmo_update_info").find(Text("MSG016")), std::string::npos)
      << Memo("mmo_update_info");
  serial_printer.WithState([&](vp::PrinterState& s) { EXPECT_EQ(s.firmware, image); });
  EXPECT_TRUE(printer.state().firmware.empty());  // nothing went to the USB printer
  EXPECT_FALSE(comm->IsOpen());
}

}  // namespace
}  // namespace quillon::testing

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
