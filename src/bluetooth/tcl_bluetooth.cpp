// The classic Bluetooth tool window and its handlers.
#include "bluetooth/tcl_bluetooth.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "bluetooth/ansi_text.h"
#include "bluetooth/bt_bytes.h"
#include "bluetooth/gui_queue.h"
#include "bluetooth/service_images.h"

namespace quillon {
namespace {

constexpr int kDiscoveryTimeoutMs = 10000;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

QFrame* MakePanel(QWidget* parent, const char* name, int height) {
  auto* p = new QFrame(parent);
  p->setObjectName(QString::fromLatin1(name));
  p->setFixedHeight(height);
  return p;
}

}  // namespace

TclBluetooth::TclBluetooth(BtManager& manager, QWidget* parent)
    : QDialog(parent), FBluetoothManager(&manager), queue_(new GuiQueue(this)) {
  setObjectName(QStringLiteral("clBluetooth"));
  setWindowTitle(QStringLiteral("clBluetooth"));
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  BuildControls();
  setFixedSize(307, 440);
  ShowMessage = [this](const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
  };
  AskPin = [this](const QString& device) -> std::optional<QString> {
    bool ok = false;
    const QString pin = QInputDialog::getText(this, QStringLiteral("Pair"),
                                              QStringLiteral("PIN code for %1:").arg(device),
                                              QLineEdit::Normal, QStringLiteral("0000"), &ok);
    if (!ok) return std::nullopt;
    return pin;
  };
}

TclBluetooth::~TclBluetooth() {
  FBluetoothManager->CancelDiscovery();
  if (FAdapter) FAdapter->CancelPairing();
  DropConnection();
}

void TclBluetooth::BuildControls() {
  auto* pgc1 = new QTabWidget(this);
  pgc1->setObjectName(QStringLiteral("pgc1"));
  pgc1->setDocumentMode(true);
  pgc1->setStyleSheet(QStringLiteral("QTabBar::tab { height: 40px; }"));
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(pgc1);
  lbl_status = new QLabel(this);
  lbl_status->setObjectName(QStringLiteral("lbl_status"));
  lbl_status->setWordWrap(true);
  lbl_status->setContentsMargins(4, 0, 4, 2);
  top->addWidget(lbl_status);
  pgc1->addTab(BuildSettingPage(), QStringLiteral("Bluetooth Setting"));
  pgc1->addTab(BuildTransferPage(), QStringLiteral("Bluetooth Transfer"));
  ConnectHandlers();
}

// Page "Bluetooth Setting": discovery, pairing, the paired devices and their services.
QWidget* TclBluetooth::BuildSettingPage() {
  ts1 = new QWidget;
  ts1->setObjectName(QStringLiteral("ts1"));
  ButtonDiscover = MakeButton(ts1, "ButtonDiscover", "Discover devices");
  actvtyndctr1 = new QProgressBar(ts1);
  actvtyndctr1->setObjectName(QStringLiteral("actvtyndctr1"));
  actvtyndctr1->setTextVisible(false);
  actvtyndctr1->setRange(0, 1);  // a busy indicator while the range is 0..0; not animating
  actvtyndctr1->setVisible(false);
  btn3 = MakeButton(ts1, "btn3", "Pair");
  ComboboxDevices = new QComboBox(ts1);
  ComboboxDevices->setObjectName(QStringLiteral("ComboboxDevices"));
  ComboboxDevices->setEditable(true);
  ComboboxDevices->setInsertPolicy(QComboBox::NoInsert);
  ComboboxDevices->setEditText(QStringLiteral("Device list..."));
  btn2 = MakeButton(ts1, "btn2", "Paired Devices");
  btn4 = MakeButton(ts1, "btn4", "UnPair");
  ComboboxPaired = new QComboBox(ts1);
  ComboboxPaired->setObjectName(QStringLiteral("ComboboxPaired"));
  ComboboxPaired->setEditable(true);
  ComboboxPaired->setInsertPolicy(QComboBox::NoInsert);
  ComboboxPaired->setEditText(QStringLiteral("cbb1"));
  btn5 = MakeButton(ts1, "btn5", "Services");
  ListView1 = new QTreeWidget(ts1);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setRootIsDecorated(false);
  ListView1->setHeaderLabels({QStringLiteral("Service"), QStringLiteral("UUID")});
  ListView1->setColumnWidth(0, 100);
  ListView1->setColumnWidth(1, 180);

  auto* setting = new QVBoxLayout(ts1);
  auto* row1 = new QHBoxLayout;
  row1->addWidget(ButtonDiscover);
  row1->addWidget(actvtyndctr1);
  row1->addStretch();
  row1->addWidget(btn3);
  setting->addLayout(row1);
  setting->addWidget(ComboboxDevices);
  auto* row2 = new QHBoxLayout;
  row2->addWidget(btn2);
  row2->addStretch();
  row2->addWidget(btn4);
  setting->addLayout(row2);
  setting->addWidget(ComboboxPaired);
  setting->addWidget(btn5);
  setting->addWidget(ListView1, 1);
  return ts1;
}

// Page "Bluetooth Transfer": connect, the received and transmit boxes, send.
QWidget* TclBluetooth::BuildTransferPage() {
  ts2 = new QWidget;
  ts2->setObjectName(QStringLiteral("ts2"));
  auto* pnl2 = MakePanel(ts2, "pnl2", 41);
  btn8 = MakeButton(pnl2, "btn8", "Connect Bluetooth");
  btn9 = MakeButton(pnl2, "btn9", "DisConnect");
  auto* pnl2_layout = new QHBoxLayout(pnl2);
  pnl2_layout->addWidget(btn8);
  pnl2_layout->addWidget(btn9);

  auto* spl1 = new QSplitter(Qt::Vertical, ts2);
  spl1->setObjectName(QStringLiteral("spl1"));
  mmo2 = new QPlainTextEdit(spl1);
  mmo2->setObjectName(QStringLiteral("mmo2"));
  mmo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QPalette info = mmo2->palette();
  info.setColor(QPalette::Base, info.color(QPalette::ToolTipBase));
  mmo2->setPalette(info);
  mmo1 = new QPlainTextEdit(spl1);
  mmo1->setObjectName(QStringLiteral("mmo1"));
  mmo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mmo1->setPlainText(QStringLiteral("测试数据"));
  spl1->addWidget(mmo2);
  spl1->addWidget(mmo1);
  spl1->setSizes({177, 120});

  auto* pnl1 = MakePanel(ts2, "pnl1", 41);
  auto* bvl1 = new QFrame(pnl1);
  bvl1->setObjectName(QStringLiteral("bvl1"));
  bvl1->setFrameShape(QFrame::HLine);
  chk1 = new QCheckBox(QStringLiteral("HEX"), pnl1);
  chk1->setObjectName(QStringLiteral("chk1"));
  btn7 = MakeButton(pnl1, "btn7", "TX CLS");
  btn1 = MakeButton(pnl1, "btn1", "RX CLS");
  btn6 = MakeButton(pnl1, "btn6", "SEND");
  auto* pnl1_layout = new QVBoxLayout(pnl1);
  pnl1_layout->setContentsMargins(4, 0, 4, 2);
  pnl1_layout->addWidget(bvl1);
  auto* pnl1_row = new QHBoxLayout;
  pnl1_row->addWidget(chk1);
  pnl1_row->addWidget(btn7);
  pnl1_row->addWidget(btn1);
  pnl1_row->addWidget(btn6);
  pnl1_layout->addLayout(pnl1_row);

  auto* transfer = new QVBoxLayout(ts2);
  transfer->setContentsMargins(0, 0, 0, 0);
  transfer->addWidget(pnl2);
  transfer->addWidget(spl1, 1);
  transfer->addWidget(pnl1);
  return ts2;
}

void TclBluetooth::ConnectHandlers() {
  connect(ButtonDiscover, &QPushButton::clicked, this,
          [this] { Guarded([this] { ButtonDiscoverClick(); }); });
  connect(btn2, &QPushButton::clicked, this, [this] { Guarded([this] { btn2Click(); }); });
  connect(btn3, &QPushButton::clicked, this, [this] { Guarded([this] { btn3Click(); }); });
  connect(btn4, &QPushButton::clicked, this, [this] { Guarded([this] { btn4Click(); }); });
  connect(btn5, &QPushButton::clicked, this, [this] { Guarded([this] { btn5Click(); }); });
  connect(btn8, &QPushButton::clicked, this, [this] { Guarded([this] { btn8Click(); }); });
  connect(btn9, &QPushButton::clicked, this, [this] { Guarded([this] { btn9Click(); }); });
  connect(btn6, &QPushButton::clicked, this, [this] { Guarded([this] { btn6Click(); }); });
  connect(btn7, &QPushButton::clicked, this, [this] { btn7Click(); });
  connect(btn1, &QPushButton::clicked, this, [this] { btn1Click(); });
}

void TclBluetooth::Guarded(const std::function<void()>& handler) {
  ++handler_depth_;
  try {
    handler();
  } catch (const std::exception& e) {
    ShowMessage(QString::fromStdString(e.what()));
  }
  --handler_depth_;
  if (handler_depth_ == 0 && close_result_) done(*close_result_);
}

void TclBluetooth::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The window system's own show events (a restore from minimised) are no new showing.
  if (!event->spontaneous()) Guarded([this] { FormShow(); });
}

