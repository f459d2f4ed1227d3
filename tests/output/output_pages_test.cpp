// The print test and OEM pages driven through their controls, offscreen, against a
// scripted printer: text sending, the character table, ESC/POS buttons, picture files of
// several formats, and the boot logo.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "core/ansi_codepage.h"
#include "output/escpos_tests.h"
#include "output/oem_logo_controller.h"
#include "output/print_test_controller.h"
#include "output_fixture.h"
#include "protocol/frame.h"

namespace quillon {
namespace {

using Bytes = std::vector<uint8_t>;

// The controls of the two pages, named as the main window names them.
struct Pages {
  testing::LinkFixture f;
  testing::RecordingMessages msgs;
  bool printer_present = true;
  int presence_checks = 0;
  AppContext ctx{f.link, f.esc, msgs, [this] {
                   ++presence_checks;
                   return printer_present;
                 }};
  QWidget page;
  QWidget oem;
  QPlainTextEdit* text = new QPlainTextEdit(&page);
  QComboBox* charset = new QComboBox(&page);
  QCheckBox* esc = new QCheckBox(&page);
  QString picture;  // what the picture dialog answers
  std::unique_ptr<PrintTestController> controller;
  std::unique_ptr<OemLogoController> logo;

  Pages() {
    text->setObjectName("redt_text");
    charset->setObjectName("cbb_send_charset");
    charset->setEditable(true);
    charset->addItems({"ANSI", "UTF-8", "UNICODE", "HEX"});
    esc->setObjectName("chk_esc");
    for (const char* name : {"btn_send", "btn53", "btn20", "btn43", "btn25", "btn26", "btn27",
                             "btn28",    "btn29", "btn30", "btn31", "btn32", "btn33", "btn34",
                             "btn35",    "btn36", "btn37", "btn38", "btn39", "btn40"}) {
      (new QPushButton(&page))->setObjectName(name);
    }
    (new QPushButton(&oem))->setObjectName("btn_logo");
    controller = std::make_unique<PrintTestController>(&page, ctx, [this] { return picture; });
    logo = std::make_unique<OemLogoController>(&oem, ctx, [this] { return picture; });
  }
  void Click(const char* name, QWidget* on = nullptr) {
    (on ? on : &page)->findChild<QPushButton*>(name)->click();
  }
  Bytes SendText(const QString& t, int encoding) {
    f.usb.writes.clear();
    text->setPlainText(t);
    charset->setCurrentIndex(encoding);
    Click("btn_send");
    return f.usb.writes.size() == 1 ? f.usb.writes[0] : Bytes{0xEE, 0xEE};
  }
  Bytes AllBandData() {
    Bytes out;
    for (const Bytes& w : f.usb.writes) out.insert(out.end(), w.begin() + 8, w.end());
    return out;
  }
};

TEST(OutputPages, TextPanelSendsInEveryEncoding) {
  Pages p;
  EXPECT_EQ(p.SendText("A\\x1B!\\u4E2D", 0), (Bytes{0x41, 0x1B, 0x21, 0x2D, 0x4E}));
  p.esc->setChecked(true);
  EXPECT_EQ(p.SendText("a\\nb", 0), (Bytes{0x61, 0x5C, 0x6E, 0x62}));
  EXPECT_EQ(p.SendText("a\\nb", 1), (Bytes{0x61, 0x6E, 0x62}));  // chk_esc is ANSI only
  EXPECT_EQ(p.SendText("A中\nB", 2), (Bytes{0x41, 0, 0x2D, 0x4E, 0x0D, 0, 0x0A, 0, 0x42, 0}));
  EXPECT_EQ(p.SendText("1B 40\n0A", 3), (Bytes{0x1B, 0x40, 0x0A}));
  EXPECT_EQ(p.SendText("", 3), Bytes{});  // a zero-byte write still goes out
  EXPECT_TRUE(p.msgs.boxes.empty());
}

TEST(OutputPages, TextPanelRefusals) {
  Pages p;
  p.charset->setEditText("Latin-1");  // names no item: nothing sent, nothing shown
  p.text->setPlainText("abc");
  p.Click("btn_send");
  EXPECT_TRUE(p.f.usb.writes.empty());
  EXPECT_TRUE(p.msgs.boxes.empty());

  p.SendText(QString(50000, 'x'), 0);
  EXPECT_TRUE(p.f.usb.writes.empty());
  ASSERT_EQ(p.msgs.boxes.size(), 1u);
  EXPECT_EQ(p.msgs.boxes[0].first, kMsgWarning);

  p.printer_present = false;  // the presence check tells the user itself
  p.SendText("abc", 0);
  EXPECT_TRUE(p.f.usb.writes.empty());
}

TEST(OutputPages, TextPanelWarnsOnceOfCharactersTheCodePageLacks) {
  Pages p;
  const int before = AnsiCodePage();
  SetAnsiCodePage(1252);
  EXPECT_EQ(p.SendText(QStringLiteral("测试数据"), 0), (Bytes{0x3F, 0x3F, 0x3F, 0x3F}));
  EXPECT_EQ(p.SendText(QStringLiteral("测试"), 0), (Bytes{0x3F, 0x3F}));
  SetAnsiCodePage(before);
  ASSERT_EQ(p.msgs.boxes.size(), 1u);  // after the bytes went out, and only once
  EXPECT_EQ(p.msgs.boxes[0].first, kMsgWarning);
  EXPECT_EQ(p.msgs.boxes[0].second, "text of MSG_CODEPAGEtext of MSG_CODEPAGE_936");
}

TEST(OutputPages, CharacterTableThenClear) {
  Pages p;
  p.text->setPlainText("");
  p.Click("btn53");
  p.charset->setCurrentIndex(3);
  p.Click("btn_send");
  ASSERT_EQ(p.f.usb.writes.size(), 1u);
  ASSERT_EQ(p.f.usb.writes[0].size(), 225u);
  EXPECT_EQ(p.f.usb.writes[0][0], 0x20);
  EXPECT_EQ(p.f.usb.writes[0][223], 0xFF);
  EXPECT_EQ(p.f.usb.writes[0][224], 0x0A);
  p.Click("btn43");
  EXPECT_TRUE(p.text->toPlainText().isEmpty());
}

TEST(OutputPages, EscPosButtonsSendWithoutPresenceCheck) {
  Pages p;
  p.printer_present = false;
  p.Click("btn28");
  p.Click("btn28");
  p.Click("btn40");
  ASSERT_EQ(p.f.usb.writes.size(), 3u);
  EXPECT_EQ(p.f.usb.writes[0].size(), 20u);
  EXPECT_EQ(p.f.usb.writes[1], p.f.usb.writes[0]);
  EXPECT_EQ(p.f.usb.writes[2], (Bytes{0x1D, 0x53}));
  EXPECT_EQ(p.presence_checks, 0);
  EXPECT_TRUE(p.msgs.boxes.empty());
}

// A 16 x 2 GIF: the first row black, the second white but for column 3.
const unsigned char kGif[] = {
    0x47, 0x49, 0x46, 0x38, 0x37, 0x61, 0x10, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
    0x00, 0x00, 0x10, 0x00, 0x02, 0x00, 0x00, 0x08, 0x11, 0x00, 0x01, 0x08, 0x1C, 0x48,
    0xB0, 0x20, 0x80, 0x00, 0x08, 0x0F, 0x22, 0x5C, 0xC8, 0x10, 0x61, 0x40, 0x00, 0x3B};

TEST(OutputPages, PicturesOfEveryFormatPrint) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // 20 x 30: left half black, right half white; bands of 24 and 6 rows, 3 bytes a row.
  QImage img(20, 30, QImage::Format_RGB32);
  img.fill(Qt::white);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 10; ++x) img.setPixel(x, y, qRgb(0, 0, 0));
  Bytes expect;
  for (int y = 0; y < 30; ++y) expect.insert(expect.end(), {0xFF, 0xC0, 0x00});
  struct Case {
    const char* file;
    QImage image;
  };
  const Case cases[] = {
      {"rgb.bmp", img},
      {"mono.bmp", img.convertToFormat(QImage::Format_Mono)},
      {"indexed.bmp", img.convertToFormat(QImage::Format_Indexed8)},
      {"argb.png", img.convertToFormat(QImage::Format_ARGB32)},
      {"photo.jpg", img},
  };
  for (const Case& c : cases) {
    const QString path = dir.filePath(c.file);
    ASSERT_TRUE(c.image.save(path)) << c.file;
    Pages p;
    p.picture = path;
    p.Click("btn25");
    ASSERT_EQ(p.f.usb.writes.size(), 2u) << c.file;
    EXPECT_EQ(p.f.usb.writes[1][6], 6);
    EXPECT_EQ(p.AllBandData(), expect) << c.file;
    EXPECT_TRUE(p.msgs.boxes.empty()) << c.file;
  }
  {
    QFile gif(dir.filePath("two.gif"));
    ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
    gif.write(reinterpret_cast<const char*>(kGif), sizeof kGif);
    gif.close();
    Pages p;
    p.picture = gif.fileName();
    p.Click("btn25");
    EXPECT_EQ(p.AllBandData(), (Bytes{0xFF, 0xFF, 0x10, 0x00}));
  }
  {
    // Transparent pixels count as white, whatever colour they hold.
    QImage clear(8, 3, QImage::Format_ARGB32);
    clear.fill(qRgba(0, 0, 0, 0));
    const QString path = dir.filePath("clear.png");
    ASSERT_TRUE(clear.save(path));
    Pages p;
    p.picture = path;
    p.Click("btn25");
    EXPECT_EQ(p.AllBandData(), Bytes(3, 0x00));
  }
}

