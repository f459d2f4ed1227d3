// The font editor window, driven offscreen through its controls with scripted dialogs: open,
// query, toggle dots, update, copy pages, preview strips, save, reopen, and closing with
// unsaved changes. Also saves a screenshot of the editor into the build folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/messages.h"
#include "fonteditor/copy_code_page_dialog.h"
#include "fonteditor/font_editor_launcher.h"
#include "fonteditor/font_editor_prompts.h"
#include "fonteditor/font_editor_window.h"
#include "fonteditor/font_image_fixtures.h"
#include "fonteditor/glyph_grid.h"
#include "fonteditor/qt_font_editor_prompts.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using ::quillon::testing::kFullImageSize;
using ::quillon::testing::PatternImage;

constexpr char kOpenFirst[] = "Please open font file frist!";

// Answers the editor's questions from the test and records every message box.
class ScriptedPrompts : public FontEditorPrompts {
 public:
  int MSGDLG(int kind, const std::string&, const std::string& text) override {
    shown.push_back(text);
    kinds.push_back(kind);
    return kind == kMsgQuestion ? question_answer : kMsgResultOk;
  }
  std::optional<std::string> AskOpenFileName() override { return open_path; }
  std::optional<std::string> AskSaveFileName(const std::string& proposed) override {
    proposed_save = proposed;
    return save_path;
  }
  UnsavedChoice AskUnsavedChanges() override {
    ++unsaved_asked;
    return unsaved_choice;
  }
  std::optional<CodePageCopyRequest> AskCodePageCopy() override {
    ++copy_asked;
    return copy;
  }

  std::vector<std::string> shown;
  std::vector<int> kinds;
  int question_answer = kMsgResultCancel;
  std::optional<std::string> open_path, save_path;
  std::string proposed_save;
  UnsavedChoice unsaved_choice = UnsavedChoice::kCancel;
  int unsaved_asked = 0;
  std::optional<CodePageCopyRequest> copy;
  int copy_asked = 0;
};

