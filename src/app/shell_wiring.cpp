// The shell's own installer: the main window's serial port, and the openers of subsystem
// windows that come as plain factory or launcher functions.
#include <QPointer>

#include "app/f_commport.h"
#include "app/gui_registry.h"
#include "app/qt_comm_notifier.h"
#include "bluetooth/bluetooth_launcher.h"
#include "fonteditor/font_editor_launcher.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"

namespace quillon {
namespace {

// cm_spcomm: the main window's serial port with its stored settings, wired into the link
// for the whole run.
class MainSerialPort final : public QObject {
 public:
  explicit MainSerialPort(PrinterLink& link) : link_(link), cm_spcomm(notifier_) {
    ConfigureMainWindowPort(cm_spcomm);
    AttachSerialPort(link_, cm_spcomm);
  }
  ~MainSerialPort() override {
    // The window closes: what was handed to the port still reaches the printer.
    cm_spcomm.StopCommDelivered();
    link_.SetUseCommPort(false);
    link_.SetCommPort(nullptr);
  }

 private:
  PrinterLink& link_;
  QtCommNotifier notifier_;  // declared before the port, which forgets itself on the way out

 public:
  TComm cm_spcomm;
};

}  // namespace

void InstallShellWiring(GuiRegistry& registry) {
  auto port = std::make_shared<QPointer<MainSerialPort>>();
  registry.RegisterPageController("main", [port](QWidget*, AppContext& ctx) {
    auto owner = std::make_unique<MainSerialPort>(ctx.link);
    *port = owner.get();
    return owner;
  });
  // "SerialPort Config": port, baud rate and whether the printer is reached through it.
  registry.RegisterDialog("CommPort", [port](QWidget* parent, AppContext& ctx) {
    std::unique_ptr<QDialog> dialog;
    if (*port) dialog = std::make_unique<TCommPort>(ctx.link, (*port)->cm_spcomm, parent);
    return dialog;
  });
  registry.RegisterOpener("clBluetooth",
                          [](QWidget* parent, AppContext&) { ShowBluetoothClassic(parent); });
  registry.RegisterOpener("clBluetooth_BLE",
                          [](QWidget* parent, AppContext&) { ShowBluetoothBle(parent); });
  // btn51 on page ts3 opens the font file editor.
  registry.RegisterDialog("Font_ADJ_8M_KX",
                          [](QWidget* parent, AppContext&) { return CreateFontEditor(parent); });
}

}  // namespace quillon
