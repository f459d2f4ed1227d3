#include "app/tmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>

#include "app/language.h"
#include "app/pages.h"
#include "app/qt_dialogs.h"
#include "app/usb_notice.h"
#include "app/usb_printer_menu.h"
#include "core/file_locations.h"
#include "core/ini_file.h"
#include "core/message_text.h"
#include "core/sfunc.h"
#include "flash/page_flow_ui.h"
#include "link/net_settings.h"
#include "link/serial/serial_path.h"
#include "session/printer_command.h"

namespace quillon {
namespace {

constexpr int kPresenceIntervalMs = 1000;
constexpr int kStatusNoteMs = 5000;

Clock& ClockOf(const TmainDeps& deps) {
  return deps.clock ? *deps.clock : SystemClock();
}

}  // namespace

bool IsLocalisedDialog(const std::string& formName) {
  return formName == "wifi" || formName == "net_edit" || formName == "serial_number";
}

Tmain::Tmain(TmainDeps deps, QWidget* parent)
    : QMainWindow(parent),
      deps_(std::move(deps)),
      own_presenter_(deps_.dialogs ? nullptr : std::make_unique<QtDialogPresenter>(this)),
      own_files_(deps_.files ? nullptr : std::make_unique<QtFileDialogs>(this)),
      log_(Files().ConfigFile(), Files().StateFolder()),
      link_(*deps_.usb, ClockOf(deps_), pump_, &log_),
      esc_(link_),
      ctx_{link_, esc_, msg_, [this] { return ShowUSBMessage(0); }, "CHS", {}, nullptr},
      msg_(Files().LanguageReadOrder("language_msg.ini"), ctx_.Language,
           deps_.dialogs ? *deps_.dialogs : *own_presenter_) {
  setObjectName("main");
  ctx_.StatusNote = [this](const std::string& text) { StatusNote(QString::fromStdString(text)); };
  ctx_.files = deps_.files ? deps_.files : own_files_.get();
  // A long wait for the printer is never silent: the status bar says what it waits for.
  link_.OnLongWait = [this](const std::string& text) {
    if (text.empty()) {
      statusBar()->clearMessage();
    } else {
      statusBar()->showMessage(QString::fromStdString(text));
    }
  };
  BuildUi();
  usb_notice_ = std::make_unique<UsbOpenNotice>(link_, msg_, [this](const std::string& text) {
    usb_state_->setText(QString::fromStdString(text));
  });
  link_.on_usb_open_failed = [this] { usb_notice_->OpenFailed(); };
  link_.on_usb_command_ok = [this] { usb_notice_->CommandOk(); };
  FormCreate();
  InstallControllers();
  ApplyDefaultSize();
  // The presence poll runs from creation to the end; its first tick comes one interval on.
  timer1_->start();
}

Tmain::~Tmain() {
  timer1_->stop();
  link_.on_usb_open_failed = nullptr;
  link_.on_usb_command_ok = nullptr;
  controllers_.clear();  // controllers go before the pages they point into
}

void Tmain::BuildUi() {
  setWindowTitle("QL4.0");
  page_control_ = new QTabWidget(this);
  page_control_->setObjectName("PageControl1");
  page_control_->setDocumentMode(true);  // flat tabs
  struct PageDef {
    QWidget* (*build)(QWidget*);
    const char* caption;
    QStyle::StandardPixmap icon;
  };
  const PageDef pages[] = {
      {BuildFirmwarePage, "固件更新", QStyle::SP_ArrowUp},
      {BuildFontPage, "字库更新", QStyle::SP_FileDialogContentsView},
      {BuildSettingsPage, "参数设置", QStyle::SP_FileDialogDetailedView},
      {BuildPrintTestPage, "打印测试", QStyle::SP_FileIcon},
      {BuildOemPage, "OEM区", QStyle::SP_ComputerIcon},
      {BuildFontEditPage, "字库修改", QStyle::SP_DialogSaveButton},
  };
  for (const PageDef& p : pages)
    page_control_->addTab(p.build(page_control_), style()->standardIcon(p.icon), p.caption);
  setCentralWidget(page_control_);

  // stat1: two narrow panels the program leaves empty; notes show as temporary messages.
  QStatusBar* bar = statusBar();
  bar->setObjectName("stat1");
  // Unnamed, so the language files leave it alone: its texts come from the message file.
  usb_state_ = new QLabel(bar);
  bar->addWidget(usb_state_);
  for (int i = 0; i < 2; ++i) {
    auto* panel = new QLabel(bar);
    panel->setMinimumWidth(50);
    bar->addPermanentWidget(panel);
  }

  BuildMenus();

  // Esc stops the running flow, as the pages' Stop buttons do (a firmware update asks first).
  auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  stop->setObjectName("EscStop");
  connect(stop, &QShortcut::activated, this, [this] { RequestFlowStop(link_, this); });

  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(kPresenceIntervalMs);
  connect(timer1_, &QTimer::timeout, this, &Tmain::Timer1Timer);

  // The page buttons that open dialogs belong to the window itself.
  const std::pair<const char*, void (Tmain::*)()> openers[] = {
      {"btn_wifi", &Tmain::btn_wifiClick},
      {"btn49", &Tmain::btn49Click},
      {"btn50", &Tmain::btn50Click},
      {"btn51", &Tmain::btn51Click},
  };
  for (const auto& [name, slot] : openers) {
    if (auto* b = findChild<QPushButton*>(name)) connect(b, &QPushButton::clicked, this, slot);
  }
}

void Tmain::ApplyDefaultSize() {
  // The design's client area, grown to what the captions of the language in use need and
  // kept within the screen.
  QSize size(624, 429 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  size = size.expandedTo(sizeHint());
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen) size = size.boundedTo(screen->availableGeometry().size());
  resize(size);
  if (screen) move(screen->availableGeometry().center() - rect().center());
}

void Tmain::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("mm1");
  auto item = [this](QMenu* menu, const char* name, const QString& text, void (Tmain::*slot)()) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  QMenu* system = bar->addMenu("System(&S)");
  system->setObjectName("System1");
  item(system, "BeforeReadUSB1", "BeforeReadUSB", &Tmain::BeforeReadUSB1Click);
  item(system, "DisableReadUSB1", "DisableReadUSB", &Tmain::DisableReadUSB1Click);
  printer_menu_ = new UsbPrinterMenu(system, link_);
  system->addSeparator();
  item(system, "Comm1", "SerialPort Config", &Tmain::Comm1Click);
  item(system, "NetPrinter1", QStringLiteral("Network printer\u2026"), &Tmain::NetPrinter1Click);
  item(system, "Station1", QStringLiteral("Production station\u2026"), &Tmain::Station1Click);
  system->addSeparator();
  item(system, "CreateLanguage1", "Create Language", &Tmain::CreateLanguage1Click);
  system->addSeparator();
  QAction* exit = system->addAction("Exit(&E)");
  exit->setObjectName("Exit1");
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* language = bar->addMenu("Language(&L)");
  language->setObjectName("Language1");
  item(language, "CHS1", "CHS", &Tmain::CHS1Click);
  item(language, "EN1", "EN", &Tmain::EN1Click);