std::vector<uint8_t> Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Put(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// Draws text into a glyph of width x 24 dots and packs it by the file's bit order.
void RenderGlyph(std::vector<uint8_t>& image, int64_t address, int width, int xbyte,
                 const QString& text, int pixel_size) {
  QImage canvas(width, 24, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  QPainter p(&canvas);
  QFont font("DejaVu Sans Mono");
  font.setPixelSize(pixel_size);
  font.setStyleStrategy(QFont::NoAntialias);
  p.setFont(font);
  p.setPen(Qt::black);
  p.drawText(canvas.rect(), Qt::AlignCenter, text);
  p.end();
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < width; ++x) {
      if (qGray(canvas.pixel(x, y)) < 128) {
        image[static_cast<size_t>(address + y * xbyte + x / 8)] |=
            static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
  }
}

// A whole font image with readable glyphs where the tests and the screenshot look.
std::vector<uint8_t> ReadableFont() {
  std::vector<uint8_t> image(static_cast<size_t>(kFullImageSize), 0);
  for (int c = 0x20; c < 0x7F; ++c) {
    RenderGlyph(image, Ascii12x24Address(static_cast<uint8_t>(c)), 12, 2, QString(QChar(c)), 20);
  }
  for (int c = 0xA1; c <= 0xFF; ++c) {
    RenderGlyph(image, CodePage12x24Address(static_cast<uint8_t>(c), 0), 12, 2, QString(QChar(c)),
                20);
  }
  RenderGlyph(image, LocateGlyph({FontSection::kGb18030, 0xBBD4})->address, 24, 3, "Q", 26);
  return image;
}

class FontEditorWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("quillon_fonted_" + std::to_string(QCoreApplication::applicationPid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    font_path = dir / "font.bin";
  }
  void TearDown() override {
    editor.reset();
    fs::remove_all(dir);
  }

  // A shown editor; the message of its first query (no file yet) is dropped.
  TFont_ADJ_8M_KX& Open() {
    editor = std::make_unique<TFont_ADJ_8M_KX>(prompts);
    editor->show();
    QCoreApplication::processEvents();
    prompts.shown.clear();
    return *editor;
  }
  // Opens file bytes in the editor through the open dialog.
  TFont_ADJ_8M_KX& OpenWith(const std::vector<uint8_t>& bytes) {
    Put(font_path, bytes);
    Open();
    prompts.open_path = font_path.string();
    editor->OpenFontFileClick();
    return *editor;
  }
  template <typename T>
  T* Find(const char* name) {
    return editor->findChild<T*>(name);
  }
  GlyphGrid* Grid() { return Find<GlyphGrid>("drwgrd_adj"); }
  void ClickCell(int column, int row) {
    QTest::mouseClick(Grid(), Qt::LeftButton, {},
                      GlyphGrid::CellOrigin(column, row) + QPoint(6, 6));
  }
  bool GridCellRed(int column, int row) {
    const QImage shot = Grid()->grab().toImage();
    return shot.pixelColor(GlyphGrid::CellOrigin(column, row) + QPoint(6, 6)) == QColor(255, 0, 0);
  }

  fs::path dir, font_path;
  ScriptedPrompts prompts;
  std::unique_ptr<TFont_ADJ_8M_KX> editor;
};

TEST_F(FontEditorWindow, OpeningTheWindowAsksForAFileOnceAndEveryGlyphActionRefuses) {
  editor = std::make_unique<TFont_ADJ_8M_KX>(prompts);
  EXPECT_TRUE(prompts.shown.empty());
  editor->show();
  QCoreApplication::processEvents();
  EXPECT_EQ(prompts.shown, std::vector<std::string>{kOpenFirst});

  prompts.shown.clear();
  prompts.question_answer = kMsgResultOk;
  prompts.save_path = (dir / "empty.bin").string();
  editor->btn_QueryClick();
  editor->btn1Click();
  editor->btn_Preview_AsciiClick();
  editor->btn_Preview_CodePageClick();
  EXPECT_FALSE(editor->SaveFontFileClick());  // would write an empty font file
  EXPECT_EQ(prompts.shown, std::vector<std::string>(5, kOpenFirst));
  EXPECT_FALSE(fs::exists(dir / "empty.bin"));

  // The copy dialog comes first; the missing file is reported after its OK only.
  prompts.shown.clear();
  editor->btn2Click();
  EXPECT_TRUE(prompts.shown.empty());
  prompts.copy = CodePageCopyRequest{1, 2};
  editor->btn2Click();
  EXPECT_EQ(prompts.shown, std::vector<std::string>{kOpenFirst});
}

TEST_F(FontEditorWindow, OpenQueryToggleUpdateSaveAndReopen) {
  const auto original = PatternImage(kFullImageSize);
  auto& ed = OpenWith(original);
  EXPECT_EQ(Find<QLabel>("stat1_panel0")->text().toStdString(), font_path.string());
  EXPECT_TRUE(prompts.shown.empty());

  // The start code of GB18030 is BB D4.
  EXPECT_EQ(Find<QComboBox>("cbb_H")->currentText(), "BB");
  EXPECT_EQ(Find<QComboBox>("cbb_L")->currentText(), "D4");
  QTest::mouseClick(Find<QPushButton>("btn_Query"), Qt::LeftButton);
  const int64_t address = 0x0D44B8;
  ASSERT_TRUE(
      std::equal(ed.image().hzk.begin(), ed.image().hzk.begin() + 72, original.begin() + address));

  // Each click on a cell toggles its dot; the second click restores it.
  const bool before = ed.image().GetPoint(5, 7);
  ClickCell(5, 7);
  EXPECT_NE(ed.image().GetPoint(5, 7), before);
  EXPECT_EQ(GridCellRed(5, 7), !before);
  EXPECT_EQ(ed.previewImage().pixelColor(5, 7) == QColor(255, 0, 0), !before);
  ClickCell(5, 7);
  EXPECT_EQ(ed.image().GetPoint(5, 7), before);
  ClickCell(5, 7);
  // The keyboard moving the selection onto a cell toggles it too.
  const bool right = ed.image().GetPoint(6, 7);
  Grid()->setFocus();
  QTest::keyClick(Grid(), Qt::Key_Right);
  EXPECT_NE(ed.image().GetPoint(6, 7), right);

  // Update answered with Cancel writes nothing; with OK writes exactly the 72 bytes.
  QTest::mouseClick(Find<QPushButton>("btn1"), Qt::LeftButton);
  EXPECT_EQ(prompts.shown.back(), "Are you sure update to memory?");
  EXPECT_EQ(prompts.kinds.back(), kMsgQuestion);
  EXPECT_TRUE(ed.image().bytes() == original);
  EXPECT_FALSE(ed.modified());
  prompts.question_answer = kMsgResultOk;
  ed.btn1Click();
  auto expected = original;
  std::copy_n(ed.image().hzk.begin(), 72, expected.begin() + address);
  EXPECT_NE(expected, original);
  EXPECT_TRUE(ed.image().bytes() == expected);
  EXPECT_TRUE(ed.modified());

  // Save proposes the dated name beside the opened file and writes the whole image.
  const fs::path saved = dir / "edited.bin";
  prompts.save_path = saved.string();
  ASSERT_TRUE(ed.SaveFontFileClick());
  EXPECT_EQ(fs::path(prompts.proposed_save).parent_path(), dir);
  EXPECT_EQ(fs::path(prompts.proposed_save).filename().string().rfind("FOnt_KX_8M_", 0), 0u);
  EXPECT_FALSE(ed.modified());
  EXPECT_TRUE(Slurp(saved) == expected);

  // A fresh editor on the saved file shows the edited glyph.
  editor.reset();
  Open();
  prompts.open_path = saved.string();
  editor->OpenFontFileClick();
  editor->btn_QueryClick();
  EXPECT_TRUE(std::equal(expected.begin() + address, expected.begin() + address + 72,
                         editor->image().hzk.begin()));
}

TEST_F(FontEditorWindow, SectionChangeSetsStartCodesAndTheSingleByteControls) {
  const auto original = PatternImage(kFullImageSize);
  auto& ed = OpenWith(original);
  auto* charset = Find<QComboBox>("cbb_CharSet");
  auto* high = Find<QComboBox>("cbb_H");
  auto* low = Find<QComboBox>("cbb_L");
  auto* page = Find<QComboBox>("cbb_codepage");
  auto* nine = Find<QCheckBox>("chk_9x17");
  const std::pair<const char*, const char*> starts[] = {
      {"BB", "D4"}, {"00", "30"}, {"C3", "A3"}, {"B0", "A1"}, {"83", "4D"}};
  for (int i = 0; i < 5; ++i) {
    charset->setCurrentIndex(i);
    EXPECT_EQ(high->currentText(), starts[i].first);
    EXPECT_EQ(low->currentText(), starts[i].second);
    const bool single = i == 1;
    EXPECT_EQ(high->isEnabled(), !single);
    EXPECT_EQ(page->isEnabled(), single);
    EXPECT_EQ(nine->isEnabled(), single);
    EXPECT_EQ(Grid()->columnCount(), single ? 12 : 24);
    EXPECT_EQ(ed.image().xbyte, single ? 2 : 3);
  }
  EXPECT_TRUE(prompts.shown.empty());

  // "CodePage" shows the 12x24 digit zero; ticking 9x17 alone does not reload, a query does.
  charset->setCurrentIndex(1);
  EXPECT_TRUE(std::equal(ed.image().hzk.begin(), ed.image().hzk.begin() + 48,
                         original.begin() + Ascii12x24Address(0x30)));
  nine->setChecked(true);
  EXPECT_TRUE(std::equal(ed.image().hzk.begin(), ed.image().hzk.begin() + 48,
                         original.begin() + Ascii12x24Address(0x30)));
  low->setCurrentIndex(0xC7);  // a code change queries: page 0, 9x17 bank
  page->setCurrentIndex(3);    // a page change does not
  EXPECT_TRUE(std::equal(ed.image().hzk.begin(), ed.image().hzk.begin() + 48,
                         original.begin() + CodePage9x17Address(0xC7, 0)));
  ed.btn_QueryClick();
  EXPECT_TRUE(
      std::equal(ed.image().hzk.begin(), ed.image().hzk.begin() + 48, original.begin() + 0x29E550));
}

TEST_F(FontEditorWindow, CodesOutsideTheSectionAreRefusedWithAMessage) {
  const auto original = PatternImage(kFullImageSize);
  auto& ed = OpenWith(original);
  ed.btn_QueryClick();
  const auto glyph = ed.image().hzk;
  Find<QComboBox>("cbb_H")->setCurrentIndex(0x80);  // below 81: would read the unaddressed area
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0], "Char code 80 D4 is outside the GB18030 section.");
  EXPECT_EQ(ed.image().hzk, glyph);

  prompts.question_answer = kMsgResultOk;
  ed.btn1Click();
  EXPECT_EQ(prompts.shown.size(), 2u);  // refused again, and no question asked
  EXPECT_EQ(prompts.shown[1], prompts.shown[0]);
  EXPECT_TRUE(ed.image().bytes() == original);
  EXPECT_FALSE(ed.modified());

  // BIG5's gap between 7E and A1 is refused too.
  Find<QComboBox>("cbb_CharSet")->setCurrentIndex(2);
  Find<QComboBox>("cbb_L")->setCurrentIndex(0x90);
  EXPECT_EQ(prompts.shown.back(), "Char code C3 90 is outside the BIG5 section.");
}

