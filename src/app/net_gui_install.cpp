// Plugs the network link into the main window: the program's network link (its address
// from config.ini [NET]) for the whole run, and the "Network printer…" dialog.
#include <QPointer>

#include "app/gui_registry.h"
#include "app/net_printer_dialog.h"
#include "core/file_locations.h"
#include "link/net_settings.h"

namespace quillon {
namespace {

class MainNetLink final : public QObject {
 public:
  explicit MainNetLink(PrinterLink& link) : link_(link), net(link.clock(), link.pump()) {
    ApplyNetSettings(link_, net, LoadNetSettings(ConfigPath()));
  }
  ~MainNetLink() override {
    net.Close();
    link_.SetUseNetwork(false);
    link_.SetNetLink(nullptr);
  }
  static std::string ConfigPath() { return Files().ConfigFile(); }

 private:
  PrinterLink& link_;

 public:
  TcpLink net;
};

}  // namespace

void InstallNetworkGui(GuiRegistry& registry) {
  auto owner = std::make_shared<QPointer<MainNetLink>>();
  registry.RegisterPageController("main", [owner](QWidget*, AppContext& ctx) {
    auto net = std::make_unique<MainNetLink>(ctx.link);
    *owner = net.get();
    return net;
  });
  registry.RegisterDialog("NetPrinter", [owner](QWidget* parent, AppContext& ctx) {
    std::unique_ptr<QDialog> dialog;
    if (*owner)
      dialog = std::make_unique<TNetPrinter>(ctx, (*owner)->net, MainNetLink::ConfigPath(), parent);
    return dialog;
  });
}

}  // namespace quillon