  QMenu* bluetooth = bar->addMenu("Bluetooth(&B)");
  bluetooth->setObjectName("Bluetooth1");
  item(bluetooth, "Bluetooth201", "Bluetooth 2.0", &Tmain::Bluetooth201Click);
  item(bluetooth, "BluetoothBLE1", "Bluetooth BLE", &Tmain::BluetoothBLE1Click);

  QMenu* rfid = bar->addMenu("RFID(&R)");
  rfid->setObjectName("RFID1");
  item(rfid, "ESTT1", "TEST(&T)", &Tmain::ESTT1Click);
  item(rfid, "PaperRoll1", "Paper Roll", &Tmain::PaperRoll1Click);
}

void Tmain::FormCreate() {
  IniFile config(Files().ConfigFile());
  link_.SetUsbIds(config.ReadString("SYSTEM", "USB_VID", ""),
                  config.ReadString("SYSTEM", "USB_PID", ""));
  ctx_.Language = config.ReadString("SYSTEM", "LANGUAGE", "CHS");
  log_.init_log();
  link_.SetBeforeReadUSB(false);
  // msgini (language_msg.ini) is read afresh by msg_ at every use.
  Language_Set(this, ctx_.Language);
  link_.SetUseCommPort(false);
}

void Tmain::InstallControllers() {
  if (deps_.install)
    deps_.install(registry_);
  else
    InstallSubsystemGui(registry_);
  for (const auto& [name, factory] : registry_.pages()) {
    QWidget* page = name == "main" ? this : findChild<QWidget*>(QString::fromStdString(name));
    if (!page) continue;
    if (std::unique_ptr<QObject> controller = factory(page, ctx_))
      controllers_.push_back(std::move(controller));
  }
}

bool Tmain::ShowUSBMessage(int) {
  // On the network the printer is there when it takes a connection, which then serves the
  // command; otherwise the user learns which address did not answer.
  if (link_.UseNetwork()) {
    if (link_.OpenUsb()) return true;
    msg_.MSGDLG(kMsgPlain, "", link_.LastOpenError());
    return false;
  }
  // Over the serial path the printer is reachable while the port is open.
  if (link_.UseCommPort() ? SerialLinkReady(link_) : link_.USB().isFindPrint) return true;
  msg_.MSGDLG(kMsgPlain, "", msg_.Text("MSG003"));
  return false;
}

