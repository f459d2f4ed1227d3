// The main window: creation with and without its files, the presence poll, the presence
// check, the busy guard, the menus and the seams the subsystems plug into.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include "app/language.h"
#include "app/usb_printer_menu.h"
#include "core/ini_file.h"
#include "session/printer_command.h"
#include "shell_fixture.h"

namespace quillon {
namespace {

using testing::ShellTest;

template <class T>
T* Find(QWidget* w, const char* name) {
  T* c = w->findChild<T*>(name);
  EXPECT_NE(c, nullptr) << name;
  return c;
}

QString Tab(QWidget* w, const char* page) {
  auto* p = w->findChild<QWidget*>(page);
  auto* tabs = qobject_cast<QTabWidget*>(p->parentWidget()->parentWidget());
  return tabs->tabText(tabs->indexOf(p));
}

TEST_F(ShellTest, EveryControlOfEveryPageExistsWithItsKind) {
  auto w = MakeWindow();
  auto* pages = w->PageControl1();
  ASSERT_EQ(pages->count(), 6);
  const char* order[] = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4", "TabSheet5", "ts3"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(pages->widget(i)->objectName(), order[i]);

  for (const char* n :
       {"btn21", "btn22", "btn44",    "btn52",    "btn23", "btn24",    "btn1",  "btn2",
        "btn3",  "btn4",  "btn5",     "btn6",     "btn7",  "btn8",     "btn9",  "btn10",
        "btn11", "btn12", "btn13",    "btn41",    "btn42", "btn14",    "btn15", "btn16",
        "btn17", "btn18", "btn19",    "btn_wifi", "btn49", "btn25",    "btn26", "btn27",
        "btn28", "btn29", "btn30",    "btn31",    "btn32", "btn33",    "btn34", "btn35",
        "btn36", "btn37", "btn38",    "btn39",    "btn40", "btn47",    "btn48", "btn45",
        "btn46", "btn20", "btn_send", "btn43",    "btn53", "btn_logo", "btn50", "btn51"})
    Find<QPushButton>(w.get(), n);
  for (const char* n : {"lbl_hardware_path",
                        "lbl11",
                        "lbl14",
                        "lbl17",
                        "lbl18",
                        "lbl_hzk_path",
                        "lbl21",
                        "lbl15",
                        "lbl19",
                        "lbl20",
                        "lbl1",
                        "lbl2",
                        "lbl3",
                        "lbl4",
                        "lbl5",
                        "lbl6",
                        "lbl16",
                        "lbl7",
                        "lbl8",
                        "lbl9",
                        "lbl12",
                        "lbl13",
                        "lbl10"})
    Find<QLabel>(w.get(), n);
  for (const char* n :
       {"chk_old", "chk_erase_all", "chk_init_printer", "chk_print_test", "chk_esc"})
    EXPECT_FALSE(Find<QCheckBox>(w.get(), n)->isChecked()) << n;
  for (const char* n : {"GroupBox1", "grp1", "grp2"}) Find<QGroupBox>(w.get(), n);
  for (const char* n :
       {"ccb_packsize", "cbb_language", "cbb_cmdmode", "cbb_tagmode", "cbb_stepmode",
        "cbb_blackness", "cbb_charset", "cbb_sleep", "cbb_send_charset"})
    EXPECT_TRUE(Find<QComboBox>(w.get(), n)->isEditable()) << n;
  for (const char* n : {"mmo_update_info", "mmo_flash", "mmo_info", "redt_text"})
    EXPECT_TRUE(Find<QPlainTextEdit>(w.get(), n)->toPlainText().isEmpty());
  EXPECT_FALSE(Find<QPlainTextEdit>(w.get(), "mmo_info")->isEnabled());
  for (const char* n : {"pb_update", "pb_flash"})
    EXPECT_EQ(Find<QProgressBar>(w.get(), n)->value(), 0);
  for (const char* n : {"edt_blue_name", "edt_blue_pin", "edt_blue_mac"})
    EXPECT_TRUE(Find<QLineEdit>(w.get(), n)->text().isEmpty());
  EXPECT_FALSE(Find<QLineEdit>(w.get(), "edt_blue_mac")->isEnabled());
  EXPECT_EQ(Find<QLineEdit>(w.get(), "edt_TagSensor")->text(), "0");
  EXPECT_EQ(Find<QLineEdit>(w.get(), "edt_TagOut")->text(), "0");
  // The inner pages of the print test page; the combo boxes' neighbours in their groups.
  EXPECT_EQ(Find<QWidget>(w.get(), "ts1")->parentWidget()->parentWidget()->objectName(),
            "PageControl2");
  EXPECT_EQ(Find<QComboBox>(w.get(), "cbb_sleep")->parentWidget()->objectName(), "grp1");
  EXPECT_EQ(Find<QPushButton>(w.get(), "btn_wifi")->parentWidget()->objectName(), "grp2");
  EXPECT_EQ(w->statusBar()->objectName(), "stat1");
  EXPECT_EQ(w->Timer1()->interval(), 1000);
  EXPECT_TRUE(w->Timer1()->isActive());
}

TEST_F(ShellTest, WithoutAnyFileTheControlsShowTheirNamesAndNoPrinterIsEverFound) {
  usb.paths = {"\\\\?\\usb#vid_1fc9&pid_2016#5&1&1#{a5dcbf10}"};
  auto w = MakeWindow();
  EXPECT_EQ(w->windowTitle(), "main");
  EXPECT_EQ(Find<QPushButton>(w.get(), "btn21")->text(), "btn21");
  EXPECT_EQ(Find<QLabel>(w.get(), "lbl_hardware_path")->text(), "lbl_hardware_path");
  EXPECT_EQ(Find<QCheckBox>(w.get(), "chk_esc")->text(), "chk_esc");
  EXPECT_EQ(Find<QGroupBox>(w.get(), "grp2")->title(), "grp2");
  EXPECT_EQ(Tab(w.get(), "TabSheet3"), "TabSheet3");
  EXPECT_EQ(Tab(w.get(), "ts2"), "ts2");
  for (const char* n : {"cbb_language", "cbb_sleep", "ccb_packsize", "cbb_send_charset"}) {
    auto* c = Find<QComboBox>(w.get(), n);
    ASSERT_EQ(c->count(), 1) << n;
    EXPECT_EQ(c->itemText(0), n);
    EXPECT_EQ(c->currentIndex(), 0);
  }
  // Edits and memos keep their built-in texts in every language.
  EXPECT_EQ(Find<QLineEdit>(w.get(), "edt_TagOut")->text(), "0");

  EXPECT_EQ(w->Language(), "CHS");
  EXPECT_EQ(w->link().USB().VID, "");
  EXPECT_FALSE(w->link().BeforeReadUSB());
  EXPECT_FALSE(w->link().UseCommPort());
  EXPECT_EQ(w->log().switches.TXD_ONOFF, 0);
  w->Timer1Timer();
  EXPECT_FALSE(w->link().USB().isFindPrint);  // "vid_&pid_" is in no device path
  EXPECT_EQ(w->windowTitle(), "QL4.0--[ERROR]");
}

TEST_F(ShellTest, ShippedFilesGiveEveryCaptionAndTheSameItemOrderInBothLanguages) {
  InstallShippedFiles();
  auto chs = MakeWindow();
  EXPECT_EQ(chs->windowTitle(), "QL4.0");
  EXPECT_EQ(chs->link().USB().VID, "c0de");
  EXPECT_EQ(chs->link().USB().PID, "7001");
  // Logging is off as shipped: a font download would otherwise add ~25 MB to the day's log.
  for (uint8_t on : {chs->log().switches.MSG_ONOFF, chs->log().switches.ERR_ONOFF,
                     chs->log().switches.RXD_ONOFF, chs->log().switches.TXD_ONOFF,
                     chs->log().switches.ANY_ONOFF, chs->log().switches.ADD_DATETIME})
    EXPECT_EQ(on, 0);
  EXPECT_EQ(Find<QPushButton>(chs.get(), "btn21")->text(), "第一步:加载固件文件");
  EXPECT_EQ(Tab(chs.get(), "TabSheet4"), "打印测试");
  EXPECT_EQ(Find<QComboBox>(chs.get(), "cbb_stepmode")->itemText(3), "3:较快");
  EXPECT_EQ(Find<QPushButton>(chs.get(), "btn20")->text(), "");  // the icon button

  // Every localised control has a key in both sections of the shipped file, and every key
  // names a control.
  testing::TempProgramFolder scratch("_scratch");
  ASSERT_TRUE(Language_Create(chs.get()));
  const auto written = IniFile(scratch.file("language_main.ini")).ReadSection("CHS");
  const auto shipped_chs =
      IniFile(std::string(QUILLON_RESOURCE_DIR) + "/language_main.ini").ReadSection("CHS");
  const auto shipped_en =
      IniFile(std::string(QUILLON_RESOURCE_DIR) + "/language_main.ini").ReadSection("EN");
  std::vector<std::string> written_keys, chs_keys, en_keys;
  for (const auto& [k, v] : written) written_keys.push_back(k);
  for (const auto& [k, v] : shipped_chs) chs_keys.push_back(k);
  for (const auto& [k, v] : shipped_en) en_keys.push_back(k);
  EXPECT_EQ(written_keys, chs_keys);
  EXPECT_EQ(written_keys, en_keys);
  EXPECT_EQ(written, shipped_chs);  // applying and writing back the file loses nothing
  SetApplicationPath(dir.folder());

  WriteConfig("c0de", "7001", "EN");
  auto en = MakeWindow();
  EXPECT_EQ(en->Language(), "EN");
  EXPECT_EQ(Find<QPushButton>(en.get(), "btn1")->text(), "Query");
  for (QComboBox* c : en->findChildren<QComboBox*>()) {
    auto* twin = chs->findChild<QComboBox*>(c->objectName());
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(c->count(), twin->count()) << c->objectName().toStdString();
    for (int i = 0; i < c->count() && i < 10; ++i)  // items start with their index digit
      EXPECT_EQ(c->itemText(i).left(1), twin->itemText(i).left(1));
  }
}

TEST_F(ShellTest, PresencePollCaptionFollowsThePrinterComingAndGoing) {
  WriteConfig("1fc9", "2016", "EN");
  dir.Write("language_msg.ini", "[EN]\nMSG001=connected\nMSG002=absent\n");
  const std::vector<std::string> printer = usb.paths;
  usb.paths.clear();
  auto w = MakeWindow();
  w->Timer1Timer();
  EXPECT_EQ(w->windowTitle(), "QL4.0--[absent]");
  usb.paths = printer;
  w->Timer1Timer();
  EXPECT_TRUE(w->link().USB().isFindPrint);
  EXPECT_EQ(w->link().USB().PrintAddr, printer[0]);
  EXPECT_EQ(w->windowTitle(), "QL4.0--[connected]");
  usb.paths = {"\\\\?\\usb#vid_1fc9&pid_9999#1"};  // another device only
  w->Timer1Timer();
  EXPECT_EQ(w->windowTitle(), "QL4.0--[absent]");
}

TEST_F(ShellTest, PresenceCheckWithoutPrinterShowsMsg003OnceAndSendsNothing) {
  InstallShippedFiles();
  usb.paths.clear();
  auto w = MakeWindow();
  w->Timer1Timer();
  EXPECT_FALSE(w->context().ShowUSBMessage());
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].kind, kMsgPlain);
  EXPECT_EQ(presenter.shown[0].caption, kApplicationTitle);
  EXPECT_EQ(presenter.shown[0].text, w->messages().Text("MSG003"));
  EXPECT_TRUE(usb.writes.empty());
  EXPECT_EQ(usb.opens, 0);

