// Creates the font file editor with real dialogs and runs it modally; nothing survives closing.
#include "fonteditor/font_editor_launcher.h"

#include "fonteditor/font_editor_window.h"
#include "fonteditor/qt_font_editor_prompts.h"

namespace quillon {

void OpenFontEditor(QWidget* parent) {
  QtFontEditorPrompts prompts;
  TFont_ADJ_8M_KX editor(prompts, parent);
  prompts.SetParent(&editor);
  editor.exec();
}

}  // namespace quillon
