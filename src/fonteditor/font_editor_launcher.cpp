// Creates the font file editor with real dialogs.
#include "fonteditor/font_editor_launcher.h"

#include "fonteditor/font_editor_window.h"
#include "fonteditor/qt_font_editor_prompts.h"

namespace quillon {

std::unique_ptr<QDialog> CreateFontEditor(QWidget* parent) {
  auto prompts = std::make_unique<QtFontEditorPrompts>();
  QtFontEditorPrompts& dialogs = *prompts;
  auto editor = std::make_unique<TFont_ADJ_8M_KX>(std::move(prompts), parent);
  dialogs.SetParent(editor.get());
  return editor;
}

void OpenFontEditor(QWidget* parent) {
  const std::unique_ptr<QDialog> editor = CreateFontEditor(parent);
  editor->setModal(true);
  editor->exec();
}

}  // namespace quillon
