// The settings page and the label control page against the virtual printer: every query
// and set, the byte and text encodings, the factory reset question and the Bluetooth name
// sequence.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "app/pages.h"

#include "core/ansi_codepage.h"
#include "protocol/frame.h"
#include "settings/label_page.h"
#include "settings/settings_page.h"
#include "settings_gui_fixture.h"
#include "support/scripted_usb.h"

namespace quillon {
namespace {

using testing::Click;
using testing::Find;

struct PageTest : ::testing::Test {
  testing::SettingsRig rig;
  std::unique_ptr<QWidget> page = testing::BuildSettingsTestPage();
  std::vector<std::string> sent_test_text;  // one entry per press of the send button
  std::unique_ptr<QObject> controller =
      InstallSettingsPage(page.get(), rig.ctx, [this] { sent_test_text.push_back("send"); });

  QComboBox* Combo(const char* name) { return Find<QComboBox>(page.get(), name); }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(page.get(), name); }
};

struct ByteCase {
  const char* combo;
  const char* query;
  const char* set;
  uint8_t code;
  uint8_t vp::PrinterSettings::*field;
};

const ByteCase kByteCases[] = {
    {"cbb_language", "btn1", "btn2", 0xA1, &vp::PrinterSettings::language},
    {"cbb_cmdmode", "btn4", "btn5", 0xA2, &vp::PrinterSettings::cmdmode},
    {"cbb_tagmode", "btn6", "btn7", 0xA3, &vp::PrinterSettings::tagmode},
    {"cbb_stepmode", "btn8", "btn9", 0xA4, &vp::PrinterSettings::stepmode},
    {"cbb_blackness", "btn10", "btn11", 0xA5, &vp::PrinterSettings::blackness},
    {"cbb_charset", "btn12", "btn13", 0xA6, &vp::PrinterSettings::charset},
    {"cbb_sleep", "btn41", "btn42", 0xAB, &vp::PrinterSettings::sleepmode},
};

TEST_F(PageTest, EveryByteSettingIsSetAndQueriedBack) {
  for (const ByteCase& c : kByteCases) {
    SCOPED_TRACE(c.combo);
    QComboBox* box = Combo(c.combo);
    const int last = box->count() - 1;
    box->setCurrentIndex(last);
    rig.Clear();
    Click(page.get(), c.set);
    ASSERT_EQ(rig.Codes(), std::vector<uint8_t>{c.code});
    EXPECT_EQ(rig.Data(0), std::vector<uint8_t>{static_cast<uint8_t>(last)});
    EXPECT_EQ(rig.settings().*c.field, last);
    EXPECT_EQ(rig.LastKind(), kMsgInfo);
    EXPECT_EQ(rig.LastText(), "accepted");

    rig.settings().*c.field = 1;
    box->setCurrentIndex(0);
    rig.Clear();
    Click(page.get(), c.query);
    EXPECT_EQ(rig.Codes(), std::vector<uint8_t>{c.code});
    EXPECT_TRUE(rig.Data(0).empty());
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_TRUE(rig.messages.shown.empty());
  }
}

TEST_F(PageTest, NoItemChosenSendsFF) {
  // Straight after start-up the sleep box shows its first text but has no item chosen.
  Click(page.get(), "btn42");
  EXPECT_EQ(rig.Data(0), std::vector<uint8_t>{0xFF});
  EXPECT_EQ(rig.settings().sleepmode, 0xFF);

  // Free text typed over a chosen item deselects it.
  QComboBox* box = Combo("cbb_stepmode");
  box->setCurrentIndex(2);
  box->setEditText("fast please");
  rig.Clear();
  Click(page.get(), "btn9");
  EXPECT_EQ(rig.Data(0), std::vector<uint8_t>{0xFF});
}

// The page as the window builds it, typed into with keys as a user does.
TEST(RealSettingsPage, EditableBoxSendsTheIndexOfTheItemItShowsOrFF) {
  testing::SettingsRig rig;
  std::unique_ptr<QWidget> page(BuildSettingsPage(nullptr));
  auto controller = InstallSettingsPage(page.get(), rig.ctx, [] {});
  page->show();
  QApplication::setActiveWindow(page.get());  // completion works in the focused box only
  ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
  QComboBox* box = Find<QComboBox>(page.get(), "cbb_sleep");
  const int items = box->count();
  struct Case {
    const char* typed;  // replaces the box's text; empty: the Down key instead
    bool enter;
    uint8_t sent;
  };
  const Case cases[] = {
      {"9", true, 0xFF},      // no item "9": Enter must not make one
      {"abc", true, 0xFF},    //
      {"120", true, 0xFF},    // part of "3:120s" is not the item
      {"3", false, 0x03},     // completed to "3:120s" as typed
      {"5", true, 0x05},      // completed, then Enter
      {"", false, 0x06},      // Down picks the next item from the list
      {"2:60s", true, 0x02},  // the whole text of an item
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    box->setFocus();
    if (*c.typed) {
      QTest::keyClick(box->lineEdit(), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(box->lineEdit(), QString::fromUtf8(c.typed));
    } else {
      QTest::keyClick(box, Qt::Key_Down);
    }
    if (c.enter) QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    rig.Clear();
    Click(page.get(), "btn42");
    EXPECT_EQ(rig.Data(0), std::vector<uint8_t>{c.sent}) << box->currentText().toStdString();
    EXPECT_EQ(box->count(), items);  // typed text never becomes an item
  }
}

TEST_F(PageTest, ReplyBeyondTheItemsLeavesNoItemChosen) {
  rig.settings().charset = 3;  // the box has three items
  Click(page.get(), "btn12");
  EXPECT_EQ(Combo("cbb_charset")->currentIndex(), -1);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(PageTest, FailuresAndAbsentPrinter) {
  // No reply: MSG017 as a warning, the box keeps its item.
  Combo("cbb_language")->setCurrentIndex(1);
  rig.printer.SetFaults(vp::Faults{.drop_replies_to_code = 0xA1});
  Click(page.get(), "btn1");
  EXPECT_EQ(rig.LastKind(), kMsgWarning);
  EXPECT_EQ(rig.LastText(), "command failed");
  EXPECT_EQ(Combo("cbb_language")->currentIndex(), 1);

  // No printer found: the presence check tells the user and nothing is sent.
  rig.Clear();
  rig.link.SetUsbIds("0000", "0000");  // the printer is no longer found
  rig.link.FindPrinter();
  for (const char* b : {"btn1", "btn2", "btn3", "btn14", "btn16", "btn18", "btn42"})
    Click(page.get(), b);
  EXPECT_TRUE(rig.usb.writes.empty());
  ASSERT_EQ(rig.messages.shown.size(), 7u);
  EXPECT_EQ(rig.messages.shown[0].text, "no printer");
  EXPECT_EQ(rig.messages.shown[0].kind, kMsgPlain);
}

TEST_F(PageTest, QueryAcknowledgedWithoutValueLeavesTheBoxAlone) {
  // A reply of eight bytes whose frame carries no data byte.
  testing::FakeClock clock;
  testing::FakeClockPump pump(clock);
  testing::ScriptedUsb usb(&clock);
  PrinterLink link(usb, clock, pump);
  link.SetUsbIds("1fc9", "2016");
  link.FindPrinter();
  EscCmd esc(link);
  AppContext ctx{link, esc, rig.messages, [] { return true; }};
  auto other = testing::BuildSettingsTestPage();
  auto c = InstallSettingsPage(other.get(), ctx);
  std::vector<uint8_t> reply = MakeFrame(0x10, 0xA1, 0, {});
  reply.push_back(0);
  usb.QueueReply(reply);
  Find<QComboBox>(other.get(), "cbb_language")->setCurrentIndex(1);
  Click(other.get(), "btn1");
  EXPECT_EQ(usb.writes.size(), 1u);
  EXPECT_EQ(Find<QComboBox>(other.get(), "cbb_language")->currentIndex(), 1);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(PageTest, TextSettingsRoundTrip) {
  Edit("edt_blue_pin")->setText("8642");
  Click(page.get(), "btn18");
  EXPECT_EQ(rig.settings().blue_pin, "8642");
  EXPECT_EQ(rig.LastText(), "accepted");
  Edit("edt_blue_pin")->clear();
  Click(page.get(), "btn17");
  EXPECT_EQ(Edit("edt_blue_pin")->text(), "8642");

  Click(page.get(), "btn19");
  EXPECT_EQ(Edit("edt_blue_mac")->text().toStdString(), rig.printer.state().blue_mac);
  Find<QPlainTextEdit>(page.get(), "mmo_info")->setPlainText("old\nlines");
  Click(page.get(), "btn14");
  EXPECT_EQ(Find<QPlainTextEdit>(page.get(), "mmo_info")->toPlainText().toStdString(),
            rig.printer.state().sys_info);
}

TEST_F(PageTest, EmptyNameIsSentAsASetWithoutData) {
  Click(page.get(), "btn16");
  ASSERT_EQ(rig.usb.writes.size(), 1u);
  EXPECT_EQ(rig.usb.writes[0], MakeFrame(0x10, 0xA7, 1, {}));
  // The virtual printer refuses an empty name.
  EXPECT_EQ(rig.LastText(), "command failed");
}

TEST_F(PageTest, ChineseNameTravelsInTheAnsiCodePage) {
  Edit("edt_blue_name")->setText(QStringLiteral("打印机"));
  Click(page.get(), "btn16");
  EXPECT_EQ(rig.Data(0), (std::vector<uint8_t>{0xB4, 0xF2, 0xD3, 0xA1, 0xBB, 0xFA}));
  EXPECT_EQ(rig.LastText(), "accepted");
  Edit("edt_blue_name")->clear();
  Click(page.get(), "btn15");
  EXPECT_EQ(Edit("edt_blue_name")->text(), QStringLiteral("打印机"));
}

TEST_F(PageTest, CharactersTheCodePageLacksAreToldOnce) {
  const int before = AnsiCodePage();
  SetAnsiCodePage(1252);
  Edit("edt_blue_name")->setText(QStringLiteral("打印机"));
  Click(page.get(), "btn16");
  EXPECT_EQ(rig.Data(0), (std::vector<uint8_t>{0x3F, 0x3F, 0x3F}));
  Click(page.get(), "btn16");
  SetAnsiCodePage(before);
  std::vector<std::string> texts;
  for (const auto& box : rig.messages.shown) texts.push_back(box.text);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "3 characters cannot be written in code page 1252 and were sent as '?': "
                       "set ANSI_CODEPAGE=936 in config.ini for Chinese printers",
                       "accepted", "accepted"}));
}

TEST_F(PageTest, TextLongerThanAPacketIsRefusedUnsent) {
  Edit("edt_blue_name")->setText(QString(int(kMaxPacketData) + 1, 'n'));
  Click(page.get(), "btn16");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.LastKind(), kMsgWarning);
  EXPECT_NE(rig.LastText().find("20474"), std::string::npos);
}