  usb.paths = {"usb#vid_c0de&pid_7001#1"};
  w->Timer1Timer();
  EXPECT_TRUE(w->context().ShowUSBMessage());
  EXPECT_EQ(presenter.shown.size(), 1u);
}

// A printer that is there but cannot be opened: the command fails at once, the window
// tells each cause once (texts from the message file) and keeps a short form in the status
// bar until a command goes through.
TEST_F(ShellTest, UnopenablePrinterIsExplainedOncePerCauseAndTheCommandFailsAtOnce) {
  InstallShippedFiles();
  WriteConfig("1fc9", "2016", "EN");
  auto w = MakeWindow();
  w->Timer1Timer();
  auto command = [&] {
    uint8_t value = 0;
    return w->esc().cmd_language(0, value);
  };
  usb.open_error = UsbError::kAccess;
  const uint32_t start = clock.NowMs();
  EXPECT_FALSE(command());
  EXPECT_EQ(clock.NowMs(), start);  // no reply wait on a device that is not open
  EXPECT_FALSE(command());
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].kind, kMsgWarning);
  EXPECT_EQ(presenter.shown[0].text.rfind(w->messages().Text("USB_NO_ACCESS"), 0), 0u);
  EXPECT_NE(presenter.shown[0].text.find("udevadm control --reload-rules"), std::string::npos);
  EXPECT_EQ(w->UsbState()->text().toStdString(), w->messages().Text("USB_SHORT_ACCESS"));

  usb.open_error = UsbError::kBusy;
  usb.open_holder = UsbHolder::kKernelDriver;
  EXPECT_FALSE(command());
  ASSERT_EQ(presenter.shown.size(), 2u);
  EXPECT_NE(presenter.shown[1].text.find("/dev/usb/lp3"), std::string::npos);
  usb.open_holder = UsbHolder::kOtherProgram;
  EXPECT_FALSE(command());
  EXPECT_EQ(presenter.shown.back().text, w->messages().Text("USB_BUSY_SERVICE"));
  EXPECT_EQ(w->UsbState()->text().toStdString(), w->messages().Text("USB_SHORT_BUSY_SERVICE"));

  // A command that goes through clears the note; the same cause later is told again.
  usb.open_error = UsbError::kNone;
  const uint8_t byte = 0x0A;
  ASSERT_TRUE(w->link().OpenUsb());
  w->link().SendAndRecv(&byte, 1, {}, 0, 0);
  w->link().CloseUSB();
  EXPECT_TRUE(w->UsbState()->text().isEmpty());
  usb.open_error = UsbError::kAccess;
  EXPECT_FALSE(command());
  EXPECT_EQ(presenter.shown.size(), 4u);
}