TEST(OutputPages, UnreadableOrCancelledPictureSendsNothing) {
  QTemporaryDir dir;
  QFile bad(dir.filePath("not a picture.png"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("this is text");
  bad.close();
  Pages p;
  p.picture = bad.fileName();
  p.Click("btn25");
  p.Click("btn_logo", &p.oem);
  EXPECT_TRUE(p.f.usb.writes.empty());
  ASSERT_EQ(p.msgs.boxes.size(), 2u);
  EXPECT_EQ(p.msgs.boxes[0].first, kMsgError);
  EXPECT_NE(p.msgs.boxes[0].second.find("not a picture.png"), std::string::npos);

  p.msgs.boxes.clear();
  p.picture.clear();  // the dialog was cancelled
  p.Click("btn25");
  p.Click("btn_logo", &p.oem);
  EXPECT_TRUE(p.f.usb.writes.empty());
  EXPECT_TRUE(p.msgs.boxes.empty());
}

TEST(OutputPages, BootLogoFromABitmap) {
  QTemporaryDir dir;
  QImage img(128, 64, QImage::Format_RGB32);
  img.fill(qRgb(129, 129, 129));  // white under the plain threshold
  img.setPixel(0, 0, qRgb(128, 128, 128));
  const QString path = dir.filePath("logo.bmp");
  ASSERT_TRUE(img.save(path));
  Pages p;
  p.f.usb.on_write = [](const Bytes& req, testing::ScriptedUsb& usb) {
    const uint8_t ok = 0;
    usb.QueueReply(MakeFrame(kKindOrdinary, req[1], 1, {&ok, 1}));
  };
  p.picture = path;
  p.Click("btn_logo", &p.oem);
  ASSERT_EQ(p.f.usb.writes.size(), 1u);
  const Bytes& pkt = p.f.usb.writes[0];
  ASSERT_EQ(pkt.size(), 1035u);
  EXPECT_EQ(Bytes(pkt.begin(), pkt.begin() + 11),
            (Bytes{0x10, 0xC0, 0x01, 0x00, 0x04, 0x04, 0x00, 0x04, 0x00, 0x00, 0x80}));
  ASSERT_EQ(p.msgs.boxes.size(), 1u);
  EXPECT_EQ(p.msgs.boxes[0].second, "text of MSG018");
  EXPECT_EQ(p.presence_checks, 1);
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