TEST_F(PageTest, NameSequenceRunsInOrderWithBothBoxesTicked) {
  std::vector<std::string> events;
  rig.usb.on_write = [&](const std::vector<uint8_t>& w) {
    events.push_back("cmd " + std::to_string(w[1]));
  };
  rig.messages.on_show = [&](const auto& m) { events.push_back("box " + m.text); };
  Find<QCheckBox>(page.get(), "chk_init_printer")->setChecked(true);
  Find<QCheckBox>(page.get(), "chk_print_test")->setChecked(true);
  Edit("edt_blue_name")->setText("Shop-7");
  rig.settings().blackness = 0;
  controller.reset();  // the send button records into events this time
  controller = InstallSettingsPage(page.get(), rig.ctx, [&] { events.push_back("send"); });
  Click(page.get(), "btn16");
  const std::vector<std::string> expected = {"cmd 167", "cmd 160", "cmd 170", "send",
                                             "box accepted"};
  EXPECT_EQ(events, expected);
  EXPECT_EQ(rig.settings().blue_name, "Quillon-VP");  // the initialisation reset it
  EXPECT_EQ(rig.settings().blackness, 2);
  EXPECT_EQ(Find<QPlainTextEdit>(page.get(), "mmo_info")->toPlainText().toStdString(),
            rig.printer.state().sys_info);
}

