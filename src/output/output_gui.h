// The output subsystem's part of the main window (named in QUILLON_GUI_INSTALLERS).
#pragma once

namespace quillon {

class GuiRegistry;

// Registers the print test page, the OEM logo button and the ANSI code page setting.
void InstallOutputGui(GuiRegistry& registry);

}  // namespace quillon
