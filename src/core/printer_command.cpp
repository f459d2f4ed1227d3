#include "core/printer_command.h"

namespace quillon {

std::string BusyNote(const std::string& language) {
  if (language == "CHS") return "打印机正忙：请等待当前操作完成";
  return "Printer busy: wait until the current operation has finished";
}

PrinterCommand::PrinterCommand(AppContext& ctx) {
  if (ctx.link.Busy()) {
    if (ctx.StatusNote) ctx.StatusNote(BusyNote(ctx.Language));
    return;
  }
  scope_.emplace(ctx.link);
}

}  // namespace quillon
