// The busy guard: one printer command or flow at a time. Waits inside an exchange keep the
// window processing its messages, so without it a second click could start a command that
// overwrites the shared packet and reply buffers of the one in progress.
#pragma once

#include <optional>

#include "core/app_context.h"

namespace quillon {

// Usage in a handler that talks to the printer:
//   PrinterCommand command(ctx);
//   if (!command) return;   // another command runs; the user was told in the status bar
// The link counts as busy until the guard goes out of scope.
class PrinterCommand {
 public:
  explicit PrinterCommand(AppContext& ctx);
  PrinterCommand(const PrinterCommand&) = delete;
  PrinterCommand& operator=(const PrinterCommand&) = delete;

  explicit operator bool() const { return scope_.has_value(); }

 private:
  std::optional<PrinterLink::BusyScope> scope_;
};

// The note shown when a command is refused because another one is running.
std::string BusyNote(const std::string& language);

}  // namespace quillon
