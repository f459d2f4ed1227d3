// The settings pages and dialogs installed in the real main window on the virtual printer:
// page controllers found by page name, dialogs opened from their buttons with their
// language files, and the Bluetooth name sequence pressing the print test page's button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "app/gui_registry.h"
#include "app/temp_folder.h"
#include "app/tmain.h"
#include "settings_gui_fixture.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {

void InstallSettingsGui(GuiRegistry& registry);

namespace {

class Presenter final : public DialogPresenter {
 public:
  int Show(int kind, const std::string&, const std::string& text) override {
    shown.push_back(text);
    return kMsgResultOk;
  }
  std::vector<std::string> shown;
};

struct MainWindowTest : ::testing::Test {
  MainWindowTest() {
    for (const auto& e : std::filesystem::directory_iterator(QUILLON_RESOURCE_DIR)) {
      if (e.path().extension() == ".ini") {
        std::filesystem::copy_file(e.path(), dir.file(e.path().filename().string()),
                                   std::filesystem::copy_options::overwrite_existing);
      }
    }
    dir.Write("config.ini", "[SYSTEM]\nUSB_VID=c0de\nUSB_PID=7001\nLANGUAGE=EN\n");
    options.load_factory_font = false;
  }
  std::unique_ptr<Tmain> MakeWindow() {
    TmainDeps deps;
    deps.usb = &usb;
    deps.dialogs = &presenter;
    deps.install = InstallSettingsGui;
    auto w = std::make_unique<Tmain>(std::move(deps));
    w->Timer1Timer();  // finds the printer
    return w;
  }
  // Runs act on the next modal dialog that opens, then closes it.
  void OnNextDialog(std::function<void(QDialog*)> act) {
    QTimer::singleShot(0, [act] {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      act(d);
      d->reject();
    });
  }

  testing::TempProgramFolder dir;
  vp::VirtualPrinter::Options options;
  vp::VirtualPrinter printer{options};
  vp::VirtualUsbBackend usb{printer, "c0de", "7001"};
  Presenter presenter;
};

TEST_F(MainWindowTest, PagesAndDialogsWorkInTheWindow) {
  auto w = MakeWindow();
  printer.state().settings.stepmode = 3;
  w->findChild<QPushButton*>("btn8")->click();
  EXPECT_EQ(w->findChild<QComboBox*>("cbb_stepmode")->currentIndex(), 3);

  // The label page answers from the inner page ts2.
  w->findChild<QLineEdit*>("edt_TagSensor")->setText("x");
  w->findChild<QPushButton*>("btn48")->click();
  ASSERT_FALSE(presenter.shown.empty());
  EXPECT_NE(presenter.shown.back().find("'x'"), std::string::npos);

  // Without a send handler of its own the name sequence presses the window's btn_send.
  int sends = 0;
  QObject::connect(w->findChild<QPushButton*>("btn_send"), &QPushButton::clicked, [&] { ++sends; });
  w->findChild<QCheckBox*>("chk_print_test")->setChecked(true);
  w->findChild<QLineEdit*>("edt_blue_name")->setText("Desk-3");
  w->findChild<QPushButton*>("btn16")->click();
  EXPECT_EQ(sends, 1);
  EXPECT_EQ(printer.state().settings.blue_name, "Desk-3");

  // The Wi-Fi dialog opens localised and sets the printer.
  QString title;
  OnNextDialog([&](QDialog* d) {
    title = d->windowTitle();
    d->findChild<QPushButton*>("btn2")->click();
  });
  w->findChild<QPushButton*>("btn_wifi")->click();
  EXPECT_EQ(title, "Wi-Fi parameter configuration");
  EXPECT_STREQ(printer.state().settings.wifi.ServerIP, "192.168.1.100");
  EXPECT_EQ(presenter.shown.back(), "设置成功");

  // The wired dialog reads the printer's record.
  printer.state().settings.net.set_ip(0x0101A8C0);
  QString ip;
  OnNextDialog([&](QDialog* d) {
    d->findChild<QPushButton*>("btn3")->click();
    ip = d->findChild<QLineEdit*>("medt_ip")->text();
  });
  w->findChild<QPushButton*>("btn49")->click();
  EXPECT_EQ(ip, "192.168.001.001");

  // The serial number dialog from the OEM page, the RFID dialogs from the menu.
  QString sno;
  OnNextDialog([&](QDialog* d) {
    d->findChild<QPushButton*>("btn_read")->click();
    sno = d->findChild<QLineEdit*>("edt_sno")->text();
  });
  w->findChild<QPushButton*>("btn50")->click();
  EXPECT_EQ(sno.toStdString(), printer.state().serial_number);
  QString rfid, roll;
  OnNextDialog([&](QDialog* d) { rfid = d->objectName(); });
  w->ESTT1Click();
  OnNextDialog([&](QDialog* d) { roll = d->objectName(); });
  w->PaperRoll1Click();
  EXPECT_EQ(rfid, "rfid_test");
  EXPECT_EQ(roll, "Paper_roll");
}

TEST_F(MainWindowTest, NameSequenceSendsTheTestTextThroughThePrintTestPage) {
  testing::RecordingUsb recording(usb);
  TmainDeps deps;
  deps.usb = &recording;
  deps.dialogs = &presenter;
  deps.install = [](GuiRegistry& r) {
    InstallSettingsGui(r);
    InstallOutputGui(r);
  };
  Tmain w(std::move(deps));
  w.Timer1Timer();
  w.findChild<QPlainTextEdit*>("redt_text")->setPlainText("hello");
  w.findChild<QCheckBox*>("chk_init_printer")->setChecked(true);
  w.findChild<QCheckBox*>("chk_print_test")->setChecked(true);
  w.findChild<QLineEdit*>("edt_blue_name")->setText("Desk-4");
  presenter.shown.clear();
  w.findChild<QPushButton*>("btn16")->click();
  ASSERT_EQ(recording.writes.size(), 4u);
  EXPECT_EQ(recording.writes[0][1], 0xA7);  // the name
  EXPECT_EQ(recording.writes[1][1], 0xA0);  // initialisation
  EXPECT_EQ(recording.writes[2][1], 0xAA);  // printer information
  EXPECT_EQ(recording.writes[3], (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0], w.messages().Text("MSG018"));
  EXPECT_EQ(w.findChild<QPlainTextEdit*>("mmo_info")->toPlainText().toStdString(),
            printer.state().sys_info);
}

TEST_F(MainWindowTest, CreateLanguageWritesTheThreeDialogFiles) {
  auto w = MakeWindow();
  for (const char* file :
       {"language_wifi.ini", "language_net_edit.ini", "language_serial_number.ini"}) {
    std::filesystem::remove(dir.file(file));
  }
  w->CreateLanguage1Click();
  EXPECT_TRUE(std::filesystem::exists(dir.file("language_wifi.ini")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("language_net_edit.ini")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("language_serial_number.ini")));
  EXPECT_NE(dir.Read("language_wifi.ini").find("1B F0 WIFI模块出厂设置"), std::string::npos);
}

}  // namespace
}  // namespace quillon