TEST_F(FontEditorWindow, UpdatePastTheEndOfAShortFileIsReported) {
  auto& ed = OpenWith(PatternImage(0x100000));  // ends before the ASCII glyphs
  Find<QComboBox>("cbb_CharSet")->setCurrentIndex(1);
  prompts.question_answer = kMsgResultOk;
  prompts.shown.clear();
  ed.btn1Click();
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_NE(prompts.shown[1].find("beyond the end"), std::string::npos);
  EXPECT_EQ(ed.image().size(), 0x100000);
  EXPECT_FALSE(ed.modified());
}

TEST_F(FontEditorWindow, CopyCodePageCopiesBothBanks) {
  const auto original = PatternImage(kFullImageSize);
  auto& ed = OpenWith(original);
  prompts.copy = CodePageCopyRequest{3, 7};
  QTest::mouseClick(Find<QPushButton>("btn2"), Qt::LeftButton);
  EXPECT_EQ(prompts.shown, std::vector<std::string>{"Complete"});
  auto expected = original;
  for (int64_t base : {kCodePage12x24Base, kCodePage9x17Base}) {
    std::copy_n(original.begin() + base + 6144 * 3, 6144, expected.begin() + base + 6144 * 7);
  }
  EXPECT_TRUE(ed.image().bytes() == expected);
  EXPECT_TRUE(ed.modified());
}

