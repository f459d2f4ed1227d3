// The firmware and font pages on offscreen Qt controls: file choice, the buttons running
// the flows, and the memo and progress bar receiving their reports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

#include "flash/flash_pages.h"
#include "flash_rig.h"

namespace quillon::testing {
namespace {

using Bytes = std::vector<uint8_t>;

template <typename T>
T* Add(QWidget& page, const char* name) {
  auto* w = new T(&page);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

struct FirmwarePageRig {
  FirmwarePageRig() {
    for (const char* b : {"btn21", "btn22", "btn44", "btn52"}) Add<QPushButton>(page, b);
    label = Add<QLabel>(page, "lbl_hardware_path");
    label->setText(QString::fromUtf8("未加载文件"));
    progress = Add<QProgressBar>(page, "pb_update");
    memo = Add<QPlainTextEdit>(page, "mmo_update_info");
    old = Add<QCheckBox>(page, "chk_old");
    controller = InstallFirmwarePage(&page, rig.ctx, {});
  }
  void Click(const char* name) { page.findChild<QPushButton*>(name)->click(); }

  FlashRig rig;
  QWidget page;
  QLabel* label;
  QProgressBar* progress;
  QPlainTextEdit* memo;
  QCheckBox* old;
  FirmwarePage* controller;
};

TEST(FirmwarePageTest, CancelledChoiceResetsLabelAndUpdateSaysNoFile) {
  FirmwarePageRig p;
  TempFile file(Pattern(10));
  p.controller->SetFileChooser([&](QWidget*) { return QString::fromStdString(file.path()); });
  p.Click("btn21");
  EXPECT_EQ(p.label->text().toStdString(), file.path());

  p.controller->SetFileChooser([](QWidget*) { return QString(); });
  p.Click("btn21");
  EXPECT_EQ(p.label->text(), "MSG030");
  p.Click("btn22");
  ASSERT_EQ(p.rig.messages.boxes.size(), 1u);
  EXPECT_EQ(p.rig.messages.boxes[0].text, "MSG004");
  EXPECT_TRUE(p.rig.usb.writes.empty());
}

TEST(FirmwarePageTest, UpdateFillsMemoAndProgressAndHonoursOldModelBox) {
  FirmwarePageRig p;
  TempFile file(Pattern(2500));
  p.controller->SetFileChooser([&](QWidget*) { return QString::fromStdString(file.path()); });
  p.Click("btn21");
  p.Click("btn22");
  EXPECT_EQ(p.controller->last_outcome().result, FlashResult::kOk);
  const QStringList lines = p.memo->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0], "MSG0062500");
  EXPECT_EQ(lines[3], "MSG016");
  EXPECT_EQ(p.progress->maximum(), 2500);
  EXPECT_EQ(p.progress->value(), 2500);

  p.old->setChecked(true);
  p.rig.printer.old_status = 0xAA;
  p.rig.usb.writes.clear();
  p.Click("btn22");
  ASSERT_EQ(p.rig.usb.writes.size(), 2u);
  EXPECT_EQ(p.rig.usb.writes[0][0], 0x1B);
  EXPECT_EQ(p.rig.messages.boxes.back().text, "MSG009");
}

TEST(FirmwarePageTest, MaintenanceButtons) {
  FirmwarePageRig p;
  p.Click("btn44");
  EXPECT_EQ(p.rig.usb.writes.back()[1], 0xFF);
  p.Click("btn52");
  EXPECT_EQ(p.rig.usb.writes.back()[1], 0xF3);
  ASSERT_EQ(p.rig.messages.boxes.size(), 2u);
  EXPECT_EQ(p.rig.messages.boxes[1].text, "MSG028");
}

struct FontPageRig {
  FontPageRig() {
    Add<QPushButton>(page, "btn23");
    Add<QPushButton>(page, "btn24");
    label = Add<QLabel>(page, "lbl_hzk_path");
    progress = Add<QProgressBar>(page, "pb_flash");
    memo = Add<QTextEdit>(page, "mmo_flash");
    erase_all = Add<QCheckBox>(page, "chk_erase_all");
    packsize = Add<QComboBox>(page, "ccb_packsize");
    packsize->setEditable(true);
    packsize->addItems({"1024", "4096", "8192"});
    controller = InstallFontPage(&page, rig.ctx);
  }
  void Click(const char* name) { page.findChild<QPushButton*>(name)->click(); }

  FlashRig rig;
  QWidget page;
  QLabel* label;
  QProgressBar* progress;
  QTextEdit* memo;
  QCheckBox* erase_all;
  QComboBox* packsize;
  FontPage* controller;
};

TEST(FontPageTest, DownloadUsesPacketSizeTextAndEraseAllBox) {
  FontPageRig p;
  TempFile file(Pattern(10000));
  p.controller->SetFileChooser([&](QWidget*) { return QString::fromStdString(file.path()); });
  p.Click("btn23");
  p.packsize->setCurrentText("4096");
  p.erase_all->setChecked(true);
  p.Click("btn24");
  EXPECT_EQ(p.controller->last_outcome().result, FlashResult::kOk);
  EXPECT_EQ(p.rig.printer.WithCode(0xE0).size(), 1u);
  EXPECT_EQ(p.rig.printer.WithCode(0xE1).size(), 3u);
  EXPECT_TRUE(p.memo->toPlainText().contains("MSG024"));
  EXPECT_EQ(p.progress->value(), 10000);

  p.packsize->setCurrentText("big");
  p.Click("btn24");
  EXPECT_EQ(p.controller->last_outcome().result, FlashResult::kBadPackSize);
}

TEST(FontPageTest, CancelledChoiceResetsLabelAndDownloadSaysNoFile) {
  FontPageRig p;
  p.label->setText("/some/font.bin");
  p.controller->SetFileChooser([](QWidget*) { return QString(); });
  p.Click("btn23");
  EXPECT_EQ(p.label->text(), "MSG030");
  p.Click("btn24");
  ASSERT_EQ(p.rig.messages.boxes.size(), 1u);
  EXPECT_EQ(p.rig.messages.boxes[0].text, "MSG019");
  EXPECT_TRUE(p.rig.usb.writes.empty());
}

}  // namespace
}  // namespace quillon::testing

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
