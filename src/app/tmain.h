// Tmain, the main window: the six pages, the menus, the presence poll, and the owner of the
// printer link, the command builders, the exchange log and the message file for the run.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui_registry.h"
#include "app/qt_message_pump.h"
#include "core/msg_ini.h"
#include "core/ulog.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "session/app_context.h"

class QLabel;
class QTabWidget;
class QStatusBar;

namespace quillon {

class UsbOpenNotice;
class UsbPrinterMenu;

// What a main window is built on. Only usb is required; the rest default to the real ones.
struct TmainDeps {
  UsbBackend* usb = nullptr;
  Clock* clock = nullptr;              // null: the system tick
  DialogPresenter* dialogs = nullptr;  // null: QMessageBox
  FileDialogs* files = nullptr;        // null: QFileDialog
  // Registers the subsystems' page controllers and dialogs; empty: every subsystem the
  // build includes (InstallSubsystemGui).
  std::function<void(GuiRegistry&)> install;
};

class Tmain final : public QMainWindow {
  Q_OBJECT

 public:
  explicit Tmain(TmainDeps deps, QWidget* parent = nullptr);
  ~Tmain() override;

  PrinterLink& link() { return link_; }
  EscCmd& esc() { return esc_; }
  ExchangeLog& log() { return log_; }
  Messages& messages() { return msg_; }
  AppContext& context() { return ctx_; }
  const std::string& Language() const { return ctx_.Language; }
  QTabWidget* PageControl1() const { return page_control_; }
  // The status bar's short form of why the USB printer cannot be used (empty when it can).
  QLabel* UsbState() const { return usb_state_; }
  UsbPrinterMenu* PrinterMenu() const { return printer_menu_; }
  QTimer* Timer1() const { return timer1_; }
  // The page controllers and dialogs the subsystems registered.
  const GuiRegistry& registry() const { return registry_; }

  // Presence check run first by every handler that needs the printer: true when a USB
  // printer was found; otherwise shows MSG003 in a plain box and returns false.
  bool ShowUSBMessage(int unused = 0);
  // Waits ms milliseconds while the window keeps handling its events.
  void Delay(uint32_t ms);
  // A short note in the status bar stat1.
  void StatusNote(const QString& text);

 public slots:
  void Timer1Timer();
  // System menu.
  void BeforeReadUSB1Click();
  void DisableReadUSB1Click();
  void Comm1Click();
  void NetPrinter1Click();
  void Station1Click();
  void CreateLanguage1Click();
  // Language menu: the language of the next start.
  void CHS1Click();
  void EN1Click();
  // Bluetooth and RFID menus.
  void Bluetooth201Click();
  void BluetoothBLE1Click();
  void ESTT1Click();
  void PaperRoll1Click();
  // Page buttons that open dialogs.
  void btn_wifiClick();
  void btn49Click();
  void btn50Click();
  void btn51Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildUi();
  void BuildMenus();
  void FormCreate();
  void InstallControllers();
  void ApplyDefaultSize();
  void ChooseLanguage(const char* language);
  // Creates the registered dialog formName, localises it when it has a language file,
  // shows it modally and frees it; without one, says so in the status bar.
  void ShowDialog(const char* formName);

  TmainDeps deps_;
  std::unique_ptr<DialogPresenter> own_presenter_;
  std::unique_ptr<FileDialogs> own_files_;
  QtMessagePump pump_;
  ExchangeLog log_;
  PrinterLink link_;
  EscCmd esc_;
  AppContext ctx_;  // ctx_.Language is the window's Language
  MsgIni msg_;
  GuiRegistry registry_;
  std::vector<std::unique_ptr<QObject>> controllers_;
  QTabWidget* page_control_ = nullptr;
  QTimer* timer1_ = nullptr;
  QLabel* usb_state_ = nullptr;
  UsbPrinterMenu* printer_menu_ = nullptr;
  std::unique_ptr<UsbOpenNotice> usb_notice_;
};

// True for the dialogs that have their own language file.
bool IsLocalisedDialog(const std::string& formName);

}  // namespace quillon