TEST_F(FontEditorWindow, CopyDialogRefusesEqualPages) {
  ScriptedPrompts dialog_prompts;
  TFont_ADJ_8M_CopyCodePage dialog(dialog_prompts);
  auto* src = dialog.findChild<QComboBox*>("cbb_src");
  auto* dec = dialog.findChild<QComboBox*>("cbb_dec");
  ASSERT_EQ(src->count(), 100);
  dialog.show();
  src->setCurrentIndex(4);
  dec->setCurrentIndex(4);
  QTest::mouseClick(dialog.findChild<QPushButton*>("btn2"), Qt::LeftButton);
  EXPECT_EQ(dialog_prompts.shown,
            std::vector<std::string>{"Copy source cannot be the same as target source."});
  EXPECT_TRUE(dialog.isVisible());
  dec->setCurrentIndex(9);
  QTest::mouseClick(dialog.findChild<QPushButton*>("btn2"), Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.source(), 4);
  EXPECT_EQ(dialog.target(), 9);

  dialog.show();
  QTest::mouseClick(dialog.findChild<QPushButton*>("btn1"), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(FontEditorWindow, PreviewStripsPaintBlueDotsAndKeepTheGlyphBeingEdited) {
  auto& ed = OpenWith(ReadableFont());
  ed.btn_QueryClick();
  ClickCell(0, 0);
  const auto editing = ed.image().hzk;
  ed.btn_Preview_AsciiClick();
  EXPECT_EQ(ed.image().hzk, editing);
  const QImage& strip = ed.stripImage();
  ASSERT_EQ(strip.size(), QSize(595, 128));
  // Lines 1-2 hold ASCII, lines 3-5 the code page; the sixth stays white.
  int blue_by_line[6] = {};
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 595; ++x) {
      const QColor c = strip.pixelColor(x, y);
      ASSERT_TRUE(c == QColor(0, 0, 255) || c == QColor(255, 255, 255));
      if (c == QColor(0, 0, 255)) ++blue_by_line[y / 24];
    }
  }
  for (int line = 0; line < 5; ++line) EXPECT_GT(blue_by_line[line], 0) << line;
  EXPECT_EQ(blue_by_line[5], 0);

  // "Preview CodePage" draws only 80-FF: three lines.
  ed.btn_Preview_CodePageClick();
  int blue_low = 0;
  for (int y = 72; y < 128; ++y) {
    for (int x = 0; x < 595; ++x) blue_low += ed.stripImage().pixelColor(x, y) == Qt::blue;
  }
  EXPECT_EQ(blue_low, 0);
}

