// The dialog that picks the code page to copy and the page to copy it onto; it refuses equal
// pages and stays open until two different pages are chosen or it is cancelled.
#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

namespace quillon {

class FontEditorPrompts;

class TFont_ADJ_8M_CopyCodePage : public QDialog {
  Q_OBJECT

 public:
  TFont_ADJ_8M_CopyCodePage(FontEditorPrompts& prompts, QWidget* parent = nullptr);

  int source() const;
  int target() const;

  // "OK": closes with the result OK unless source and target are equal.
  void btn2Click();
  // "Cancel".
  void btn1Click();

 private:
  FontEditorPrompts& prompts_;
  QComboBox* cbb_src;
  QComboBox* cbb_dec;
};

}  // namespace quillon