TEST_F(ShellTest, SystemMenuListsSeveralPrintersAndTheChoiceIsUsed) {
  WriteConfig("1fc9", "2016", "EN");
  const std::string first = usb.paths[0];
  const std::string second = "\\\\?\\usb#vid_1fc9&pid_2016#5&1&2#{a5dcbf10}";
  auto w = MakeWindow();
  w->Timer1Timer();
  QMenu* printers = w->PrinterMenu()->menu();
  EXPECT_FALSE(printers->menuAction()->isVisible());  // one printer: nothing to choose

  usb.paths.push_back(second);
  w->Timer1Timer();
  ASSERT_TRUE(printers->menuAction()->isVisible());
  ASSERT_EQ(printers->actions().size(), 2);
  EXPECT_TRUE(printers->actions()[0]->isChecked());
  EXPECT_EQ(w->link().USB().PrintAddr, first);
  printers->actions()[1]->trigger();
  w->Timer1Timer();
  EXPECT_TRUE(printers->actions()[1]->isChecked());
  EXPECT_EQ(w->link().USB().PrintAddr, second);

  usb.paths = {first};  // the chosen one unplugged: back to the first
  w->Timer1Timer();
  EXPECT_FALSE(printers->menuAction()->isVisible());
  EXPECT_TRUE(w->link().USB().Choice.empty());
  EXPECT_EQ(w->link().USB().PrintAddr, first);
}

