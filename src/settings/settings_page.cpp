#include "settings/settings_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

#include "core/ansi_codepage.h"
#include "core/codepage_warning.h"
#include "settings/ansi_text.h"
#include "settings/gui_common.h"

namespace quillon {

using namespace settings_gui;

namespace {

QString FromPrinter(const std::string& ansi) {
  // Printers pad some texts with zero bytes; they are not part of the text.
  std::string_view v(ansi);
  while (!v.empty() && v.back() == '\0') v.remove_suffix(1);
  return QString::fromStdString(FromAnsiText(v));
}

}  // namespace

SettingsPageController::SettingsPageController(QWidget* page, AppContext& ctx,
                                               std::function<void()> send_test_text)
    : page_(page), ctx_(ctx), send_test_text_(std::move(send_test_text)) {
  OnClick(page, this, "btn1", [this] { btn1Click(); });
  OnClick(page, this, "btn2", [this] { btn2Click(); });
  OnClick(page, this, "btn3", [this] { btn3Click(); });
  OnClick(page, this, "btn4", [this] { btn4Click(); });
  OnClick(page, this, "btn5", [this] { btn5Click(); });
  OnClick(page, this, "btn6", [this] { btn6Click(); });
  OnClick(page, this, "btn7", [this] { btn7Click(); });
  OnClick(page, this, "btn8", [this] { btn8Click(); });
  OnClick(page, this, "btn9", [this] { btn9Click(); });
  OnClick(page, this, "btn10", [this] { btn10Click(); });
  OnClick(page, this, "btn11", [this] { btn11Click(); });
  OnClick(page, this, "btn12", [this] { btn12Click(); });
  OnClick(page, this, "btn13", [this] { btn13Click(); });
  OnClick(page, this, "btn14", [this] { btn14Click(); });
  OnClick(page, this, "btn15", [this] { btn15Click(); });
  OnClick(page, this, "btn16", [this] { btn16Click(); });
  OnClick(page, this, "btn17", [this] { btn17Click(); });
  OnClick(page, this, "btn18", [this] { btn18Click(); });
  OnClick(page, this, "btn19", [this] { btn19Click(); });
  OnClick(page, this, "btn41", [this] { btn41Click(); });
  OnClick(page, this, "btn42", [this] { btn42Click(); });
  for (QComboBox* combo : page->findChildren<QComboBox*>()) TrackUserChoice(combo);
}

void SettingsPageController::ByteQuery(QComboBox* combo, ByteBuilder builder) {
  Command command(ctx_);
  if (!command || !combo || !PrinterPresent(ctx_)) return;
  uint8_t value = 0;
  if (!(ctx_.esc.*builder)(0, value)) {
    ShowKey(ctx_, kMsgWarning, "MSG017");
    return;
  }
  if (ctx_.esc.ret.size == 0) return;  // acknowledged without a value: nothing to show
  // A value the box has no item for leaves no item chosen.
  combo->setCurrentIndex(value < combo->count() ? value : -1);
}

void SettingsPageController::ByteSet(QComboBox* combo, ByteBuilder builder) {
  Command command(ctx_);
  if (!command || !combo || !PrinterPresent(ctx_)) return;
  uint8_t value = static_cast<uint8_t>(ChosenIndex(combo) & 0xFF);  // none chosen: 0xFF
  if ((ctx_.esc.*builder)(1, value)) {
    ShowKey(ctx_, kMsgInfo, "MSG018");
  } else {
    ShowKey(ctx_, kMsgWarning, "MSG017");
  }
}

#define QUILLON_BYTE_PAIR(query, set, combo, builder)                 \
  void SettingsPageController::query() {                              \
    ByteQuery(page_->findChild<QComboBox*>(combo), &EscCmd::builder); \
  }                                                                   \
  void SettingsPageController::set() {                                \
    ByteSet(page_->findChild<QComboBox*>(combo), &EscCmd::builder);   \
  }
QUILLON_BYTE_PAIR(btn1Click, btn2Click, "cbb_language", cmd_language)
QUILLON_BYTE_PAIR(btn4Click, btn5Click, "cbb_cmdmode", cmd_cmdmode)
QUILLON_BYTE_PAIR(btn6Click, btn7Click, "cbb_tagmode", cmd_tagmode)
QUILLON_BYTE_PAIR(btn8Click, btn9Click, "cbb_stepmode", cmd_stepmode)
QUILLON_BYTE_PAIR(btn10Click, btn11Click, "cbb_blackness", cmd_blackness)
QUILLON_BYTE_PAIR(btn12Click, btn13Click, "cbb_charset", cmd_charset)
QUILLON_BYTE_PAIR(btn41Click, btn42Click, "cbb_sleep", cmd_sleepmode)
#undef QUILLON_BYTE_PAIR

void SettingsPageController::btn3Click() {
  Command command(ctx_);
  if (!command || !PrinterPresent(ctx_)) return;
  if (ctx_.messages.MSGDLG(kMsgQuestion, "", ctx_.messages.Text("MSG025")) != kMsgResultOk) {
    return;
  }
  if (ctx_.esc.cmd_init_syspar()) {
    ShowKey(ctx_, kMsgInfo, "MSG027");
  } else {
    ShowKey(ctx_, kMsgWarning, "MSG026");
  }
}

bool SettingsPageController::TextQuery(TextBuilder builder,
                                       const std::function<void(const QString&)>& show) {
  Command command(ctx_);
  if (!command || !PrinterPresent(ctx_)) return false;
  std::string value;
  if (!(ctx_.esc.*builder)(0, value)) {
    ShowKey(ctx_, kMsgWarning, "MSG017");
    return false;
  }
  show(FromPrinter(value));
  return true;
}

bool SettingsPageController::TextSet(const QString& text, TextBuilder builder) {
  size_t replaced = 0;
  std::string bytes = ToAnsiText(text.toStdString(), &replaced);
  if (bytes.size() > kMaxPacketData) {
    Show(ctx_, kMsgWarning,
         Say(ctx_, msgkey::kTextTooLong,
             QStringLiteral("文本太长：%1 字节，一个数据包最多 %2 字节。未发送。"),
             QStringLiteral("The text is too long: %1 bytes, one packet carries at most %2 "
                            "bytes. Nothing was sent."))
             .arg(bytes.size())
             .arg(kMaxPacketData));
    return false;
  }
  if (!(ctx_.esc.*builder)(1, bytes)) {
    ShowKey(ctx_, kMsgWarning, "MSG017");
    return false;
  }
  WarnReplacedCharacters(ctx_.messages, replaced, AnsiCodePage());
  return true;
}

void SettingsPageController::btn14Click() {
  TextQuery(&EscCmd::cmd_sys_info, [this](const QString& text) {
    if (auto* memo = page_->findChild<QPlainTextEdit*>("mmo_info")) {
      memo->setPlainText(text);
    } else if (auto* rich = page_->findChild<QTextEdit*>("mmo_info")) {
      rich->setPlainText(text);
    }
  });
}

#define QUILLON_TEXT_QUERY(handler, edit, builder)                        \
  void SettingsPageController::handler() {                                \
    TextQuery(&EscCmd::builder, [this](const QString& text) {             \
      if (auto* e = page_->findChild<QLineEdit*>(edit)) e->setText(text); \
    });                                                                   \
  }
QUILLON_TEXT_QUERY(btn15Click, "edt_blue_name", cmd_blue_name)
QUILLON_TEXT_QUERY(btn17Click, "edt_blue_pin", cmd_blue_pin)
QUILLON_TEXT_QUERY(btn19Click, "edt_blue_mac", cmd_blue_mac)
#undef QUILLON_TEXT_QUERY

void SettingsPageController::btn18Click() {
  Command command(ctx_);
  auto* edit = page_->findChild<QLineEdit*>("edt_blue_pin");
  if (!command || !edit || !PrinterPresent(ctx_)) return;
  if (TextSet(edit->text(), &EscCmd::cmd_blue_pin)) ShowKey(ctx_, kMsgInfo, "MSG018");
}

void SettingsPageController::btn16Click() {
  auto* edit = page_->findChild<QLineEdit*>("edt_blue_name");
  auto* init_box = page_->findChild<QCheckBox*>("chk_init_printer");
  auto* test_box = page_->findChild<QCheckBox*>("chk_print_test");
  if (!edit) return;
  bool init = false;
  {
    Command command(ctx_);
    if (!command || !PrinterPresent(ctx_)) return;
    if (!TextSet(edit->text(), &EscCmd::cmd_blue_name)) return;
    init = init_box && init_box->isChecked();
    if (init && !ctx_.esc.cmd_init_syspar()) {
      ShowKey(ctx_, kMsgWarning, "MSG017");  // the name was accepted: carry on
    }
  }
  // The information query and the test text run as commands of their own, each with its
  // own presence check and messages.
  if (init) btn14Click();
  if (test_box && test_box->isChecked()) SendTestText();
  ShowKey(ctx_, kMsgInfo, "MSG018");
}

void SettingsPageController::SendTestText() {
  if (send_test_text_) {
    send_test_text_();
    return;
  }
  QWidget* window = page_->window();
  if (auto* send = window ? window->findChild<QPushButton*>("btn_send") : nullptr) send->click();
}

std::unique_ptr<QObject> InstallSettingsPage(QWidget* page, AppContext& ctx,
                                             std::function<void()> send_test_text) {
  return std::make_unique<SettingsPageController>(page, ctx, std::move(send_test_text));
}

}  // namespace quillon
