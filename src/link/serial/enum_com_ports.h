// The serial ports present on this machine, by the names StartComm accepts.
#pragma once

#include <string>
#include <vector>

namespace quillon {

// Replaces ports with the serial ports found under root ("/" normally; tests pass a fake
// tree): /sys/class/tty entries backed by a device (ttyUSB*, ttyACM*, and ttyS* whose UART
// exists) and the Bluetooth RFCOMM ports /dev/rfcomm*. Sorted ignoring letter case,
// character by character. When the tty class cannot be read, ports is left as it was.
// Windows: the ports registered under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (a root other
// than "/" names a key under HKEY_CURRENT_USER laid out the same way, for tests).
void EnumComPorts(std::vector<std::string>& ports, const std::string& root = "/");

// Ascending, ignoring ASCII letter case, character by character ("COM10" < "COM3").
bool ComNameLess(const std::string& a, const std::string& b);

}  // namespace quillon
