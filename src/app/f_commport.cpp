// The serial settings dialog: fixed English texts, the port list, OK and Close.
#include "app/f_commport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "link/serial/enum_com_ports.h"
#include "link/serial/serial_path.h"

namespace quillon {
namespace {

template <typename W>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
  W* widget = new W(parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(x, y, w, h);
  return widget;
}

}  // namespace

TCommPort::TCommPort(PrinterLink& link, TComm& comm, QWidget* parent, PortLister lister)
    : QDialog(parent), link_(link), comm_(comm), lister_(std::move(lister)) {
  if (!lister_) lister_ = [](std::vector<std::string>& ports) { EnumComPorts(ports); };
  show_error_ = [this](const QString& text) { QMessageBox::critical(this, QString(), text); };

  setObjectName(QStringLiteral("CommPort"));
  setWindowTitle(QStringLiteral("SerialPort"));
  setFixedSize(425, 156);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  setFont(font);

  lbl1 = Make<QLabel>(this, "lbl1", 24, 20, 64, 13);
  lbl1->setText(QStringLiteral("CommPort:"));
  cbb_commport = Make<QComboBox>(this, "cbb_commport", 96, 16, 305, 21);
  cbb_commport->setEditable(true);
  cbb_commport->setInsertPolicy(QComboBox::NoInsert);
  Label1 = Make<QLabel>(this, "Label1", 24, 51, 64, 13);
  Label1->setText(QStringLiteral("Baud:"));
  cbb_baud = Make<QComboBox>(this, "cbb_baud", 96, 47, 305, 21);
  cbb_baud->setEditable(true);
  cbb_baud->setInsertPolicy(QComboBox::NoInsert);
  cbb_baud->addItems({QStringLiteral("9600"), QStringLiteral("14400"), QStringLiteral("19200"),
                      QStringLiteral("38400"), QStringLiteral("56000"), QStringLiteral("57600"),
                      QStringLiteral("115200")});
  cbb_baud->setCurrentIndex(6);

  pnl1 = Make<QFrame>(this, "pnl1", 0, 156 - 52, 425, 52);
  bvl1 = Make<QFrame>(pnl1, "bvl1", 8, 0, 409, 2);
  bvl1->setFrameShape(QFrame::HLine);
  bvl1->setFrameShadow(QFrame::Sunken);
  btn1 = Make<QPushButton>(pnl1, "btn1", 232, 14, 75, 25);
  btn1->setText(QStringLiteral("OK"));
  btn1->setDefault(true);
  btn2 = Make<QPushButton>(pnl1, "btn2", 326, 14, 75, 25);
  btn2->setText(QStringLiteral("Close"));
  // The buttons keep their right edges and grow to what the style needs for a caption.
  for (QPushButton* b : {btn1, btn2}) {
    const int grow = std::max(0, b->sizeHint().width() - b->width());
    b->setGeometry(b->x() - grow, b->y(), b->width() + grow, b->height());
  }

  chk_UseCommPort = Make<QCheckBox>(this, "chk_UseCommPort", 96, 78, 305, 17);
  chk_UseCommPort->setText(QStringLiteral("Use Bluetooth or serial port for transmission"));
  chk_UseCommPort->setChecked(false);

  setTabOrder(cbb_commport, cbb_baud);
  setTabOrder(cbb_baud, btn1);
  setTabOrder(btn1, btn2);
  setTabOrder(btn2, chk_UseCommPort);

  connect(btn1, &QPushButton::clicked, this, [this] { btn1Click(); });
  connect(btn2, &QPushButton::clicked, this, [this] { btn2Click(); });
  FormCreate();
}

void TCommPort::FormCreate() {
  std::vector<std::string> ports;
  lister_(ports);
  cbb_commport->clear();
  for (const std::string& port : ports) cbb_commport->addItem(QString::fromStdString(port));
  if (cbb_commport->count() == 0) {
    cbb_commport->setEditText(QString());
  } else {
    cbb_commport->setCurrentIndex(0);
  }
}

void TCommPort::btn1Click() {
  // The result is OK from the start: the dialog closes after an error too.
  setResult(QDialog::Accepted);
  const std::string error =
      ApplySerialChoice(link_, comm_, cbb_commport->currentText().toStdString(),
                        cbb_baud->currentText().toStdString(), chk_UseCommPort->isChecked());
  if (!error.empty()) show_error_(QString::fromStdString(error));
  accept();
}

void TCommPort::btn2Click() {
  reject();
}

}  // namespace quillon
