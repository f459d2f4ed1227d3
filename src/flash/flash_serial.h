// The serial port component as the newer firmware flow reopens and closes it.
#pragma once

#include "flash/flash_common.h"
#include "link/printer_link.h"

namespace quillon {

// Control of the link's serial port (cm_spcomm), looked up when used, so a port attached
// after the page was built is found. Does nothing while the link has no serial component.
SerialPortControl SerialControlFor(PrinterLink& link);

}  // namespace quillon
