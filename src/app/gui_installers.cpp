// Which page of the main window gets which subsystem's controller, and which menu item or
// button opens which dialog. The subsystems provide controllers and dialogs; the window
// shell, which sits above them, names them here, so no subsystem depends on the shell.
#include <QObject>
#include <memory>

#include "app/gui_registry.h"
#include "core/ansi_codepage.h"
#include "core/file_locations.h"
#include "core/ini_file.h"
#include "core/message_text.h"
#include "flash/flash_pages.h"
#include "output/oem_logo_controller.h"
#include "output/print_test_controller.h"
#include "output/printer_status_line.h"
#include "settings/label_page.h"
#include "settings/settings_dialogs.h"
#include "settings/settings_page.h"

namespace quillon {

void InstallFlashGui(GuiRegistry& registry) {
  registry.RegisterPageController("TabSheet1", [](QWidget* page, AppContext& ctx) {
    return std::unique_ptr<QObject>(new FirmwarePage(page, ctx, SerialPortControl{}));
  });
  registry.RegisterPageController("TabSheet2", [](QWidget* page, AppContext& ctx) {
    return std::unique_ptr<QObject>(new FontPage(page, ctx));
  });
}

void InstallSettingsGui(GuiRegistry& registry) {
  // The Bluetooth-name sequence presses the print test page's btn_send itself.
  registry.RegisterPageController(
      "TabSheet3", [](QWidget* page, AppContext& ctx) { return InstallSettingsPage(page, ctx); });
  registry.RegisterPageController("ts2", InstallLabelPage);
  registry.RegisterDialog("wifi", CreateWifiDialog);
  registry.RegisterDialog("net_edit", CreateNetEditDialog);
  registry.RegisterDialog("serial_number", CreateSerialNumberDialog);
  registry.RegisterDialog("Paper_roll", CreatePaperRollDialog);
  registry.RegisterDialog("rfid_test", CreateRfidTestDialog);
}

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

void InstallPrinterStatusGui(GuiRegistry& registry) {
  registry.RegisterPageController("ts1", InstallPrinterStatusLine);
}

void InstallSubsystemGui(GuiRegistry& registry) {
  InstallNetworkGui(registry);
  InstallShellWiring(registry);
  InstallFlashGui(registry);
  InstallSettingsGui(registry);
  InstallOutputGui(registry);
  InstallPrinterStatusGui(registry);
}

}  // namespace quillon
