// The main window's registry of page controllers and dialogs: the subsystems provide them,
// the installers below (gui_installers.cpp) say which page or menu item gets which, and the
// main window builds them when it is created.
#pragma once

#include <QDialog>
#include <QObject>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "session/app_context.h"

namespace quillon {

// Builds the controller of one page: it finds the page's controls by object name and
// connects their handlers. The main window owns the controller for the rest of the run.
using PageControllerFactory = std::function<std::unique_ptr<QObject>(QWidget* page, AppContext&)>;
// Builds a dialog that the main window opens (modally) from a menu item or button.
using DialogFactory = std::function<std::unique_ptr<QDialog>(QWidget* parent, AppContext&)>;
// Opens and runs a window by itself (for tools that manage their own window).
using WindowOpener = std::function<void(QWidget* parent, AppContext&)>;

class GuiRegistry {
 public:
  // pageName: object name of a page of the main window ("TabSheet1" to "TabSheet5", "ts3",
  // the inner pages "ts1" and "ts2"), or "main" for the whole window.
  void RegisterPageController(const char* pageName, PageControllerFactory factory) {
    pages_.emplace_back(pageName, std::move(factory));
  }
  // formName: "CommPort", "clBluetooth", "clBluetooth_BLE", "rfid_test", "Paper_roll",
  // "Font_ADJ_8M_KX", "wifi", "net_edit" or "serial_number". The dialog's object name is set
  // to formName; wifi, net_edit and serial_number get their language file applied.
  void RegisterDialog(const char* formName, DialogFactory factory) {
    dialogs_[formName] = std::move(factory);
  }

  // The same names as RegisterDialog, for a tool that shows its window itself; no language
  // file is applied.
  void RegisterOpener(const char* formName, WindowOpener opener) {
    openers_[formName] = std::move(opener);
  }

  const std::vector<std::pair<std::string, PageControllerFactory>>& pages() const { return pages_; }
  const DialogFactory* dialog(const std::string& formName) const {
    auto it = dialogs_.find(formName);
    return it == dialogs_.end() ? nullptr : &it->second;
  }
  const WindowOpener* opener(const std::string& formName) const {
    auto it = openers_.find(formName);
    return it == openers_.end() ? nullptr : &it->second;
  }

 private:
  std::vector<std::pair<std::string, PageControllerFactory>> pages_;
  std::map<std::string, DialogFactory> dialogs_;
  std::map<std::string, WindowOpener> openers_;
};

// Calls every installer below, in this order.
void InstallSubsystemGui(GuiRegistry& registry);
// The program's network link and the "Network printer…" dialog.
void InstallNetworkGui(GuiRegistry& registry);
// The shell's own wiring of subsystem windows: the serial port, Bluetooth, the font editor.
void InstallShellWiring(GuiRegistry& registry);
// Firmware and font library pages.
void InstallFlashGui(GuiRegistry& registry);
// Settings and label pages, the network, serial number, paper roll and RFID dialogs.
void InstallSettingsGui(GuiRegistry& registry);
// Print test and boot logo pages, the ANSI code page of config.ini.
void InstallOutputGui(GuiRegistry& registry);
// The print test page's printer status line.
void InstallPrinterStatusGui(GuiRegistry& registry);

}  // namespace quillon
