// Plugs the settings pages and dialogs into the main window: the settings page and the
// label control page get their controllers, the menus and buttons their dialogs.
#include "app/gui_registry.h"
#include "settings/label_page.h"
#include "settings/settings_dialogs.h"
#include "settings/settings_page.h"

namespace quillon {

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

}  // namespace quillon