TEST_F(ShellTest, BusyGuardRefusesSecondCommandWhilePollAndWindowStayAlive) {
  WriteConfig("1fc9", "2016", "EN");
  auto w = MakeWindow();
  w->show();
  {
    PrinterCommand running(w->context(), msgkey::kBusyFont);
    ASSERT_TRUE(running);
    PrinterCommand second(w->context());
    EXPECT_FALSE(second);
    // No message file here: the built-in English names what is running.
    EXPECT_EQ(w->statusBar()->currentMessage().toStdString(), "busy: font download");
    w->Timer1Timer();  // the presence poll keeps running during a command
    EXPECT_EQ(w->windowTitle(), "QL4.0--[ERROR]");
    EXPECT_FALSE(w->close());  // closing would abandon the command half-way
    EXPECT_TRUE(w->isVisible());
  }
  EXPECT_TRUE(PrinterCommand(w->context()));
  EXPECT_TRUE(w->close());
}

TEST_F(ShellTest, DelayKeepsHandlingEventsAndZeroReturnsAtOnce) {
  auto w = MakeWindow({}, /*system_clock=*/true);
  bool ran = false;
  QTimer::singleShot(0, w.get(), [&] { ran = true; });
  w->Delay(0);
  w->Delay(30);
  EXPECT_TRUE(ran);
}