bool TclBluetooth::ManagerConnected() {
  return FBluetoothManager->ConnectionState();
}

void TclBluetooth::FormShow() {
  FAdapter = FBluetoothManager->CurrentAdapter();
  if (ManagerConnected()) {
    PairedDevices();
    if (ComboboxPaired->count() > 0) ComboboxPaired->setCurrentIndex(0);
  }
}

void TclBluetooth::PairedDevices() {
  ComboboxPaired->clear();
  if (!ManagerConnected()) return;
  FPairedDevices = FBluetoothManager->GetPairedDevices();
  if (FPairedDevices.empty()) {
    ComboboxPaired->addItem(QStringLiteral("No Paired Devices"));
  } else {
    for (const auto& device : FPairedDevices) {
      ComboboxPaired->addItem(QString::fromStdString(device->DeviceName()));
    }
  }
  ComboboxPaired->setCurrentIndex(-1);  // filling the list selects nothing
}

void TclBluetooth::ButtonDiscoverClick() {
  ButtonDiscover->setText(QStringLiteral("Discovering..."));
  ButtonDiscover->setEnabled(false);
  ComboboxDevices->clear();
  if (!ManagerConnected()) {
    // Nothing would ever end the discovery: say so now and give the button back.
    ButtonDiscover->setText(QStringLiteral("Discover devices"));
    ButtonDiscover->setEnabled(true);
    ComboboxDevices->setEditText(QStringLiteral("No Bluetooth adapter is present"));
    ShowMessage(QStringLiteral("No Bluetooth adapter is present (or it is switched off)."));
    return;
  }
  FAdapter = FBluetoothManager->CurrentAdapter();
  GuiQueue* queue = queue_;
  FBluetoothManager->StartDiscovery(kDiscoveryTimeoutMs, [this, queue](BtDeviceList devices) {
    queue->Post([this, devices = std::move(devices)] { DevicesDiscoveryEnd(devices); });
  });
}

