// The low-energy scan window and its handlers.
#include "bluetooth/tcl_bluetooth_ble.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "bluetooth/gui_queue.h"

namespace quillon {
namespace {
constexpr int kScanTimeoutMs = 50000;
}

TclBluetooth_BLE::TclBluetooth_BLE(BleScanner& scanner, QWidget* parent)
    : QDialog(parent), ble_service(scanner), queue_(new GuiQueue(this)) {
  setObjectName(QStringLiteral("clBluetooth_BLE"));
  setWindowTitle(QStringLiteral("Bluetooth_BLE"));
  btn1 = new QPushButton(QStringLiteral("btn1"), this);
  btn1->setObjectName(QStringLiteral("btn1"));
  mmo1 = new QPlainTextEdit(this);
  mmo1->setObjectName(QStringLiteral("mmo1"));
  mmo1->setPlainText(QStringLiteral("mmo1"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(btn1, 0, Qt::AlignLeft);
  layout->addWidget(mmo1, 1);
  setFixedSize(323, 426);
  connect(btn1, &QPushButton::clicked, this, [this] { btn1Click(); });
}

TclBluetooth_BLE::~TclBluetooth_BLE() {
  ble_service.Stop();
}

void TclBluetooth_BLE::btn1Click() {
  GuiQueue* queue = queue_;
  std::string error;
  const bool started = ble_service.DiscoverDevices(
      kScanTimeoutMs,
      [this, queue](const std::string& address) {
        queue->Post([this, address] { ble_serviceDiscoverLEDevice(address); });
      },
      [this, queue](const std::string& why) {
        queue->Post([this, why] { ble_serviceEndDiscoverDevices(why); });
      },
      &error);
  if (started) {
    mmo1->appendPlainText(QStringLiteral("OK"));
  } else if (!error.empty()) {
    // The stack refused the scan (an adapter without low energy): say why, and that it is over.
    ble_serviceEndDiscoverDevices(error);
  }
}

void TclBluetooth_BLE::ble_serviceDiscoverLEDevice(const std::string& address) {
  mmo1->appendPlainText(QString::fromStdString(address));
}

void TclBluetooth_BLE::ble_serviceEndDiscoverDevices(const std::string& error) {
  if (!error.empty()) mmo1->appendPlainText(QString::fromStdString(error));
  mmo1->appendPlainText(QStringLiteral("end."));
}

void TclBluetooth_BLE::done(int result) {
  ble_service.Stop();
  QDialog::done(result);
}

}  // namespace quillon