TEST_F(ShellTest, SystemMenuSwitchesTheDrainBeforeWrites) {
  auto w = MakeWindow();
  Find<QAction>(w.get(), "BeforeReadUSB1")->trigger();
  EXPECT_TRUE(w->link().BeforeReadUSB());
  Find<QAction>(w.get(), "DisableReadUSB1")->trigger();
  EXPECT_FALSE(w->link().BeforeReadUSB());
}

TEST_F(ShellTest, LanguageMenuWritesConfigAndChangesNothingOnScreen) {
  InstallShippedFiles();
  auto w = MakeWindow();
  const auto before = testing::VisibleTexts(w.get());
  Find<QAction>(w.get(), "EN1")->trigger();
  EXPECT_EQ(IniFile(dir.file("config.ini")).ReadString("SYSTEM", "LANGUAGE", ""), "EN");
  EXPECT_EQ(IniFile(dir.file("config.ini")).ReadString("SYSTEM", "USB_VID", ""), "c0de");
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].kind, kMsgInfo);
  EXPECT_EQ(presenter.shown[0].text,
            IniFile(dir.file("language_msg.ini")).ReadString("CHS", "MSG031", "?"));
  EXPECT_EQ(w->Language(), "CHS");
  EXPECT_EQ(testing::VisibleTexts(w.get()), before);

  Find<QAction>(w.get(), "CHS1")->trigger();
  EXPECT_EQ(IniFile(dir.file("config.ini")).ReadString("SYSTEM", "LANGUAGE", ""), "CHS");
  // The next start reads the chosen language.
  WriteConfig("c0de", "7001", "EN");
  EXPECT_EQ(Find<QPushButton>(MakeWindow().get(), "btn3")->text(), "Restore factory settings");

  // A settings file that cannot be written is a warning, not the confirmation.
  std::filesystem::remove(dir.file("config.ini"));
  std::filesystem::create_directory(dir.file("config.ini"));
  presenter.shown.clear();
  Find<QAction>(w.get(), "EN1")->trigger();
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].kind, kMsgWarning);
  EXPECT_NE(presenter.shown[0].text.find("could not be saved"), std::string::npos);
}

// A stand-in for a dialog of another subsystem: one label, one combo.
std::unique_ptr<QDialog> ProbeDialog(QWidget* parent, int* created) {
  auto d = std::make_unique<QDialog>(parent);
  auto* l = new QLabel("路由器名称:", d.get());
  l->setObjectName("lbl1");
  d->setWindowTitle("WIFI参数配置");
  ++*created;
  return d;
}

TEST_F(ShellTest, CreateLanguageWritesChsSectionEvenInEnglishAndAsksFirst) {
  InstallShippedFiles();
  WriteConfig("c0de", "7001", "EN");
  int created = 0;
  auto w = MakeWindow([&](GuiRegistry& r) {
    r.RegisterDialog("wifi", [&](QWidget* p, AppContext&) { return ProbeDialog(p, &created); });
  });
  const std::string original = dir.Read("language_main.ini");
  presenter.answers = {kMsgResultCancel};
  Find<QAction>(w.get(), "CreateLanguage1")->trigger();
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].kind, kMsgQuestion);
  EXPECT_EQ(presenter.shown[0].text, "Do you want to create the language file?");
  EXPECT_EQ(dir.Read("language_main.ini"), original);
  EXPECT_EQ(created, 0);

  Find<QAction>(w.get(), "CreateLanguage1")->trigger();  // answered OK
  IniFile main_file(dir.file("language_main.ini"));
  EXPECT_EQ(main_file.ReadString("CHS", "btn3", ""), "Restore factory settings");
  EXPECT_EQ(main_file.ReadString("CHS", "cbb_language", ""), "0:Chinese (default)#1:English");
  EXPECT_EQ(main_file.ReadString("EN", "btn3", ""), "Restore factory settings");
  EXPECT_EQ(created, 1);  // the registered localised dialog, created without being shown
  IniFile wifi_file(dir.file("language_wifi.ini"));
  EXPECT_EQ(wifi_file.ReadString("CHS", "TITLE", ""), "WIFI参数配置");
  EXPECT_EQ(wifi_file.ReadString("CHS", "lbl1", ""), "路由器名称:");
}

