// The shell's own installer: wires the main window's openers to the windows of subsystems
// that provide only a factory function.
#include "app/gui_registry.h"
#include "fonteditor/font_editor_launcher.h"

namespace quillon {

void InstallShellWiring(GuiRegistry& registry) {
  // btn51 on page ts3 opens the font file editor.
  registry.RegisterDialog("Font_ADJ_8M_KX",
                          [](QWidget* parent, AppContext&) { return CreateFontEditor(parent); });
}

}  // namespace quillon
