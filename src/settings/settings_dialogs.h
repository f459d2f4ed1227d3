// Opening the dialogs of the settings subsystem: each call creates a fresh dialog, shows
// it modally and frees it when it closes.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "session/app_context.h"

class QWidget;

namespace quillon {

std::unique_ptr<QDialog> CreateWifiDialog(QWidget* parent, AppContext& ctx);
std::unique_ptr<QDialog> CreateNetEditDialog(QWidget* parent, AppContext& ctx);
std::unique_ptr<QDialog> CreateSerialNumberDialog(QWidget* parent, AppContext& ctx);
std::unique_ptr<QDialog> CreatePaperRollDialog(QWidget* parent, AppContext& ctx);
std::unique_ptr<QDialog> CreateRfidTestDialog(QWidget* parent, AppContext& ctx);

// localise: applied to the Wi-Fi, wired network and serial number dialogs right after
// creation (the window's language file); may be empty.
using Localise = std::function<void(QDialog*)>;
void ShowWifiDialog(QWidget* parent, AppContext& ctx, const Localise& localise = {});
void ShowNetEditDialog(QWidget* parent, AppContext& ctx, const Localise& localise = {});
void ShowSerialNumberDialog(QWidget* parent, AppContext& ctx, const Localise& localise = {});
void ShowPaperRollDialog(QWidget* parent, AppContext& ctx);
void ShowRfidTestDialog(QWidget* parent, AppContext& ctx);

}  // namespace quillon
