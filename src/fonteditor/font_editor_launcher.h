// Opens the font file editor as a modal window over the main window (button btn51).
#pragma once

class QWidget;

namespace quillon {

void OpenFontEditor(QWidget* parent);

}  // namespace quillon
