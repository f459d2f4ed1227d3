// The low-energy scan window: lists the address of every device a 50-second scan finds.
#pragma once

#include <QDialog>

#include "bluetooth/bluetooth_api.h"

class QPlainTextEdit;
class QPushButton;

namespace quillon {

class GuiQueue;

class TclBluetooth_BLE : public QDialog {
  Q_OBJECT
 public:
  TclBluetooth_BLE(BleScanner& ble_service, QWidget* parent = nullptr);
  ~TclBluetooth_BLE() override;

  void btn1Click();
  void ble_serviceDiscoverLEDevice(const std::string& address);
  // error: why the scan ended early, shown before "end."; "" for a scan that ran its time.
  void ble_serviceEndDiscoverDevices(const std::string& error = {});

  void done(int result) override;

 private:
  BleScanner& ble_service;
  QPushButton* btn1;
  QPlainTextEdit* mmo1;
  GuiQueue* queue_;
};

}  // namespace quillon