TEST_F(PageTest, NameSequencePressesTheWindowSendButtonWhenGivenNone) {
  QWidget window;
  page->setParent(&window);
  auto* btn_send = new QPushButton(&window);
  btn_send->setObjectName("btn_send");
  int pressed = 0;
  QObject::connect(btn_send, &QPushButton::clicked, [&] { ++pressed; });
  auto c = InstallSettingsPage(page.get(), rig.ctx);
  controller.reset();
  Find<QCheckBox>(page.get(), "chk_print_test")->setChecked(true);
  Edit("edt_blue_name")->setText("Shop-8");
  Click(page.get(), "btn16");
  EXPECT_EQ(pressed, 1);
  EXPECT_EQ(rig.Codes(), std::vector<uint8_t>{0xA7});  // not ticked: no initialisation
  page->setParent(nullptr);
}

TEST_F(PageTest, FactoryResetAsksFirst) {
  rig.settings().language = 1;
  rig.messages.question_answer = kMsgResultCancel;
  Click(page.get(), "btn3");
  EXPECT_TRUE(rig.usb.writes.empty());
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(rig.messages.shown[0].kind, kMsgQuestion);
  EXPECT_EQ(rig.messages.shown[0].text, "restore?");

  rig.Clear();
  rig.messages.question_answer = kMsgResultOk;
  Click(page.get(), "btn3");
  EXPECT_EQ(rig.Codes(), std::vector<uint8_t>{0xA0});
  EXPECT_EQ(rig.settings().language, 0);
  EXPECT_EQ(rig.LastText(), "restored");

  rig.Clear();
  rig.printer.SetFaults(vp::Faults{.drop_replies_to_code = 0xA0});
  Click(page.get(), "btn3");
  EXPECT_EQ(rig.LastText(), "restore failed");
  EXPECT_EQ(rig.LastKind(), kMsgWarning);
}

