#include "cli/cli_session.h"

#include "cli/cli_link_resources.h"
#include "cli/cli_stop.h"
#include "cli/commands.h"
#include "core/file_locations.h"
#include "core/ini_file.h"
#include "core/sfunc.h"

namespace quillon::cli {
CliMessages::CliMessages(Output& out)
    : language_(IniFile(Files().ConfigFile()).ReadString("SYSTEM", "LANGUAGE", "CHS")), out_(out) {}

std::string CliMessages::Text(const std::string& key) {
  return ReadStringInOrder(Files().LanguageReadOrder("language_msg.ini"), language_, key, "ERROR");
}

int CliMessages::MSGDLG(int kind, const std::string& caption, const std::string& text) {
  if (kind < 0 || kind > 5) return -1;
  out_.Info(text);
  return 1;  // no one to ask: questions are settled by command-line flags beforehand
}

Session::Session(const LinkOptions& options, Output& out)
    : options_(options),
      out_(out),
      config_file_(Files().ConfigFile()),
      log_(config_file_, Files().StateFolder()),
      messages_(out) {
  log_.init_log();
  if (!options_.shared) LoadCodePageSetting(options_);  // --each-usb loads it once
  if (out_.mode().verbose) {
    log_.echo = [this](int32_t kind, const std::string& text) {
      if (kind == 2) out_.Verbose("TXD " + text);
      if (kind == 1) out_.Verbose("RXD " + text);
    };
  }
}

Session::~Session() {
  hold_.reset();  // the device is closed before the virtual printer's state is saved
  if (!options_.shared) WatchStop(nullptr);
  Finish("paper");
}

std::pair<std::string, std::string> UsbIds(const LinkOptions& options,
                                           const std::string& config_file) {
  IniFile config(config_file);
  std::string vid = config.ReadString("SYSTEM", "USB_VID", "");
  std::string pid = config.ReadString("SYSTEM", "USB_PID", "");
  if (!options.usb_id.empty()) {
    auto colon = options.usb_id.find(':');
    vid = options.usb_id.substr(0, colon);
    pid = colon == std::string::npos ? "" : options.usb_id.substr(colon + 1);
  }
  if (options.kind == LinkOptions::Kind::kVirtual && vid.empty()) {
    vid = "c0de";
    pid = "7001";
  }
  return {vid, pid};
}

int Session::Connect(const std::string& command) {
  std::string error;
  const auto [vid, pid] = UsbIds(options_, config_file_);
  if (options_.shared) {
    res_ = options_.shared;
    finished_ = true;  // whoever shares the resources saves the virtual printers
  } else {
    // The virtual printer shows itself with the identifiers the link looks for.
    LinkOptions resolved = options_;
    if (options_.kind == LinkOptions::Kind::kVirtual) resolved.usb_id = vid + ":" + pid;
    res_ = LinkResources::Make(resolved, &error);
  }
  if (!res_) return out_.Fail(command, kExitNoPrinter, error);
  link_ = std::make_unique<PrinterLink>(res_->usb(), SystemClock(), res_->pump(), &log_);
  // Sessions sharing resources (--each-usb) share the pump; its owner watches the signals,
  // so one printer's end does not leave the others deaf to a stop.
  if (!options_.shared) WatchStop(&res_->pump().stop());
  // A wait longer than a moment says what it waits for.
  link_->OnLongWait = [this](const std::string& text) {
    if (!text.empty()) out_.Info(text);
  };
  esc_ = std::make_unique<EscCmd>(*link_);
  ctx_ =
      std::make_unique<AppContext>(AppContext{*link_, *esc_, messages_,
                                              [this] {
                                                if (Present()) return true;
                                                messages_.MSGDLG(0, "", messages_.Text("MSG003"));
                                                return false;
                                              },
                                              messages_.language()});

  link_->SetUsbIds(vid, pid);
  link_->SetUsbChoice(options_.usb_select);

  if (options_.kind == LinkOptions::Kind::kSerial) {
    if (!res_->Attach(*link_, &error)) return out_.Fail(command, kExitNoPrinter, error);
    link_->SetUseCommPort(true);
    return kExitOk;
  }
  if (options_.kind == LinkOptions::Kind::kNetwork) {
    if (!res_->Attach(*link_, &error)) return out_.Fail(command, kExitNoPrinter, error);
    return kExitOk;
  }
  if (vid.empty() || pid.empty()) {
    return out_.Fail(command, kExitNoPrinter,
                     "no USB identifiers: set USB_VID and USB_PID in " + config_file_ +
                         " or pass --usb VID:PID");
  }
  link_->FindPrinter();
  if (!link_->USB().isFindPrint) {
    return out_.Fail(command, kExitNoPrinter,
                     "no printer found (looking for a USB device vid_" + vid + "&pid_" + pid +
                         (options_.usb_select.empty() ? "" : " at " + options_.usb_select) + ")");
  }
  // The device stays open (its interface claimed) for the whole command, so a kernel
  // driver detached for it is not re-attached between the command's exchanges.
  hold_ = std::make_unique<PrinterLink::UsbHold>(*link_);
  if (!link_->USB().hDevHandle) {
    hold_.reset();
    return out_.Fail(command, kExitNoPrinter,
                     "the printer was found but cannot be opened: " + link_->LastOpenError());
  }
  if (!link_->UsbRoute().empty())
    out_.Verbose("USB " + link_->USB().PrintAddr + ": " + link_->UsbRoute());
  return kExitOk;
}

bool Session::Present() {
  if (link_->UseCommPort()) return res_->SerialOpen();
  // On the network the printer is there when a connection is up or can be made.
  if (link_->UseNetwork()) return res_->NetConnected() || link_->OpenUsb();
  link_->FindPrinter();
  return link_->USB().isFindPrint;
}

bool Session::RestartSerial(std::string& error) {
  return res_->RestartSerial(error);
}
void Session::CloseSerial() {
  res_->CloseSerial();
}

int Session::Deliver(const std::string& command) {
  if (!res_) return kExitOk;
  const std::string lost = res_->Deliver();
  return lost.empty() ? kExitOk : out_.Fail(command, kExitPrinterFailed, lost);
}

void Session::Wait(uint32_t ms) {
  Delay(link_->clock(), link_->pump(), ms);
}

bool Session::Finish(const std::string& command) {
  if (!res_ || finished_) return true;
  finished_ = true;
  std::string error;
  if (!res_->Finish(options_, &error)) {
    out_.Fail(command, kExitBadInput, error);
    return false;
  }
  return true;
}

}  // namespace quillon::cli
