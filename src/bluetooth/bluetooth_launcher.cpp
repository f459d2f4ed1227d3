// Opens the Bluetooth tool windows on the system's stack.
#include "bluetooth/bluetooth_launcher.h"

#include "bluetooth/qt_bluetooth.h"
#include "bluetooth/tcl_bluetooth.h"
#include "bluetooth/tcl_bluetooth_ble.h"

namespace quillon {

void ShowBluetoothClassic(QWidget* parent) {
  const std::unique_ptr<BtManager> manager = CreateSystemBtManager();
  TclBluetooth clBluetooth(*manager, parent);
  clBluetooth.exec();
}

void ShowBluetoothBle(QWidget* parent) {
  const std::unique_ptr<BleScanner> scanner = CreateSystemBleScanner();
  TclBluetooth_BLE clBluetooth_BLE(*scanner, parent);
  clBluetooth_BLE.exec();
}

}  // namespace quillon
