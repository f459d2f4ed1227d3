#include "app/net_printer_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/net_settings.h"
#include "session/printer_command.h"

namespace quillon {
namespace {

template <typename W>
W* Make(QWidget* parent, const char* name, const std::string& text = {}) {
  W* widget = new W(QString::fromStdString(text), parent);
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

TNetPrinter::TNetPrinter(AppContext& ctx, TcpLink& net, std::string config_path, QWidget* parent)
    : QDialog(parent), ctx_(ctx), net_(net), config_path_(std::move(config_path)) {
  setObjectName(QStringLiteral("NetPrinter"));
  setWindowTitle(QString::fromStdString(Text("NET_TITLE", "Network printer")));
  setModal(true);
  const NetSettings s = LoadNetSettings(config_path_);
  lbl_host = Make<QLabel>(this, "lbl_host", Text("NET_HOST", "Host:"));
  edt_host = Make<QLineEdit>(this, "edt_host", s.host);
  edt_host->setPlaceholderText(QStringLiteral("192.168.1.50"));
  lbl_port = Make<QLabel>(this, "lbl_port", Text("NET_PORT", "Port:"));
  edt_port = Make<QLineEdit>(this, "edt_port", std::to_string(s.port));
  edt_port->setValidator(new QIntValidator(1, 65535, edt_port));
  chk_UseNetwork = Make<QCheckBox>(this, "chk_UseNetwork",
                                   Text("NET_USE", "Use the network printer for transmission"));
  chk_UseNetwork->setChecked(ctx_.link.UseNetwork());
  lbl_result = Make<QLabel>(this, "lbl_result");
  lbl_result->setWordWrap(true);
  btn_test = Make<QPushButton>(this, "btn_test", Text("NET_TEST", "Test"));
  btn_ok = Make<QPushButton>(this, "btn_ok", Text("NET_OK", "OK"));
  btn_close = Make<QPushButton>(this, "btn_close", Text("NET_CLOSE", "Close"));

  auto* grid = new QGridLayout;
  grid->addWidget(lbl_host, 0, 0);
  grid->addWidget(edt_host, 0, 1);
  grid->addWidget(lbl_port, 1, 0);
  grid->addWidget(edt_port, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btn_test);
  buttons->addStretch(1);
  buttons->addWidget(btn_ok);
  buttons->addWidget(btn_close);
  auto* v = new QVBoxLayout(this);
  v->addLayout(grid);
  v->addWidget(chk_UseNetwork);
  v->addWidget(lbl_result);
  v->addLayout(buttons);
  resize(425, sizeHint().height());

  connect(btn_test, &QPushButton::clicked, this, &TNetPrinter::btn_testClick);
  connect(btn_ok, &QPushButton::clicked, this, &TNetPrinter::btn_okClick);
  connect(btn_close, &QPushButton::clicked, this, &QDialog::reject);
}

std::string TNetPrinter::Text(const char* key, const char* fallback) {
  const std::string text = ctx_.messages.Text(key);
  return text.empty() || text == "ERROR" ? fallback : text;
}

std::optional<NetAddress> TNetPrinter::EnteredAddress() {
  NetAddress a;
  a.host = edt_host->text().trimmed().toStdString();
  bool ok = false;
  const int port = edt_port->text().trimmed().toInt(&ok);
  if (a.host.empty()) {
    lbl_result->setText(QString::fromStdString(
        Text("NET_NO_HOST", "Enter the printer's host name or IP address.")));
    return std::nullopt;
  }
  if (!ok || port < 1 || port > 65535) {
    lbl_result->setText(
        QString::fromStdString(Text("NET_BAD_PORT", "The port must be a number from 1 to 65535.")));
    return std::nullopt;
  }
  a.port = static_cast<uint16_t>(port);
  return a;
}

void TNetPrinter::btn_testClick() {
  const auto address = EnteredAddress();
  if (!address) return;
  PrinterCommand command(ctx_);
  if (!command) return;
  net_.Close();  // a printer serves one connection at a time
  // A link of its own, so the test neither changes nor waits on the program's link choice.
  TcpLink probe_net(ctx_.link.clock(), ctx_.link.pump());
  probe_net.SetAddress(*address);
  PrinterLink probe(ctx_.link.backend(), ctx_.link.clock(), ctx_.link.pump(), ctx_.link.log());
  probe.SetNetLink(&probe_net);
  probe.SetUseNetwork(true);
  EscCmd esc(probe);
  lbl_result->setText(QString());
  std::string info;
  if (esc.cmd_sys_info(0, info)) {
    lbl_result->setText(
        QString::fromStdString(Text("NET_TEST_OK", "The printer answered:") + " " + info));
  } else {
    const std::string why = !probe.LastOpenError().empty()
                                ? probe.LastOpenError()
                                : std::string(CmdFailureText(esc.last_failure()));
    lbl_result->setText(
        QString::fromStdString(Text("NET_TEST_FAILED", "The printer did not answer:") + " " + why));
  }
}

void TNetPrinter::btn_okClick() {
  NetSettings s;
  s.use = chk_UseNetwork->isChecked();
  if (s.use || !edt_host->text().trimmed().isEmpty()) {
    const auto address = EnteredAddress();
    if (!address) return;  // the dialog stays open with the reason shown
    s.host = address->host;
    s.port = address->port;
  }
  SaveNetSettings(config_path_, s);
  ApplyNetSettings(ctx_.link, net_, s);
  if (s.use) ctx_.link.SetUseCommPort(false);  // one link at a time
  accept();
}

}  // namespace quillon