TEST_F(ShellTest, DialogOpenersShowRegisteredDialogsLocalisedOrSayTheyAreMissing) {
  dir.Write("language_wifi.ini", "[CHS]\nTITLE=Wi-Fi here\nlbl1=localised\n");
  int created = 0;
  auto w = MakeWindow([&](GuiRegistry& r) {
    r.RegisterDialog("wifi", [&](QWidget* p, AppContext&) { return ProbeDialog(p, &created); });
    r.RegisterDialog("rfid_test",
                     [&](QWidget* p, AppContext&) { return ProbeDialog(p, &created); });
  });
  Find<QAction>(w.get(), "Comm1")->trigger();
  EXPECT_TRUE(w->statusBar()->currentMessage().contains("not available in this build"));

  std::vector<std::string> seen;
  auto answer = [&] {
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      seen.push_back(d->objectName().toStdString() + "|" + d->windowTitle().toStdString() + "|" +
                     d->findChild<QLabel*>("lbl1")->text().toStdString());
      d->reject();
    });
  };
  answer();
  Find<QPushButton>(w.get(), "btn_wifi")->click();
  answer();
  Find<QAction>(w.get(), "ESTT1")->trigger();
  // wifi has a language file; the RFID dialog keeps its built-in texts.
  EXPECT_EQ(seen, (std::vector<std::string>{"wifi|Wi-Fi here|localised",
                                            "rfid_test|WIFI参数配置|路由器名称:"}));
  EXPECT_EQ(created, 2);
}

TEST_F(ShellTest, PageControllersGetTheirPageAndContextAndLiveWithTheWindow) {
  std::vector<std::string> pages;
  int alive = 0;
  std::vector<AppContext*> contexts;
  auto factory = [&](QWidget* page, AppContext& ctx) {
    contexts.push_back(&ctx);
    pages.push_back(page->objectName().toStdString());
    auto controller = std::make_unique<QObject>();
    ++alive;
    QObject::connect(controller.get(), &QObject::destroyed, [&] { --alive; });
    return controller;
  };
  auto w = MakeWindow([&](GuiRegistry& r) {
    r.RegisterPageController("TabSheet3", factory);
    r.RegisterPageController("ts2", factory);
    r.RegisterPageController("main", factory);
    r.RegisterPageController("no_such_page", factory);
  });
  EXPECT_EQ(pages, (std::vector<std::string>{"TabSheet3", "ts2", "main"}));
  EXPECT_EQ(alive, 3);
  for (AppContext* c : contexts) EXPECT_EQ(c, &w->context());
  w.reset();
  EXPECT_EQ(alive, 0);
}

// Closes every modal window that comes up while run() runs; returns their object names.
std::vector<std::string> CloseModals(const std::function<void()>& run) {
  std::vector<std::string> windows;
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    windows.push_back(modal->objectName().toStdString());
    if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
  });
  answer.start();
  run();
  return windows;
}

TEST_F(ShellTest, ShellWiringGivesTheSerialPortAndOpensTheSubsystemWindows) {
  auto w = MakeWindow(InstallShellWiring);
  ASSERT_NE(w->link().cm_spcomm(), nullptr);  // cm_spcomm is the link's serial port
  EXPECT_FALSE(w->link().UseCommPort());

  auto editor = CloseModals([&] { Find<QPushButton>(w.get(), "btn51")->click(); });
  ASSERT_FALSE(editor.empty());
  EXPECT_EQ(editor.back(), "Font_ADJ_8M_KX");  // after the editor's own "open a file" box
  auto serial = CloseModals([&] { Find<QAction>(w.get(), "Comm1")->trigger(); });
  EXPECT_EQ(serial, std::vector<std::string>{"CommPort"});
  EXPECT_FALSE(w->statusBar()->currentMessage().contains("not available"));

  w.reset();  // the port leaves the link with the window
}

}  // namespace
}  // namespace quillon
