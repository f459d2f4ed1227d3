// The System menu's list of attached printers, shown when more than one printer with the
// configured identifiers is plugged in; the checked one is the printer every command uses.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "link/printer_link.h"

class QActionGroup;
class QMenu;

namespace quillon {

class UsbPrinterMenu final : public QObject {
  Q_OBJECT

 public:
  // Adds the (hidden) submenu "Printers" to menu.
  UsbPrinterMenu(QMenu* menu, PrinterLink& link);
  // Lists the matching printers again (the presence poll calls it every second).
  void Refresh();
  QMenu* menu() const { return submenu_; }

 private:
  PrinterLink& link_;
  QMenu* submenu_;
  QActionGroup* group_;
  std::vector<std::string> shown_;  // the selector of each action, in order
};

// What a printer is chosen by: its port path, else its serial number, else its path.
std::string UsbSelector(const UsbDeviceInfo& device);

}  // namespace quillon
