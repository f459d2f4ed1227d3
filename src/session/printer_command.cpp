#include "session/printer_command.h"

#include <cstring>

namespace quillon {

std::string BusyWhat(Messages& messages, const char* what_key) {
  struct Fallback {
    const char* key;
    const char* text;
  };
  static constexpr Fallback kFallbacks[] = {
      {msgkey::kBusyCommand, "a printer command"},
      {msgkey::kBusyFirmware, "firmware update"},
      {msgkey::kBusyFont, "font download"},
      {msgkey::kBusyPicture, "picture printing"},
      {msgkey::kBusyLogo, "boot logo"},
      {msgkey::kBusyText, "sending test output"},
  };
  const char* fallback = kFallbacks[0].text;
  for (const Fallback& f : kFallbacks) {
    if (std::strcmp(f.key, what_key) == 0) fallback = f.text;
  }
  return TextOr(messages, what_key, fallback);
}

std::string BusyNote(Messages& messages, const PrinterLink& link) {
  const std::string what =
      link.BusyWhat().empty() ? BusyWhat(messages, msgkey::kBusyCommand) : link.BusyWhat();
  return FillFields(TextOr(messages, msgkey::kBusy, "busy: {what}"), {{"what", what}});
}

PrinterCommand::PrinterCommand(AppContext& ctx, const char* what_key) {
  if (ctx.link.Busy()) {
    if (ctx.StatusNote) ctx.StatusNote(BusyNote(ctx.messages, ctx.link));
    return;
  }
  scope_.emplace(ctx.link, BusyWhat(ctx.messages, what_key));
}

}  // namespace quillon
