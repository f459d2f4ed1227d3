// The paper roll and RFID test dialogs against the card in the virtual printer's reader.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <cstring>

#include "settings/paper_roll.h"
#include "settings/paper_roll_dialog.h"
#include "settings/rfid_test_dialog.h"
#include "settings_gui_fixture.h"

namespace quillon {
namespace {

using testing::Click;
using testing::Find;

struct RfidTest : ::testing::Test {
  testing::SettingsRig rig;
  vp::RfidCard& card() { return rig.printer.state().card; }
  QLineEdit* Edit(QWidget* d, const char* name) { return Find<QLineEdit>(d, name); }
  std::vector<uint8_t> Block(int n) {
    return std::vector<uint8_t>(card().blocks()[n].begin(), card().blocks()[n].end());
  }
};

TEST_F(RfidTest, RollTagCreatedTwiceThenReadBack) {
  TPaper_roll dialog(rig.ctx);
  Click(&dialog, "btn2");
  EXPECT_EQ(rig.LastText(), "Create new card complete");
  EXPECT_EQ(rig.LastKind(), kMsgInfo);
  // Blank card: the transport key opens it at the first try.
  EXPECT_EQ(rig.Codes(), (std::vector<uint8_t>{0x86, 0x83, 0x84, 0x85, 0x85}));
  const TPaper expected = MakePaper(1, 200, 50, 30, 2);
  EXPECT_EQ(std::memcmp(card().blocks()[1].data(), &expected, 16), 0);
  uint8_t roll[6];
  RollKey(roll);
  EXPECT_EQ(std::memcmp(card().blocks()[3].data(), roll, 6), 0);
  EXPECT_EQ(std::memcmp(card().blocks()[3].data() + 10, roll, 6), 0);
  EXPECT_FALSE(rig.link.USB().hDevHandle);

  // The tag is now locked with the roll key: the second attempt opens it.
  rig.Clear();
  Find<QComboBox>(&dialog, "cbb_PaperType")->setCurrentIndex(0);
  Edit(&dialog, "edt_count")->setText("70000");
  Click(&dialog, "btn2");
  EXPECT_EQ(rig.LastText(), "Create new card complete");
  EXPECT_EQ(rig.Codes(), (std::vector<uint8_t>{0x86, 0x83, 0x83, 0x84, 0x85, 0x85}));
  const std::vector<uint8_t> second_auth = rig.Data(2);
  EXPECT_EQ(std::vector<uint8_t>(second_auth.begin() + 2, second_auth.begin() + 8),
            std::vector<uint8_t>(roll, roll + 6));

  TPaper_roll reader(rig.ctx);
  Click(&reader, "btn3");
  EXPECT_EQ(rig.LastText(), "Read OK");
  EXPECT_EQ(Find<QComboBox>(&reader, "cbb_PaperType")->currentIndex(), 0);
  EXPECT_EQ(Edit(&reader, "edt_count")->text(), "4464");  // low 16 bits of 70000
  EXPECT_EQ(Edit(&reader, "edt_width")->text(), "50");
  EXPECT_EQ(Edit(&reader, "edt_gap")->text(), "2");
}

TEST_F(RfidTest, RollTagFailuresAreInformation) {
  TPaper_roll dialog(rig.ctx);
  // A blank card is not locked with the roll key.
  Click(&dialog, "btn3");
  EXPECT_EQ(rig.LastText(), "Auth Card fault");
  EXPECT_EQ(rig.LastKind(), kMsgInfo);
  EXPECT_EQ(Edit(&dialog, "edt_count")->text(), "200");

  rig.Clear();
  Edit(&dialog, "edt_height")->setText("thirty");
  Click(&dialog, "btn2");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_NE(rig.LastText().find("thirty"), std::string::npos);

  rig.link.SetUsbIds("0000", "0000");  // the printer is no longer found
  rig.link.FindPrinter();
  Edit(&dialog, "edt_height")->setText("30");
  Click(&dialog, "btn2");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.LastText(), "no printer");
}

TEST_F(RfidTest, RequestCardResetsHaltsAndCarriesTheSerial) {
  Trfid_test dialog(rig.ctx);
  EXPECT_EQ(Edit(&dialog, "edt_key")->text(), "FF FF FF FF FF FF");
  Click(&dialog, "btn1");
  EXPECT_EQ(rig.Codes(), (std::vector<uint8_t>{0x86, 0x87, 0x83}));
  EXPECT_EQ(rig.usb.writes[0], (std::vector<uint8_t>{0x10, 0x86, 0x01, 0x00, 0x00, 0x00, 0x97}));
  EXPECT_EQ(rig.usb.writes[1], (std::vector<uint8_t>{0x10, 0x87, 0x01, 0x00, 0x00, 0x00, 0x98}));
  std::vector<uint8_t> auth = rig.Data(2);
  EXPECT_EQ(auth[0], 0x60);  // key A
  EXPECT_EQ(auth[1], 0);
  EXPECT_EQ(std::vector<uint8_t>(auth.begin() + 8, auth.end()), std::vector<uint8_t>(4, 0));
  EXPECT_EQ(rig.LastText(), "Auth OK,CardSnr:8A3F215C");

  rig.Clear();
  Find<QRadioButton>(&dialog, "rb_keyB")->setChecked(true);
  Find<QComboBox>(&dialog, "cbb_sector")->setCurrentIndex(15);
  Click(&dialog, "btn1");
  auth = rig.Data(2);
  EXPECT_EQ(auth[0], 0x61);
  EXPECT_EQ(auth[1], 60);
  EXPECT_EQ(std::vector<uint8_t>(auth.begin() + 8, auth.end()),
            (std::vector<uint8_t>{0x8A, 0x3F, 0x21, 0x5C}));

  // Reset and halt are sent blind: a reader that ignores them does not stop the request.
  rig.Clear();
  rig.printer.SetFaults(vp::Faults{.drop_replies_to_code = 0x86});
  Click(&dialog, "btn1");
  EXPECT_EQ(rig.Codes(), (std::vector<uint8_t>{0x86, 0x87, 0x83}));
  EXPECT_EQ(rig.LastText(), "Auth OK,CardSnr:8A3F215C");

  rig.Clear();
  rig.printer.SetFaults({});
  Edit(&dialog, "edt_key")->setText("00 00 00 00 00 00");
  Click(&dialog, "btn1");
  EXPECT_EQ(rig.LastText(), "Auth card fault");
}

TEST_F(RfidTest, SectorReadAndTrailerWrite) {
  Trfid_test dialog(rig.ctx);
  Find<QComboBox>(&dialog, "cbb_sector")->setCurrentIndex(15);
  card().blocks()[61].fill(0xA5);
  Click(&dialog, "btn1");
  rig.Clear();
  Click(&dialog, "btn_read");
  EXPECT_EQ(rig.Codes(), (std::vector<uint8_t>(4, 0x84)));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(rig.Data(i), std::vector<uint8_t>{uint8_t(60 + i)});
  EXPECT_EQ(rig.LastText(), "OK");
  EXPECT_EQ(Edit(&dialog, "edt_block_01")->text(),
            "A5 A5 A5 A5 A5 A5 A5 A5 A5 A5 A5 A5 A5 A5 A5 A5 ");
  EXPECT_EQ(Edit(&dialog, "edt_block_03")->text(),
            "FF FF FF FF FF FF FF 07 80 69 FF FF FF FF FF FF ");

  // Only WRITE of block 04 ticked: the sector's key block alone is written.
  rig.Clear();
  Edit(&dialog, "edt_block_03")->setText("112233445566FF078069665544332211");
  Find<QCheckBox>(&dialog, "chk_block_04_write")->setChecked(true);
  Click(&dialog, "btn2");
  ASSERT_EQ(rig.Codes(), std::vector<uint8_t>{0x85});
  EXPECT_EQ(rig.Data(0)[0], 63);
  EXPECT_EQ(Block(63), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xFF, 0x07, 0x80,
                                             0x69, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(rig.LastText(), "OK");

  // Without a fresh authentication (the reader reset drops it) the read stops at once.
  rig.Clear();
  rig.esc.cmd_rfid_reset(1);
  Click(&dialog, "btn_read");
  EXPECT_EQ(rig.LastText(), "Read BLOCK 60 fault");
  EXPECT_EQ(rig.Codes(), (std::vector<uint8_t>{0x86, 0x84}));
}

TEST_F(RfidTest, HexTextsOfTheWrongLengthAreRefusedUnsent) {
  Trfid_test dialog(rig.ctx);
  Edit(&dialog, "edt_key")->setText("FF FF FF FF FF");
  Click(&dialog, "btn1");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_NE(rig.LastText().find("KEY"), std::string::npos);

  // A 33rd digit is ignored; a 17th byte is refused before any block is written.
  Edit(&dialog, "edt_key")->setText("FF FF FF FF FF FF");
  Click(&dialog, "btn1");
  rig.Clear();
  Edit(&dialog, "edt_block_01")->setText("00112233445566778899AABBCCDDEEFF0");
  Edit(&dialog, "edt_block_02")->setText("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 01");
  Find<QCheckBox>(&dialog, "chk_block_02_write")->setChecked(true);
  Find<QCheckBox>(&dialog, "chk_block_03_write")->setChecked(true);
  Click(&dialog, "btn2");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_NE(rig.LastText().find("BLOCK 03"), std::string::npos);

  Find<QCheckBox>(&dialog, "chk_block_03_write")->setChecked(false);
  Click(&dialog, "btn2");
  EXPECT_EQ(rig.LastText(), "OK");
  EXPECT_EQ(Block(1), (std::vector<uint8_t>{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                            0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}));

  // Nothing ticked: nothing written, still "OK".
  rig.Clear();
  Find<QCheckBox>(&dialog, "chk_block_02_write")->setChecked(false);
  Click(&dialog, "btn2");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.LastText(), "OK");
}

TEST_F(RfidTest, PortButtonsFollowTheLink) {
  auto dialog = std::make_unique<Trfid_test>(rig.ctx);
  auto* open = Find<QPushButton>(dialog.get(), "btn_open");
  auto* close = Find<QPushButton>(dialog.get(), "btn_close");
  EXPECT_TRUE(open->isEnabled());
  EXPECT_FALSE(close->isEnabled());
  open->click();
  EXPECT_FALSE(open->isEnabled());
  EXPECT_TRUE(close->isEnabled());
  EXPECT_TRUE(rig.link.USB().hDevHandle);
  close->click();
  EXPECT_TRUE(open->isEnabled());
  EXPECT_FALSE(rig.link.USB().hDevHandle);

  rig.link.SetUsbIds("0000", "0000");  // the printer is no longer found
  rig.link.FindPrinter();
  open->click();
  EXPECT_TRUE(open->isEnabled());
  EXPECT_EQ(rig.LastText(), "no printer");

  // The builders leave the link open; the dialog closes it when it goes.
  rig.link.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);  // found again
  rig.link.FindPrinter();
  Click(dialog.get(), "btn1");
  EXPECT_TRUE(rig.link.USB().hDevHandle);
  dialog.reset();
  EXPECT_FALSE(rig.link.USB().hDevHandle);
}

}  // namespace
}  // namespace quillon
