// What each kind of link brings to a CLI session: a USB backend, the message pump the
// waits use, and for the serial path the open serial component.
#pragma once

#include <memory>
#include <string>

#include "cli/cli_session.h"
#include "link/comm_port.h"
#include "link/message_pump.h"
#include "link/usb_backend.h"

namespace quillon::cli {

class LinkResources {
 public:
  virtual ~LinkResources() = default;
  // nullptr with error set when the link cannot be prepared (e.g. serial port missing).
  static std::unique_ptr<LinkResources> Make(const LinkOptions& options, std::string* error);

  virtual UsbBackend& usb() = 0;
  virtual MessagePump& pump() = 0;
  // Called once the link object exists: the serial path opens its port and hooks it up.
  virtual bool Attach(PrinterLink& link, std::string* error) { return true; }
  // Serial path: the port is open; reopen it (StopComm, StartComm) or close it.
  virtual bool SerialOpen() const { return false; }
  virtual bool RestartSerial(std::string& error) { return true; }
  virtual void CloseSerial() {}
  // Network path: the connection is up.
  virtual bool NetConnected() const { return false; }
  // Virtual printer: save the paper (PNG) and the state file.
  virtual bool Finish(const LinkOptions& options, std::string* error) { return true; }
};

// The serial path: the port opened with the main window's line settings.
std::unique_ptr<LinkResources> MakeSerialResources(const LinkOptions& options, std::string* error);
// The network path: HOST[:PORT] of --tcp.
std::unique_ptr<LinkResources> MakeNetResources(const LinkOptions& options, std::string* error);

}  // namespace quillon::cli
