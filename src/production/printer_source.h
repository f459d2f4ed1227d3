// Where a station's printers come from and how a unit reaches its printer: USB printers
// as they are plugged in (libusb hot-plug, else a look at the bus every second), virtual
// printers that arrive one after another, or the one printer a command-line session chose.
// A source is used by the station's watcher thread (List, WaitForChange, Finished) and by
// one worker thread per port (Open and everything on the UnitLink it returns).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "session/app_context.h"
#include "flash/flash_common.h"
#include "link/message_pump.h"

namespace quillon {
class UsbBackend;
}

namespace quillon::production {

// A printer present at a port.
struct PortInfo {
  std::string port;        // the key: USB port path ("1-2.3"), serial device, network address
  std::string link;        // "usb", "virtual", "serial", "tcp"
  std::string usb_serial;  // the USB device's serial number; empty when none
  std::string path;        // what the backend opens (USB device path)
};

// One unit's own link to its printer: a PrinterLink with its command builders, messages
// and presence check, used by one thread only.
class UnitLink {
 public:
  virtual ~UnitLink() = default;
  // The link, the builders and the messages the flows expect.
  virtual AppContext& context() = 0;
  // The stop request every wait of this link obeys (an immediate station stop sets it).
  StopRequest& stop() { return context().link.pump().stop(); }
  // The serial path's reopen and close around a firmware update; nothing elsewhere.
  virtual SerialPortControl serial_control() { return {}; }
  // Waits until everything handed to the link has reached the printer: "" when it has,
  // else what was lost (serial path).
  virtual std::string Deliver() { return ""; }
};

class PrinterSource {
 public:
  virtual ~PrinterSource() = default;
  // The printers present now.
  virtual std::vector<PortInfo> List() = 0;
  // Returns when the bus may have changed, when stop is requested, or after at most
  // max_wait_ms (hot-plug events, or a plain pause where the platform has none).
  virtual void WaitForChange(uint32_t max_wait_ms, const StopRequest& stop) = 0;
  // A link of its own to the printer at port; null with error when it cannot be opened.
  virtual std::unique_ptr<UnitLink> Open(const PortInfo& port, std::string* error) = 0;
  // The station is done with the printer at port (its unit ended). A virtual bench takes
  // the printer away then, as an operator would; real printers ignore it.
  virtual void Finished(const PortInfo& port) {}
  // No printer can arrive any more (a virtual bench whose printers have all come and
  // gone); a station then ends by itself. Real buses never run out.
  virtual bool Exhausted() { return false; }
};

// A pause for a source without events of its own: max_wait_ms, ended early by stop.
void PauseWatchingStop(uint32_t max_wait_ms, const StopRequest& stop);

// USB printers with the identifiers vid and pid ("1fc9", "2016") on backend, which outlives
// the source. Exchanges are logged as config.ini's LOG section says. link names the kind in
// records; "usb" watches the system's bus for hot-plug events, any other kind (a virtual
// hub) is only looked at.
std::unique_ptr<PrinterSource> MakeUsbPrinterSource(UsbBackend& backend, const std::string& vid,
                                                    const std::string& pid,
                                                    const std::string& link = "usb");

// A bench of virtual printers: count printers (serial numbers VP0001...) arrive one after
// another, at most ports at a time (ports 99-1...), arrival_gap_ms apart; each leaves when
// its unit ends and the next takes its port. state_folder (empty: none) keeps each
// printer's state in VP0001.state... as the other commands do. faults: "VP0003:unplug-after=40",
// "VP0002:drop-code=A7", "VP0002:refuse-text-sets".
struct VirtualBench {
  int count = 1;
  int ports = 8;
  uint32_t arrival_gap_ms = 200;
  // A printer whose unit ended stays plugged in this long before it is taken away, so a
  // window shows its result as an operator would see it; 0: taken away at once.
  uint32_t linger_ms = 0;
  std::string vid = "c0de", pid = "7001";
  std::string state_folder;
  std::vector<std::string> faults;
};
// null with error for a fault switch that names no printer or no fault.
std::unique_ptr<PrinterSource> MakeVirtualPrinterSource(const VirtualBench& bench,
                                                        std::string* error);

}  // namespace quillon::production
