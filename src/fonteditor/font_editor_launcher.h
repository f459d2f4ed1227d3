// Opens the font file editor over the main window (button btn51 on the font editing page).
#pragma once

#include <memory>

class QDialog;
class QWidget;

namespace quillon {

// The editor window with real dialogs, not yet shown; the caller shows it modally.
std::unique_ptr<QDialog> CreateFontEditor(QWidget* parent);

// Creates the editor and runs it modally; nothing survives its closing.
void OpenFontEditor(QWidget* parent);

}  // namespace quillon
