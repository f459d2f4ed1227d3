// Plugs the output pages into the main window: the print test page (TabSheet4), the OEM
// page's logo button (TabSheet5), and the ANSI code page chosen in config.ini.
#include <QObject>
#include <memory>

#include "app/gui_registry.h"
#include "core/ansi_codepage.h"
#include "core/file_locations.h"
#include "core/ini_file.h"
#include "core/message_text.h"
#include "core/sfunc.h"
#include "output/oem_logo_controller.h"
#include "output/output_gui.h"
#include "output/print_test_controller.h"

namespace quillon {

void InstallOutputGui(GuiRegistry& registry) {
  registry.RegisterPageController("TabSheet4", &InstallPrintTestPage);
  registry.RegisterPageController("TabSheet5", &InstallOemLogo);
  registry.RegisterPageController("main", [](QWidget*, AppContext& ctx) {
    // Every ANSI text of the program converts through this choice.
    if (!ApplyAnsiCodePageSetting(IniFile(Files().ConfigFile())) && ctx.StatusNote) {
      ctx.StatusNote(FillFields(
          TextOr(ctx.messages, msgkey::kBadCodePage,
                 "config.ini: ANSI_CODEPAGE is not a supported code page; using {codepage}"),
          {{"codepage", std::to_string(AnsiCodePage())}}));
    }
    return std::unique_ptr<QObject>();
  });
}

}  // namespace quillon