TEST_F(FontEditorWindow, ClosingWithUnsavedChangesAsks) {
  auto& ed = OpenWith(PatternImage(kFullImageSize));
  ed.btn_QueryClick();
  prompts.question_answer = kMsgResultOk;
  ClickCell(1, 1);
  ed.btn1Click();
  ASSERT_TRUE(ed.modified());

  prompts.unsaved_choice = UnsavedChoice::kCancel;
  ed.reject();
  EXPECT_EQ(prompts.unsaved_asked, 1);
  EXPECT_TRUE(ed.isVisible());

  // Save chosen but the save fails (a folder is in the way): the window stays.
  prompts.unsaved_choice = UnsavedChoice::kSave;
  fs::create_directory(dir / "blocked.bin");
  prompts.save_path = (dir / "blocked.bin").string();
  ed.reject();
  EXPECT_TRUE(ed.isVisible());
  EXPECT_EQ(prompts.kinds.back(), kMsgError);
  EXPECT_NE(prompts.shown.back().find("not changed"), std::string::npos);

  prompts.save_path = (dir / "kept.bin").string();
  ed.close();
  EXPECT_FALSE(ed.isVisible());
  EXPECT_TRUE(Slurp(dir / "kept.bin") == ed.image().bytes());

  // Opening another file over unsaved changes asks the same question.
  ed.show();
  ed.btn1Click();
  prompts.unsaved_choice = UnsavedChoice::kCancel;
  prompts.open_path = (dir / "kept.bin").string();
  ed.OpenFontFileClick();
  EXPECT_TRUE(ed.modified());
  prompts.unsaved_choice = UnsavedChoice::kDiscard;
  ed.OpenFontFileClick();
  EXPECT_FALSE(ed.modified());
  ed.reject();
  EXPECT_FALSE(ed.isVisible());
}

