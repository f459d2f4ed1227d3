#include "settings/serial_number_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

#include "core/ansi_codepage.h"
#include "core/codepage_warning.h"
#include "settings/ansi_text.h"
#include "settings/gui_common.h"

namespace quillon {

using namespace settings_gui;

Tserial_number::Tserial_number(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("serial_number");
  setWindowTitle(QStringLiteral("生产序列号"));
  auto* lbl1 = new QLabel(QStringLiteral("产品序列号:"), this);
  lbl1->setObjectName("lbl1");
  edt_sno = new QLineEdit(this);
  edt_sno->setObjectName("edt_sno");
  auto* btn_read = new QPushButton(QStringLiteral("查询当前序号"), this);
  btn_read->setObjectName("btn_read");
  auto* btn_write = new QPushButton(QStringLiteral("写入生产序号"), this);
  btn_write->setObjectName("btn_write");
  for (QPushButton* b : {btn_read, btn_write}) b->setAutoDefault(false);
  connect(btn_read, &QPushButton::clicked, this, [this] { btn_readClick(); });
  connect(btn_write, &QPushButton::clicked, this, [this] { btn_writeClick(); });

  auto* grid = new QGridLayout(this);
  grid->addWidget(lbl1, 0, 0);
  grid->addWidget(edt_sno, 0, 1, 1, 2);
  grid->addWidget(btn_read, 1, 1);
  grid->addWidget(btn_write, 1, 2);
  layout()->setSizeConstraint(QLayout::SetFixedSize);  // fits its captions in any language
}

void Tserial_number::btn_readClick() {
  Command command(ctx_);
  if (!command || !PrinterPresent(ctx_)) return;
  std::string value;
  if (!ctx_.esc.cmd_serial_number(0, value)) {
    Show(ctx_, kMsgWarning, QStringLiteral("获取信息失败"));
    return;
  }
  std::string_view text(value);
  text = text.substr(0, text.find('\0'));  // sent with its terminating zero byte
  edt_sno->setText(QString::fromStdString(FromAnsiText(text)));
}

void Tserial_number::btn_writeClick() {
  Command command(ctx_);
  if (!command) return;
  if (edt_sno->text().isEmpty()) {
    Show(ctx_, kMsgInfo, QStringLiteral("请输入生产序号"));
    return;
  }
  size_t replaced = 0;
  std::string bytes = ToAnsiText(edt_sno->text().toStdString(), &replaced);
  if (bytes.size() > kMaxSerialNumber) {
    Show(ctx_, kMsgWarning,
         Say(ctx_, "MSG123", QStringLiteral("生产序号太长：%1 字节，最多 %2 字节。未写入。"),
             QStringLiteral("The serial number is too long: %1 bytes, at most %2 fit. "
                            "Nothing was written."))
             .arg(bytes.size())
             .arg(kMaxSerialNumber));
    return;
  }
  if (!PrinterPresent(ctx_)) return;
  if (ctx_.esc.cmd_serial_number(1, bytes)) {
    Show(ctx_, kMsgInfo, QStringLiteral("设置成功"));
    WarnReplacedCharacters(ctx_.messages, replaced, AnsiCodePage());
  } else {
    Show(ctx_, kMsgWarning, QStringLiteral("获取信息失败"));
  }
}

}  // namespace quillon