void Tmain::Delay(uint32_t ms) {
  quillon::Delay(link_.clock(), pump_, ms);
}

void Tmain::StatusNote(const QString& text) {
  statusBar()->showMessage(text, kStatusNoteMs);
}

void Tmain::Timer1Timer() {
  if (!link_.UseCommPort()) printer_menu_->Refresh();
  link_.FindPrinter();
  const bool present = link_.UseNetwork()    ? NetLinkAnswered(link_)
                       : link_.UseCommPort() ? SerialLinkReady(link_)
                                             : link_.USB().isFindPrint;
  const char* key = present ? "MSG001" : "MSG002";
  QString caption =
      QStringLiteral("QL4.0--[") + QString::fromStdString(msg_.Text(key)) + QStringLiteral("]");
  // The caption also says when the serial path, not USB, is the link.
  if (link_.UseNetwork()) {
    caption += QStringLiteral(" (network)");
  } else if (link_.UseCommPort()) {
    caption += QLatin1Char(' ') +
               QString::fromStdString(TextOr(msg_, msgkey::kSerialCaption, "(serial port)"));
  }
  setWindowTitle(caption);
}

void Tmain::BeforeReadUSB1Click() {
  link_.SetBeforeReadUSB(true);
}
void Tmain::DisableReadUSB1Click() {
  link_.SetBeforeReadUSB(false);
}

void Tmain::CreateLanguage1Click() {
  if (msg_.MSGDLG(kMsgQuestion, "", "Do you want to create the language file?") != kMsgResultOk)
    return;
  Language_Create(this);
  for (const char* form : {"net_edit", "wifi", "serial_number"}) {
    const DialogFactory* factory = registry_.dialog(form);
    if (!factory) continue;
    std::unique_ptr<QDialog> dialog = (*factory)(this, ctx_);
    if (!dialog) continue;
    if (dialog->objectName().isEmpty()) dialog->setObjectName(form);
    Language_Create(dialog.get());
  }
}

void Tmain::ChooseLanguage(const char* language) {
  const FileLocations files = Files();
  std::string error;
  // Installed use: the user's config.ini starts as the shipped one, so the rest is kept.
  if (!files.PrepareUserFiles(&error)) StatusNote(QString::fromStdString(error));
  if (!IniFile(files.ConfigFile()).WriteString("SYSTEM", "LANGUAGE", language)) {
    msg_.MSGDLG(kMsgWarning, "", "The language could not be saved in " + files.ConfigFile());
    return;
  }
  // Shown in the language in use; the new one applies from the next start.
  msg_.MSGDLG(kMsgInfo, "", msg_.Text("MSG031"));
}

void Tmain::CHS1Click() {
  ChooseLanguage("CHS");
}
void Tmain::EN1Click() {
  ChooseLanguage("EN");
}

void Tmain::ShowDialog(const char* formName) {
  if (const WindowOpener* opener = registry_.opener(formName)) {
    (*opener)(this, ctx_);
    return;
  }
  const DialogFactory* factory = registry_.dialog(formName);
  std::unique_ptr<QDialog> dialog = factory ? (*factory)(this, ctx_) : nullptr;
  if (!dialog) {
    StatusNote(QString::fromStdString(
        FillFields(TextOr(msg_, msgkey::kNotAvailable, "{what}: not available in this build"),
                   {{"what", formName}})));
    return;
  }
  if (dialog->objectName().isEmpty()) dialog->setObjectName(formName);
  if (IsLocalisedDialog(formName)) Language_Set(dialog.get(), ctx_.Language);
  dialog->setModal(true);
  dialog->exec();
}

void Tmain::Comm1Click() {
  ShowDialog("CommPort");
}
void Tmain::NetPrinter1Click() {
  ShowDialog("NetPrinter");
}
void Tmain::Station1Click() {
  ShowDialog("station");
}
void Tmain::Bluetooth201Click() {
  ShowDialog("clBluetooth");
}
void Tmain::BluetoothBLE1Click() {
  ShowDialog("clBluetooth_BLE");
}
void Tmain::ESTT1Click() {
  ShowDialog("rfid_test");
}
void Tmain::PaperRoll1Click() {
  ShowDialog("Paper_roll");
}
void Tmain::btn_wifiClick() {
  ShowDialog("wifi");
}
void Tmain::btn49Click() {
  ShowDialog("net_edit");
}
void Tmain::btn50Click() {
  ShowDialog("serial_number");
}
void Tmain::btn51Click() {
  ShowDialog("Font_ADJ_8M_KX");
}

void Tmain::closeEvent(QCloseEvent* event) {
  // Closing in the middle of a flash or download would leave the printer half written and
  // the flow running on a closing window: the window stays until the command has finished.
  if (link_.Busy()) {
    StatusNote(QString::fromStdString(BusyNote(msg_, link_)));
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

}  // namespace quillon
