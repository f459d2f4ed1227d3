// The busy guard: one printer command or flow at a time. Waits inside an exchange keep the
// window processing its messages, so without it a second click could start a command that
// overwrites the shared packet and reply buffers of the one in progress.
#pragma once

#include <optional>

#include "core/message_text.h"
#include "session/app_context.h"

namespace quillon {

// Usage in a handler that talks to the printer:
//   PrinterCommand command(ctx);
//   if (!command) return;   // another command runs; the user was told in the status bar
// The link counts as busy until the guard goes out of scope. what_key names the operation
// (message key) for the note a refused click shows.
class PrinterCommand {
 public:
  explicit PrinterCommand(AppContext& ctx, const char* what_key = msgkey::kBusyCommand);
  PrinterCommand(const PrinterCommand&) = delete;
  PrinterCommand& operator=(const PrinterCommand&) = delete;

  explicit operator bool() const { return scope_.has_value(); }

 private:
  std::optional<PrinterLink::BusyScope> scope_;
};

// The name of the operation behind what_key, in the language of the message file.
std::string BusyWhat(Messages& messages, const char* what_key);
// "busy: <what is running>", the note shown when a command is refused because another one
// holds the link.
std::string BusyNote(Messages& messages, const PrinterLink& link);

}  // namespace quillon
