// The status line of the print test page: the printer's real-time status in words, with a
// button that asks the printer again.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "protocol/printer_status.h"
#include "session/app_context.h"

class QWidget;

namespace quillon {

// "Printer status: not ready - cover open, paper out" in the language of the messages.
std::string StatusLineText(const PrinterStatus& status, Messages& messages);

// Controller of page ts1's lbl_status and btn_status.
std::unique_ptr<QObject> InstallPrinterStatusLine(QWidget* page, AppContext& ctx);

}  // namespace quillon