void TclBluetooth::DevicesDiscoveryEnd(const BtDeviceList& devices) {
  ButtonDiscover->setText(QStringLiteral("Discover devices"));
  ButtonDiscover->setEnabled(true);
  actvtyndctr1->setRange(0, 1);
  actvtyndctr1->setVisible(false);
  FDiscoverDevices = devices;
  ComboboxDevices->clear();  // keeps the lines in step with FDiscoverDevices
  for (const auto& device : FDiscoverDevices) {
    ComboboxDevices->addItem(
        QString::fromStdString(device->DeviceName() + "  -> " + device->Address()));
  }
  ComboboxDevices->setCurrentIndex(ComboboxDevices->count() > 0 ? 0 : -1);
}

void TclBluetooth::btn2Click() {
  PairedDevices();
  ComboboxPaired->showPopup();
}

void TclBluetooth::btn3Click() {
  if (!ManagerConnected()) {
    SetStatus(QString::fromStdString(FBluetoothManager->Unavailable()));
    return;
  }
  const int index = ComboboxDevices->currentIndex();
  if (index < 0 || index >= static_cast<int>(FDiscoverDevices.size())) {
    ShowMessage(QStringLiteral("No device selected"));
    return;
  }
  FAdapter = FBluetoothManager->CurrentAdapter();
  if (!FAdapter) return;
  BtDevice& device = *FDiscoverDevices[static_cast<std::size_t>(index)];
  const QString name = QString::fromStdString(device.DeviceName());
  SetStatus(QStringLiteral("Pairing with %1...").arg(name));
  PairingEvents events;
  events.AskPin = [this, name]() -> std::optional<std::string> {
    ++handler_depth_;  // a close asked for while the question is open waits for the answer
    const std::optional<QString> pin = AskPin(name);
    --handler_depth_;
    if (handler_depth_ == 0 && close_result_) {
      QTimer::singleShot(0, this, [this] {
        if (handler_depth_ == 0 && close_result_) done(*close_result_);
      });
    }
    if (!pin) return std::nullopt;
    return pin->toStdString();
  };
  events.Finished = [this, name](PairingResult result, const std::string& detail) {
    SetStatus(PairingText(result, name, QString::fromStdString(detail)));
  };
  FAdapter->Pair(device, std::move(events));
}

