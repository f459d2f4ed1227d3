// The font file editor window: look up a glyph by section and code, edit it dot by dot on the
// enlarged grid, write it back into the file in memory, preview rows of single-byte glyphs,
// copy code pages, and open and save the file.
#pragma once

#include <QDialog>
#include <QImage>
#include <memory>
#include <string>

#include "fonteditor/font_image.h"
#include "fonteditor/preview_strip.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QStatusBar;

namespace quillon {

class FontEditorPrompts;
class GlyphGrid;

class TFont_ADJ_8M_KX : public QDialog {
  Q_OBJECT

 public:
  TFont_ADJ_8M_KX(FontEditorPrompts& prompts, QWidget* parent = nullptr);
  // The same, owning its prompts (for a window that outlives the code that made it).
  TFont_ADJ_8M_KX(std::unique_ptr<FontEditorPrompts> prompts, QWidget* parent = nullptr);
  ~TFont_ADJ_8M_KX() override;

  // Handlers, public so that tests drive them as the controls do.
  void cbb_CharSetChange();
  void btn_QueryClick();
  void btn1Click();  // "Update Change"
  void btn2Click();  // "Copy CodePage"
  void btn_Preview_AsciiClick();
  void btn_Preview_CodePageClick();
  void drwgrd_adjSelectCell(int column, int row);
  void OpenFontFileClick();
  // Returns true when the file was saved.
  bool SaveFontFileClick();
  void ShowRulerClick();

  const FontImage& image() const { return image_; }
  // Changes written to memory since the file was opened or saved.
  bool modified() const { return modified_; }
  // Dots toggled in the grid since the glyph was loaded or written back ("Update Change").
  bool gridEdited() const { return grid_edited_; }
  // The file name the status bar shows: the file opened or last saved.
  const std::string& filePath() const { return path_; }
  const QImage& previewImage() const { return preview_; }
  const QImage& stripImage() const { return strip_; }

  // Closing (the close box, Escape, "Close(&C)") asks first when changes are unsaved.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildMenu();
  FontSection Section() const;
  GlyphKey CurrentKey() const;
  bool RequireFile();
  void DrawGlyph();
  void ShowStrip(PreviewKind kind);
  void DrawIdx(QWidget* surface);
  bool MayDropChanges();

  FontEditorPrompts& prompts_;
  std::unique_ptr<FontEditorPrompts> owned_prompts_;
  FontImage image_;
  bool modified_ = false;
  bool grid_edited_ = false;
  bool ruler_ = false;
  bool shown_once_ = false;
  std::string path_;  // the opened file
  QImage preview_;    // img_Preview's glyph at true size
  QImage strip_;      // img1's preview strip

  QWidget* surface_ = nullptr;  // the window's client surface below the menu
  GlyphGrid* drwgrd_adj = nullptr;
  QComboBox* cbb_CharSet = nullptr;
  QComboBox* cbb_codepage = nullptr;
  QCheckBox* chk_9x17 = nullptr;
  QComboBox* cbb_H = nullptr;
  QComboBox* cbb_L = nullptr;
  QLabel* img_Preview = nullptr;
  QLabel* img1 = nullptr;
  QStatusBar* stat1 = nullptr;
  QLabel* stat1_panel = nullptr;
};

}  // namespace quillon
