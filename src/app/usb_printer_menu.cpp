#include "app/usb_printer_menu.h"

#include <QActionGroup>
#include <QMenu>
#include <algorithm>

namespace quillon {

std::string UsbSelector(const UsbDeviceInfo& device) {
  if (!device.port_path.empty()) return device.port_path;
  if (!device.serial.empty()) return device.serial;
  return device.path;
}

UsbPrinterMenu::UsbPrinterMenu(QMenu* menu, PrinterLink& link)
    : QObject(menu),
      link_(link),
      submenu_(menu->addMenu("Printers")),
      group_(new QActionGroup(this)) {
  submenu_->setObjectName("UsbPrinters1");
  submenu_->menuAction()->setVisible(false);
  group_->setExclusive(true);
}

void UsbPrinterMenu::Refresh() {
  std::vector<UsbDeviceInfo> devices;
  link_.backend().ListDevices(devices);
  const std::vector<UsbDeviceInfo> printers =
      MatchingPrinters(devices, "vid_" + link_.USB().VID + "&pid_" + link_.USB().PID);
  std::vector<std::string> selectors;
  for (const UsbDeviceInfo& p : printers) selectors.push_back(UsbSelector(p));

  // A chosen printer that was unplugged gives way to the first one.
  if (!link_.USB().Choice.empty() &&
      std::find(selectors.begin(), selectors.end(), link_.USB().Choice) == selectors.end()) {
    link_.SetUsbChoice("");
  }
  const std::string& choice = link_.USB().Choice;
  if (selectors != shown_) {
    shown_ = selectors;
    submenu_->clear();
    for (size_t i = 0; i < printers.size(); ++i) {
      const UsbDeviceInfo& p = printers[i];
      QString text = QString::fromStdString(selectors[i]);
      if (!p.serial.empty() && p.serial != selectors[i])
        text += QStringLiteral("  ") + QString::fromStdString(p.serial);
      if (!p.route.empty()) text += QStringLiteral("  (") + QString::fromStdString(p.route) + ")";
      QAction* a = submenu_->addAction(text);
      a->setCheckable(true);
      a->setObjectName(QStringLiteral("UsbPrinter%1").arg(i + 1));
      group_->addAction(a);
      const std::string selector = selectors[i];
      connect(a, &QAction::triggered, this, [this, selector] { link_.SetUsbChoice(selector); });
    }
  }
  const QList<QAction*> actions = submenu_->actions();
  for (int i = 0; i < actions.size(); ++i) {
    const bool chosen = choice.empty() ? i == 0 : shown_[static_cast<size_t>(i)] == choice;
    actions[i]->setChecked(chosen);
  }
  submenu_->menuAction()->setVisible(printers.size() > 1);
}

}  // namespace quillon
