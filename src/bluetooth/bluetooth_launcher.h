// Entry points of the main window's "Bluetooth(&B)" menu: each opens a new tool window modally
// over parent, on the system's Bluetooth stack.
#pragma once

class QWidget;

namespace quillon {

void ShowBluetoothClassic(QWidget* parent);
void ShowBluetoothBle(QWidget* parent);

}  // namespace quillon