TEST_F(FontEditorWindow, GridEditsNotWrittenBackAskBeforeClosingOrOpening) {
  auto& ed = OpenWith(PatternImage(kFullImageSize));
  ed.btn_QueryClick();
  ClickCell(2, 3);
  ASSERT_TRUE(ed.gridEdited());
  ASSERT_FALSE(ed.modified());
  const size_t before = prompts.shown.size();
  prompts.question_answer = kMsgResultCancel;  // keep the edits: the window stays
  ed.reject();
  EXPECT_TRUE(ed.isVisible());
  prompts.open_path = (dir / "other.bin").string();
  ed.OpenFontFileClick();
  EXPECT_TRUE(ed.gridEdited());
  ASSERT_EQ(prompts.shown.size(), before + 2);
  EXPECT_NE(prompts.shown.back().find("Update Change"), std::string::npos);

  // Written back, the grid no longer asks; saving shows the new name in the status bar.
  prompts.question_answer = kMsgResultOk;
  ed.btn1Click();
  EXPECT_FALSE(ed.gridEdited());
  prompts.save_path = (dir / "saved.bin").string();
  ASSERT_TRUE(ed.SaveFontFileClick());
  EXPECT_EQ(ed.filePath(), prompts.save_path);
  EXPECT_EQ(Find<QLabel>("stat1_panel0")->text().toStdString(), *prompts.save_path);
  ed.reject();
  EXPECT_FALSE(ed.isVisible());
  EXPECT_EQ(prompts.unsaved_asked, 0);
}

TEST_F(FontEditorWindow, AFileThatCannotBeOpenedLeavesTheImage) {
  auto& ed = OpenWith(PatternImage(4096));
  prompts.open_path = (dir / "missing.bin").string();
  ed.OpenFontFileClick();
  EXPECT_EQ(prompts.kinds.back(), kMsgError);
  EXPECT_NE(prompts.shown.back().find("missing.bin"), std::string::npos);
  EXPECT_EQ(ed.image().size(), 4096);
  EXPECT_EQ(Find<QLabel>("stat1_panel0")->text().toStdString(), font_path.string());
}

// Presses key on the next message box once it is up, remembering its text.
void PressOnNextBox(Qt::Key key, QString* text) {
  QTimer::singleShot(0, [key, text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return PressOnNextBox(key, text);  // not shown yet: look again
    *text = box->text();
    QTest::keyClick(box, key);
  });
}

TEST(FontEditorLauncher, RealDialogsAskOnceAndQuestionsDefaultToCancel) {
  const std::unique_ptr<QDialog> editor = CreateFontEditor(nullptr);
  EXPECT_EQ(editor->objectName(), "Font_ADJ_8M_KX");
  QString first;
  PressOnNextBox(Qt::Key_Return, &first);
  editor->show();
  QCoreApplication::processEvents();
  EXPECT_EQ(first.toStdString(), kOpenFirst);

  QtFontEditorPrompts prompts;
  prompts.SetParent(editor.get());
  QString question;
  PressOnNextBox(Qt::Key_Return, &question);
  EXPECT_EQ(prompts.MSGDLG(kMsgQuestion, "", "Are you sure update to memory?"), kMsgResultCancel);
  EXPECT_EQ(question.toStdString(), "Are you sure update to memory?");
  PressOnNextBox(Qt::Key_Return, &question);
  EXPECT_EQ(prompts.MSGDLG(kMsgInfo, "", "Complete"), kMsgResultOk);
  EXPECT_EQ(prompts.MSGDLG(7, "", "no such kind"), -1);
}

// QUILLON_FONT_FILE may name a real font file to show instead of the synthetic one.
TEST_F(FontEditorWindow, Screenshot) {
  const QByteArray real = qgetenv("QUILLON_FONT_FILE");
  auto& ed = real.isEmpty() ? OpenWith(ReadableFont()) : Open();
  if (!real.isEmpty()) {
    prompts.open_path = real.toStdString();
    ed.OpenFontFileClick();
    ASSERT_FALSE(ed.image().empty());
  }
  ed.ShowRulerClick();
  ed.btn_QueryClick();
  ed.btn_Preview_AsciiClick();
  QCoreApplication::processEvents();
  const QImage shot = ed.grab().toImage();
  EXPECT_GE(shot.width(), 632);
  const QString folder = QUILLON_SCREENSHOT_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  EXPECT_TRUE(shot.save(folder + "/font_editor.png"));
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
