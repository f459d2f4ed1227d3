#include "settings/wifi_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ansi_codepage.h"
#include "core/codepage_warning.h"
#include "settings/ansi_text.h"
#include "settings/gui_common.h"
#include "settings/net_records.h"

namespace quillon {

using namespace settings_gui;

namespace {

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLineEdit* AddRow(QGridLayout* grid, QWidget* owner, const char* label, const QString& caption,
                  const char* edit, const QString& text) {
  const int row = grid->rowCount();
  grid->addWidget(Named(new QLabel(caption, owner), label), row, 0);
  auto* e = Named(new QLineEdit(text, owner), edit);
  grid->addWidget(e, row, 1);
  return e;
}

}  // namespace

Twifi::Twifi(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("wifi");
  setWindowTitle(QStringLiteral("WIFI参数配置"));

  auto* grp1 = Named(new QGroupBox(QStringLiteral("WIFI基本配置"), this), "grp1");
  auto* g1 = new QGridLayout(grp1);
  edt_ssid = AddRow(g1, grp1, "lbl1", QStringLiteral("路由器名称:"), "edt_ssid", "KORVALSMART");
  edt_password =
      AddRow(g1, grp1, "lbl2", QStringLiteral("路由器密码:"), "edt_password", "quorbelin");
  chk_DHCP = Named(new QCheckBox(QStringLiteral("使能DHCP"), grp1), "chk_DHCP");
  chk_DHCP->setChecked(true);
  g1->addWidget(chk_DHCP, g1->rowCount(), 1);
  edt_IP = AddRow(g1, grp1, "lbl3", QStringLiteral("IP地址："), "edt_IP", "192.168.1.201");
  edt_mask = AddRow(g1, grp1, "lbl5", QStringLiteral("子网掩码："), "edt_mask", "255.255.255.0");
  edt_gateway =
      AddRow(g1, grp1, "lbl4", QStringLiteral("本地网关："), "edt_gateway", "192.168.1.1");
  edt_dns = AddRow(g1, grp1, "lbl6", QStringLiteral("DNS："), "edt_dns", "192.168.1.1");

  auto* grp2 = Named(new QGroupBox(QStringLiteral("云打印参数"), this), "grp2");
  auto* g2 = new QGridLayout(grp2);
  edt_serverip = AddRow(g2, grp2, "lbl7", QStringLiteral("服务器IP地址："), "edt_serverip",
                        QString::fromLatin1(kDefaultServerIp));
  edt_serverport =
      AddRow(g2, grp2, "lbl8", QStringLiteral("服务器端口："), "edt_serverport", "61613");

  auto* btn2 = Named(new QPushButton(QStringLiteral("设置参数"), this), "btn2");
  auto* btn1 = Named(new QPushButton(QStringLiteral("关闭(&C)"), this), "btn1");
  auto* btn_init =
      Named(new QPushButton(QStringLiteral("1B F0 WIFI模块出厂设置"), this), "btn_init");
  for (QPushButton* b : {btn2, btn1, btn_init}) b->setAutoDefault(false);
  connect(btn2, &QPushButton::clicked, this, [this] { btn2Click(); });
  connect(btn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(btn_init, &QPushButton::clicked, this, [this] { btn_initClick(); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btn_init);
  buttons->addStretch(1);
  buttons->addWidget(btn2);
  buttons->addWidget(btn1);
  auto* v = new QVBoxLayout(this);
  v->addWidget(grp1);
  v->addWidget(grp2);
  v->addLayout(buttons);
  layout()->setSizeConstraint(QLayout::SetFixedSize);  // fits its captions in any language
}

void Twifi::btn2Click() {
  Command command(ctx_);
  if (!command) return;
  WifiTexts t;
  size_t replaced = 0;
  t.ssid = ToAnsiText(edt_ssid->text().toStdString(), &replaced);
  t.password = ToAnsiText(edt_password->text().toStdString(), &replaced);
  t.ip = ToAnsiText(edt_IP->text().toStdString(), &replaced);
  t.mask = ToAnsiText(edt_mask->text().toStdString(), &replaced);
  t.gateway = ToAnsiText(edt_gateway->text().toStdString(), &replaced);
  t.dns = ToAnsiText(edt_dns->text().toStdString(), &replaced);
  t.server_ip = ToAnsiText(edt_serverip->text().toStdString(), &replaced);
  auto port = ParseInt32(edt_serverport->text());
  if (!port) {
    Show(ctx_, kMsgError, NotAnInteger(ctx_, edt_serverport->text()));
    return;
  }
  std::string error;
  auto record = BuildWifiPar(t, chk_DHCP->isChecked(), *port, &error);
  if (!record) {  // a text longer than its field: refused before anything is sent
    Show(ctx_, kMsgWarning, QString::fromStdString(error));
    return;
  }
  if (!PrinterPresent(ctx_)) return;
  if (ctx_.esc.cmd_wifi_set(1, *record)) {
    Show(ctx_, kMsgInfo, QStringLiteral("设置成功"));
    WarnReplacedCharacters(ctx_.messages, replaced, AnsiCodePage());
  } else {
    Show(ctx_, kMsgWarning, QStringLiteral("获取信息失败"));
  }
}

void Twifi::btn_initClick() {
  Command command(ctx_);
  if (!command) return;
  static const uint8_t kReset[2] = {0x1B, 0xF0};
  ctx_.link.OpenUsb();
  ctx_.link.SendAndRecv(kReset, 2, {}, 0, 0);
  ctx_.link.CloseUSB();
}

}  // namespace quillon