TEST_F(PageTest, ACommandInProgressRefusesASecond) {
  PrinterLink::BusyScope busy(rig.link);
  for (const char* b : {"btn1", "btn2", "btn3", "btn14", "btn16"}) Click(page.get(), b);
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_TRUE(rig.messages.shown.empty());
}

struct LabelTest : ::testing::Test {
  testing::SettingsRig rig;
  std::unique_ptr<QWidget> page = testing::BuildLabelTestPage();
  std::unique_ptr<QObject> controller = InstallLabelPage(page.get(), rig.ctx);
};

TEST_F(LabelTest, ThresholdsAndSelfTestShowHundredths) {
  rig.printer.state().label_low = 1234;
  rig.printer.state().label_high = 567;
  Click(page.get(), "btn45");
  EXPECT_EQ(rig.LastText(), "L:12.34 H:5.67");
  EXPECT_EQ(rig.LastKind(), kMsgInfo);
  EXPECT_TRUE(rig.Data(0).empty());  // the test length goes only with the self-test

  rig.Clear();
  rig.printer.state().label_low = -250;
  Click(page.get(), "btn46");
  EXPECT_EQ(rig.Data(0), (std::vector<uint8_t>{0xF4, 0x01, 0x00, 0x00}));
  EXPECT_EQ(rig.LastText(), "L:-2.50 H:5.67");
}

TEST_F(LabelTest, DistancesRoundTripAndBadNumbersSendNothing) {
  Find<QLineEdit>(page.get(), "edt_TagSensor")->setText("120");
  Find<QLineEdit>(page.get(), "edt_TagOut")->setText("-35");
  Click(page.get(), "btn48");
  EXPECT_EQ(rig.settings().tag_sensor, 120);
  EXPECT_EQ(rig.settings().tag_out, -35);
  EXPECT_EQ(rig.LastText(), "accepted");

  Find<QLineEdit>(page.get(), "edt_TagSensor")->setText("0");
  Find<QLineEdit>(page.get(), "edt_TagOut")->setText("0");
  Click(page.get(), "btn47");
  EXPECT_EQ(Find<QLineEdit>(page.get(), "edt_TagSensor")->text(), "120");
  EXPECT_EQ(Find<QLineEdit>(page.get(), "edt_TagOut")->text(), "-35");

  rig.Clear();
  Find<QLineEdit>(page.get(), "edt_TagOut")->setText("12mm");
  Click(page.get(), "btn48");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.LastKind(), kMsgError);
  EXPECT_NE(rig.LastText().find("12mm"), std::string::npos);
  Find<QLineEdit>(page.get(), "edt_TagOut")->setText("4294967296");  // beyond 32 bits
  Click(page.get(), "btn48");
  EXPECT_TRUE(rig.usb.writes.empty());
}

}  // namespace
}  // namespace quillon
