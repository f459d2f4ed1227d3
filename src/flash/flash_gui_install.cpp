// Registers the firmware and font library page controllers with the main window.
#include "app/gui_registry.h"
#include "flash/flash_pages.h"

namespace quillon {

void InstallFlashGui(GuiRegistry& registry) {
  registry.RegisterPageController("TabSheet1", [](QWidget* page, AppContext& ctx) {
    return std::unique_ptr<QObject>(new FirmwarePage(page, ctx, SerialPortControl{}));
  });
  registry.RegisterPageController("TabSheet2", [](QWidget* page, AppContext& ctx) {
    return std::unique_ptr<QObject>(new FontPage(page, ctx));
  });
}

}  // namespace quillon
