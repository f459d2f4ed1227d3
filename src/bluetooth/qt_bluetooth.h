// The system's Bluetooth stack for the tools: Qt Bluetooth over the Bluetooth service, or a
// stack without a radio when this build has no Qt Bluetooth.
#pragma once

#include <memory>

#include "bluetooth/bluetooth_api.h"

namespace quillon {

std::unique_ptr<BtManager> CreateSystemBtManager();
std::unique_ptr<BleScanner> CreateSystemBleScanner();

}  // namespace quillon
