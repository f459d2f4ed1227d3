#include "settings/net_edit_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/gui_common.h"
#include "settings/net_records.h"

namespace quillon {

using namespace settings_gui;

namespace {

QLineEdit* MaskedEdit(QWidget* owner, const char* name) {
  auto* e = new QLineEdit(owner);
  e->setObjectName(QString::fromLatin1(name));
  e->setInputMask(QString::fromLatin1(kAddressInputMask));
  return e;
}

QLabel* Label(QWidget* owner, const char* name, const QString& caption) {
  auto* l = new QLabel(caption, owner);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

QPushButton* Button(QWidget* owner, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, owner);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

Tnet_edit::Tnet_edit(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  setObjectName("net_edit");
  setWindowTitle(QStringLiteral("网络打印机参数设置"));
  medt_ip = MaskedEdit(this, "medt_ip");
  medt_mask = MaskedEdit(this, "medt_mask");
  medt_gateway = MaskedEdit(this, "medt_gateway");
  chk_dhcp = new QCheckBox(QStringLiteral("是否开启DHCP"), this);
  chk_dhcp->setObjectName("chk_dhcp");

  auto* grid = new QGridLayout;
  grid->addWidget(Label(this, "lbl_ipaddr", QStringLiteral("IP地址:")), 0, 0);
  grid->addWidget(medt_ip, 0, 1);
  grid->addWidget(Label(this, "lbl1", QStringLiteral("子网掩码:")), 1, 0);
  grid->addWidget(medt_mask, 1, 1);
  grid->addWidget(Label(this, "lbl2", QStringLiteral("网关地址:")), 2, 0);
  grid->addWidget(medt_gateway, 2, 1);
  grid->addWidget(chk_dhcp, 3, 1);
  grid->addWidget(
      Label(this, "lbl3", QStringLiteral("*开启后,打印机将会自动向DHCP服务器\n申请IP地址上网")), 4,
      0, 1, 2);

  auto* btn3 = Button(this, "btn3", QStringLiteral("查询"));
  auto* btn1 = Button(this, "btn1", QStringLiteral("设置"));
  auto* btn2 = Button(this, "btn2", QStringLiteral("退出"));
  connect(btn3, &QPushButton::clicked, this, [this] { btn3Click(); });
  connect(btn1, &QPushButton::clicked, this, [this] { btn1Click(); });
  connect(btn2, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btn3);
  buttons->addWidget(btn1);
  buttons->addWidget(btn2);
  auto* v = new QVBoxLayout(this);
  v->addLayout(grid);
  v->addLayout(buttons);
  layout()->setSizeConstraint(QLayout::SetFixedSize);  // fits its captions in any language
}

void Tnet_edit::btn1Click() {
  Command command(ctx_);
  if (!command) return;
  std::string error;
  auto record = BuildNetPar(medt_ip->text().toStdString(), medt_mask->text().toStdString(),
                            medt_gateway->text().toStdString(), chk_dhcp->isChecked(), &error);
  if (!record) {  // a blank or non-numeric group: nothing is sent
    Show(ctx_, kMsgError, QString::fromStdString(error));
    return;
  }
  if (!PrinterPresent(ctx_)) return;
  if (ctx_.esc.cmd_net_set(1, *record)) {
    Show(ctx_, kMsgInfo, QStringLiteral("设置成功"));
  } else {
    Show(ctx_, kMsgWarning, QStringLiteral("获取信息失败"));
  }
}

void Tnet_edit::btn3Click() {
  Command command(ctx_);
  if (!command || !PrinterPresent(ctx_)) return;
  TNetPar net{};
  if (!ctx_.esc.cmd_net_set(0, net)) {
    Show(ctx_, kMsgWarning, QStringLiteral("获取信息失败"));
    return;
  }
  medt_ip->setText(QString::fromStdString(int2Ip(net.ip())));
  medt_mask->setText(QString::fromStdString(int2Ip(net.mask())));
  medt_gateway->setText(QString::fromStdString(int2Ip(net.gateway())));
  chk_dhcp->setChecked(net.dhcp() == 1);
}

}  // namespace quillon
