// The parameter settings page: query and set of every printer parameter, the factory
// reset, the Bluetooth fields and the printer information. Finds its controls on the page
// by object name.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "session/app_context.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

namespace quillon {

class SettingsPageController : public QObject {
  Q_OBJECT
 public:
  // send_test_text runs the print test page's send button (used after a Bluetooth name
  // was set with chk_print_test ticked). Empty: the window's button named btn_send is
  // pressed when there is one.
  SettingsPageController(QWidget* page, AppContext& ctx, std::function<void()> send_test_text);

  // Byte settings: query / set.
  void btn1Click();  // language
  void btn2Click();
  void btn4Click();  // command set
  void btn5Click();
  void btn6Click();  // paper type
  void btn7Click();
  void btn8Click();  // print speed
  void btn9Click();
  void btn10Click();  // print density
  void btn11Click();
  void btn12Click();  // character set
  void btn13Click();
  void btn41Click();  // sleep time
  void btn42Click();
  void btn3Click();  // factory settings
  // Text settings.
  void btn14Click();  // printer information
  void btn15Click();  // Bluetooth name
  void btn16Click();
  void btn17Click();  // pairing code
  void btn18Click();
  void btn19Click();  // Bluetooth address

 private:
  using ByteBuilder = bool (EscCmd::*)(uint8_t, uint8_t&);
  using TextBuilder = bool (EscCmd::*)(uint8_t, std::string&);
  void ByteQuery(QComboBox* combo, ByteBuilder builder);
  void ByteSet(QComboBox* combo, ByteBuilder builder);
  // Queries a text and hands it (UTF-8) to show; false when the command failed.
  bool TextQuery(TextBuilder builder, const std::function<void(const QString&)>& show);
  // Sends text; false when it was refused before sending or the command failed (the
  // message has been shown).
  bool TextSet(const QString& text, TextBuilder builder);
  void SendTestText();

  QWidget* page_;
  AppContext& ctx_;
  std::function<void()> send_test_text_;
};

// Installs the controller on page TabSheet3; the caller keeps it for the run.
std::unique_ptr<QObject> InstallSettingsPage(QWidget* page, AppContext& ctx,
                                             std::function<void()> send_test_text = {});

}  // namespace quillon
