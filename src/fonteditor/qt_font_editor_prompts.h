// The font editor's questions as real dialogs: message boxes, file dialogs, the copy dialog.
#pragma once

#include <QPointer>
#include <QWidget>

#include "fonteditor/font_editor_prompts.h"

namespace quillon {

class QtFontEditorPrompts final : public FontEditorPrompts {
 public:
  // Dialogs are centred on parent (the editor window, set once it exists).
  void SetParent(QWidget* parent) { parent_ = parent; }

  int MSGDLG(int kind, const std::string& caption, const std::string& text) override;
  std::optional<std::string> AskOpenFileName() override;
  std::optional<std::string> AskSaveFileName(const std::string& proposed_path) override;
  UnsavedChoice AskUnsavedChanges() override;
  std::optional<CodePageCopyRequest> AskCodePageCopy() override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace quillon
