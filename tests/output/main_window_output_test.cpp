// The print test and OEM pages inside the real main window, on the virtual printer: text
// and a picture land on its paper (saved as PNG for a look), the logo in its memory.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <fstream>

#include "app/gui_registry.h"
#include "app/tmain.h"
#include "core/msg_ini.h"
#include "core/sfunc.h"
#include "output/raster_print.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {
namespace {

class Boxes final : public DialogPresenter {
 public:
  int Show(int kind, const std::string&, const std::string& text) override {
    shown.emplace_back(kind, text);
    return kMsgResultOk;
  }
  std::vector<std::pair<int, std::string>> shown;
};

class Files final : public FileDialogs {
 public:
  std::string OpenDataFile() override { return {}; }
  std::string OpenPicture() override { return picture; }
  std::string picture;
};

TEST(MainWindowOutput, TextPictureAndLogoOnTheVirtualPrinter) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string folder = dir.path().toStdString() + "/";
  std::ofstream(folder + "config.ini")
      << "[SYSTEM]\nUSB_VID=c0de\nUSB_PID=7001\nLANGUAGE=CHS\nANSI_CODEPAGE=936\n";

  // The sample font the build makes beside the programs, where it made one.
  vp::VirtualPrinter::Options options;
  options.factory_font = GetApplicationPath() + "sample_font.bin";
  SetApplicationPath(folder);
  vp::VirtualPrinter printer(options);
  vp::VirtualUsbBackend usb(printer, "c0de", "7001");
  Boxes boxes;
  Files files;
  TmainDeps deps;
  deps.usb = &usb;
  deps.dialogs = &boxes;
  deps.files = &files;
  deps.install = [](GuiRegistry& r) { InstallOutputGui(r); };
  Tmain w(std::move(deps));
  w.Timer1Timer();
  ASSERT_TRUE(w.link().USB().isFindPrint);

  // Text in ANSI (code page 936 from config.ini), then a picture below it.
  auto* text = w.findChild<QPlainTextEdit*>("redt_text");
  auto* charset = w.findChild<QComboBox*>("cbb_send_charset");
  ASSERT_TRUE(text && charset);
  text->setPlainText("Quillon 打印测试\n");
  charset->setCurrentIndex(0);
  w.findChild<QPushButton*>("btn_send")->click();
  const int text_rows = printer.paper().height();
  EXPECT_GT(text_rows, 0);

  QImage picture(200, 40, QImage::Format_RGB32);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) picture.setPixel(x, y, qRgb(x, x, 255 - y * 6));
  files.picture = dir.filePath("gradient.png").toStdString();
  ASSERT_TRUE(picture.save(QString::fromStdString(files.picture)));
  w.findChild<QPushButton*>("btn25")->click();
  const vp::Paper& paper = printer.paper();
  ASSERT_EQ(paper.height(), text_rows + 40);
  std::vector<uint8_t> raster;
  uint16_t pw = 0, ph = 0;
  Picture pixels{200, 40, {}};
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) pixels.pixels.push_back(picture.pixel(x, y));
  ASSERT_TRUE(BMP_Conv(pixels, raster, pw, ph, true));
  int differences = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x)
      differences += paper.Dot(x, text_rows + y) != ((raster[y * 25 + x / 8] >> (7 - x % 8)) & 1);
  EXPECT_EQ(differences, 0);
  std::string error;
  EXPECT_TRUE(
      printer.SavePng(QDir::temp().filePath("quillon_output_paper.png").toStdString(), error))
      << error;

  // The boot logo from the OEM page.
  QImage logo(128, 64, QImage::Format_RGB32);
  logo.fill(Qt::white);
  files.picture = dir.filePath("logo.bmp").toStdString();
  ASSERT_TRUE(logo.save(QString::fromStdString(files.picture)));
  w.findChild<QPushButton*>("btn_logo")->click();
  std::vector<uint8_t> kept;
  printer.WithState([&](vp::PrinterState& s) { kept = s.logo; });
  EXPECT_EQ(kept, std::vector<uint8_t>(1024, 0x00));
  ASSERT_FALSE(boxes.shown.empty());
  EXPECT_EQ(boxes.shown.back().first, kMsgInfo);  // MSG018
  SetApplicationPath("");
}

}  // namespace
}  // namespace quillon
