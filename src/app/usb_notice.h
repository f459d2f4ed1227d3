// Why the USB printer cannot be used, told once per cause in a message box with its remedy,
// and kept in short form in the status bar until a command goes through.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>

#include "core/messages.h"
#include "link/printer_link.h"

namespace quillon {

class UsbOpenNotice {
 public:
  // status shows a short text for good (empty: clear it).
  UsbOpenNotice(PrinterLink& link, Messages& messages,
                std::function<void(const std::string&)> status);

  // The link's last open failed: the box the first time this cause is seen, the status text.
  void OpenFailed();
  // A command went through: the cause is gone; a new failure is told again.
  void CommandOk();

  // The box text and the status text of the link's last open failure.
  std::pair<std::string, std::string> Texts();

 private:
  std::string Text(const char* key, const char* fallback);

  PrinterLink& link_;
  Messages& messages_;
  std::function<void(const std::string&)> status_;
  std::set<std::pair<int, int>> told_;  // (error kind, holder) told since the last success
  bool showing_ = false;
};

}  // namespace quillon
