// Small helpers the settings page and dialogs share: finding controls by object name,
// the one-command-at-a-time guard, the presence check and messages.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "session/app_context.h"
#include "session/printer_command.h"

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
// A message of our own: its text from the message file (key), or the built-in text of the
// current language (Chinese unless English is in use) when the file lacks the key.
inline QString Say(const AppContext& ctx, const char* key, const QString& chinese,
                   const QString& english) {
  const QString fallback = ctx.Language == "EN" ? english : chinese;
  return QString::fromStdString(TextOr(ctx.messages, key, fallback.toStdString()));
}

// The combo's item index as the printer sees it. An editable box means what it shows: the
// index of the item whose text equals the box's text, -1 when no item has that text (typed
// text that was never completed to an item). A box that starts with a text but no item
// chosen (the sleep box) stays at -1 until the user picks or types something.
inline constexpr char kUserTouched[] = "quillonUserTouched";
inline int ChosenIndex(const QComboBox* combo) {
  if (!combo->isEditable()) return combo->currentIndex();
  if (combo->currentIndex() < 0 && !combo->property(kUserTouched).toBool()) return -1;
  return combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}
// Marks the box as touched once the user types into it or picks an item (see ChosenIndex).
inline void TrackUserChoice(QComboBox* combo) {
  auto touched = [combo] { combo->setProperty(kUserTouched, true); };
  QObject::connect(combo, &QComboBox::activated, combo, touched);
  if (combo->lineEdit())
    QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, combo, touched);
}

// Whole decimal number within the 32-bit signed range, as the numeric edits demand.
std::optional<int32_t> ParseInt32(const QString& text);
// The conversion error shown for a numeric edit that holds something else.
QString NotAnInteger(const AppContext& ctx, const QString& text);

}  // namespace quillon::settings_gui
