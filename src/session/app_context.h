// What the pages and dialogs of the program share: the link, the command builders,
// messages and the presence check. Tmain (GUI) and the CLI each own one.
#pragma once

#include <functional>
#include <string>

#include "core/file_dialogs.h"
#include "core/messages.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"

namespace quillon {

struct AppContext {
  PrinterLink& link;
  EscCmd& esc;
  Messages& messages;
  // ShowUSBMessage(0): true when the printer is reachable; otherwise tells the user.
  std::function<bool()> ShowUSBMessage;
  // Current language section of the language files ("CHS", "EN", ...).
  std::string Language = "CHS";
  // A short note in the main window's status bar (busy refusals, unavailable tools).
  std::function<void(const std::string&)> StatusNote;
  // File and picture open dialogs (null where the program has none, as in the CLI).
  FileDialogs* files = nullptr;
};

}  // namespace quillon
