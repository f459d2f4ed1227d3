// One printer session of quillon-cli: the chosen link (USB, the built-in virtual printer,
// or a serial port), the exchange log, the command builders and the messages.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_output.h"
#include "core/messages.h"
#include "core/ulog.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "session/app_context.h"

namespace quillon::cli {

class LinkResources;  // backends and the serial component, per link kind

struct LinkOptions {
  enum class Kind { kUsb, kVirtual, kSerial, kNetwork } kind = Kind::kUsb;
  std::string usb_id;      // "VID:PID" overriding config.ini
  std::string usb_select;  // which of several printers: port path ("1-2.3") or serial number
  int virtual_count = 1;   // virtual printers on the virtual hub
  std::vector<std::string> vp_faults;  // "VP0002:unplug-after=5": fault switches per printer
  // Resources shared by the sessions of --each-usb (one backend, many links); null: own.
  std::shared_ptr<LinkResources> shared;
  std::string port;  // serial device path
  uint32_t baud = 115200;
  std::string tcp;             // network printer, HOST[:PORT]
  std::string home;            // folder of config.ini, language files and log/
  std::string paper;           // virtual printer: save the paper as PNG here at the end
  std::string state;           // virtual printer: state file kept across runs
  bool factory_state = false;  // virtual printer: factory state, nothing loaded or saved
  // How long a Bluetooth port may take to connect after the open.
  uint32_t connect_timeout_ms = 10000;
};

// Messages of the flows, printed through Output; texts from language_msg.ini in the
// language config.ini chooses (LANGUAGE, "CHS" when missing), as the window shows them.
class CliMessages final : public Messages {
 public:
  explicit CliMessages(Output& out);
  std::string Text(const std::string& key) override;
  int MSGDLG(int kind, const std::string& caption, const std::string& text) override;
  const std::string& language() const { return language_; }

 private:
  std::string language_;
  Output& out_;
};

// The USB identifiers searched for: config.ini's, overridden by --usb VID:PID; the virtual
// printer's own when neither names any.
std::pair<std::string, std::string> UsbIds(const LinkOptions& options,
                                           const std::string& config_file);

class Session {
 public:
  Session(const LinkOptions& options, Output& out);
  ~Session();

  // Prepares the link: finds the USB printer (or opens the serial port) and checks that
  // it can be opened. Returns kExitOk, or the exit code after printing why.
  int Connect(const std::string& command);
  // The presence check of the pages: printer reachable now.
  bool Present();

  PrinterLink& link() { return *link_; }
  EscCmd& esc() { return *esc_; }
  Messages& messages() { return messages_; }
  Output& out() { return out_; }
  const LinkOptions& options() const { return options_; }
  // Pause that keeps the serial notifications flowing.
  void Wait(uint32_t ms);
  // Waits until everything handed to the port has reached the printer (serial path). A
  // print command reports success only after this: returns kExitOk, or the exit code
  // after printing "N of M bytes were not delivered to the printer".
  int Deliver(const std::string& command);
  // Saves the virtual printer's paper when --paper was given; false with a message on error.
  bool Finish(const std::string& command);

  // The serial component's reopen/close, for the firmware flow (no-ops on USB).
  bool RestartSerial(std::string& error);
  void CloseSerial();
  // The context the flows and pages expect.
  AppContext& context() { return *ctx_; }

  // Describes a failed builder: "no reply", "bad checksum", ...
  std::string Why() const { return CmdFailureText(esc_->last_failure()); }

 private:
  LinkOptions options_;
  Output& out_;
  std::string config_file_;
  ExchangeLog log_;
  CliMessages messages_;
  std::shared_ptr<LinkResources> res_;
  std::unique_ptr<PrinterLink> link_;
  std::unique_ptr<EscCmd> esc_;
  std::unique_ptr<AppContext> ctx_;
  std::unique_ptr<PrinterLink::UsbHold> hold_;  // the device, open for the whole command
  bool finished_ = false;
};

}  // namespace quillon::cli