QString TclBluetooth::PairingText(PairingResult result, const QString& name,
                                  const QString& detail) {
  switch (result) {
    case PairingResult::kPaired:
      return QStringLiteral("Paired with %1").arg(name);
    case PairingResult::kRefused:
      return QStringLiteral("Pairing with %1 refused").arg(name) +
             (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    case PairingResult::kTimedOut:
      return QStringLiteral("Pairing with %1 timed out").arg(name);
    case PairingResult::kFailed:
      break;
  }
  return QStringLiteral("Pairing with %1 failed: %2").arg(name, detail);
}

void TclBluetooth::btn4Click() {
  if (!ManagerConnected()) return;
  BtDevice* device = SelectedPairedDevice();
  if (!device) {
    ShowMessage(QStringLiteral("No Paired device selected"));
    return;
  }
  if (!FAdapter) FAdapter = FBluetoothManager->CurrentAdapter();
  if (FAdapter) FAdapter->UnPair(*device);
}

void TclBluetooth::btn5Click() {
  ListView1->clear();
  if (!ManagerConnected()) return;
  BtDevice* device = SelectedPairedDevice();
  if (!device) {
    ShowMessage(QStringLiteral("No paired device selected"));
    return;
  }
  for (const BtServiceRecord& service : device->GetServices()) {
    const QString name =
        service.Name.empty() ? QStringLiteral("<Unknown>") : QString::fromStdString(service.Name);
    auto* item =
        new QTreeWidgetItem(ListView1, {name, QString::fromStdString(UuidToText(service.UUID))});
    item->setData(0, Qt::UserRole, GetServiceImageIndex(service.UUID));
  }
}

BtDevice* TclBluetooth::SelectedPairedDevice() const {
  const int index = ComboboxPaired->currentIndex();
  if (index < 0 || index >= static_cast<int>(FPairedDevices.size())) return nullptr;
  return FPairedDevices[static_cast<std::size_t>(index)].get();
}

bool TclBluetooth::MakeConnection() {
  BtDevice* device = SelectedPairedDevice();
  if (!device) {
    ShowMessage(QStringLiteral("No paired device selected"));
    return false;
  }
  DropConnection();
  std::unique_ptr<BtSocket> socket = device->CreateClientSocket(kSppUuid, true);
  if (!socket) {
    ShowMessage(QStringLiteral("Out of time -15s-"));
    return false;
  }
  FSocket = std::move(socket);
  ItemIndex = ComboboxPaired->currentIndex();
  FSocket->Connect();  // a failure leaves the half-made connection in FSocket
  return true;
}

void TclBluetooth::btn8Click() {
  if (FSocket && ComboboxPaired->currentIndex() == ItemIndex) return;
  if (!MakeConnection()) return;
  StartReader();
}

void TclBluetooth::StartReader() {
  if (!FSocket || !FSocket->Connected()) return;
  FAdapter = FBluetoothManager->CurrentAdapter();
  std::unique_ptr<BtServerSocket> server;
  if (FAdapter) {
    try {
      server = FAdapter->CreateServerSocket("Basic Text Server", kSppUuid, false);
    } catch (const std::exception&) {
      // Only an announcement of the service; the connection reads fine without it.
    }
  }
  GuiQueue* queue = queue_;
  ServerConnectionTH = std::make_unique<TServerConnectionTH>(
      *FSocket, std::move(server), [this, queue](std::string line) {
        queue->Post([this, line = std::move(line)] {
          mmo2->appendPlainText(QString::fromStdString(line));
        });
      });
  ServerConnectionTH->Start();
}

void TclBluetooth::DropConnection() {
  if (ServerConnectionTH) {
    ServerConnectionTH->Stop();
    ServerConnectionTH.reset();
  }
  if (FSocket) {
    FSocket->Close();
    FSocket.reset();
  }
}

void TclBluetooth::btn9Click() {
  DropConnection();
}

void TclBluetooth::btn6Click() {
  if (!ManagerConnected()) return;
  try {
    SendData();
  } catch (const std::exception&) {
    // Sending fails silently; the user sees that nothing arrived.
  }
}

void TclBluetooth::SendData() {
  if (!(FSocket && ComboboxPaired->currentIndex() == ItemIndex)) {
    if (!MakeConnection()) return;
    StartReader();  // the replies of a connection made here are shown too
  }
  QString text = mmo1->toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  std::vector<std::uint8_t> bytes;
  size_t replaced = 0;
  if (chk1->isChecked()) {
    int len = 0;
    StrToBuf(text.toStdU16String(), bytes, len);
  } else {
    const std::string ansi = ToAnsi(text, &replaced);
    bytes.assign(ansi.begin(), ansi.end());
  }
  // The stack takes a zero-length write for a broken link: zero bytes are simply not sent.
  if (!bytes.empty()) FSocket->SendData(bytes);
  const QString note = ReplacedCharactersNote(replaced);
  if (!note.isEmpty()) SetStatus(note);
}

void TclBluetooth::SetStatus(const QString& text) {
  lbl_status->setText(text);
}

void TclBluetooth::btn7Click() {
  mmo1->clear();
}

void TclBluetooth::btn1Click() {
  mmo2->clear();
}

void TclBluetooth::done(int result) {
  if (handler_depth_ > 0) {
    // A handler is waiting inside the stack on a socket or agent; close when it returns.
    close_result_ = result;
    return;
  }
  close_result_.reset();
  // Closing the window ends its connection: the reader first, then the link.
  FBluetoothManager->CancelDiscovery();
  if (FAdapter) FAdapter->CancelPairing();
  DropConnection();
  QDialog::done(result);
}

}  // namespace quillon
