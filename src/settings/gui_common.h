// Small helpers the settings page and dialogs share: finding controls by object name,
// the one-command-at-a-time guard, the presence check and messages.
#pragma once

#include <QComboBox>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "core/app_context.h"
#include "core/printer_command.h"

namespace quillon::settings_gui {

// Connects the clicked signal of the button named name (if the page has one) to handler.
template <typename Handler>
void OnClick(QWidget* page, QObject* owner, const char* name, Handler handler) {
  if (auto* b = page->findChild<QPushButton*>(QString::fromLatin1(name))) {
    QObject::connect(b, &QPushButton::clicked, owner, handler);
  }
}

// Holds the link for one printer command; false when another command is running (the
// user is told in the status bar).
using Command = PrinterCommand;

// ShowUSBMessage(0): true when a printer is present (it has told the user otherwise).
inline bool PrinterPresent(AppContext& ctx) {
  return !ctx.ShowUSBMessage || ctx.ShowUSBMessage();
}

// A message by key from the message file, shown with the application title as caption.
inline void ShowKey(AppContext& ctx, int kind, const char* key) {
  ctx.messages.MSGDLG(kind, "", ctx.messages.Text(key));
}
inline int Show(AppContext& ctx, int kind, const QString& text) {
  return ctx.messages.MSGDLG(kind, "", text.toStdString());
}
// A message of our own in the current language (Chinese unless English is in use).
inline QString Say(const AppContext& ctx, const QString& chinese, const QString& english) {
  return ctx.Language == "EN" ? english : chinese;
}

// The combo's item index as the printer sees it: -1 when no item is chosen, including
// when free text typed into the edit field no longer shows the chosen item.
inline int ChosenIndex(const QComboBox* combo) {
  const int index = combo->currentIndex();
  if (index < 0) return -1;
  if (combo->isEditable() && combo->currentText() != combo->itemText(index)) return -1;
  return index;
}

// Whole decimal number within the 32-bit signed range, as the numeric edits demand.
std::optional<int32_t> ParseInt32(const QString& text);
// The conversion error shown for a numeric edit that holds something else.
QString NotAnInteger(const AppContext& ctx, const QString& text);

}  // namespace quillon::settings_gui
