// The serial settings dialog: the port and baud rate of the program's serial port and
// whether printer traffic goes through it.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "link/printer_link.h"
#include "link/serial/tcomm.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;

namespace quillon {

class TCommPort : public QDialog {
  Q_OBJECT

 public:
  using PortLister = std::function<void(std::vector<std::string>&)>;
  using ErrorDisplay = std::function<void(const QString&)>;

  // lister defaults to EnumComPorts; errors default to a critical message box.
  TCommPort(PrinterLink& link, TComm& comm, QWidget* parent = nullptr, PortLister lister = nullptr);

  // Where the conversion and open errors are shown (tests record them).
  void set_error_display(ErrorDisplay display) { show_error_ = std::move(display); }

  QLabel* lbl1;
  QComboBox* cbb_commport;
  QLabel* Label1;
  QComboBox* cbb_baud;
  QFrame* pnl1;
  QFrame* bvl1;
  QPushButton* btn1;
  QPushButton* btn2;
  QCheckBox* chk_UseCommPort;

 private:
  void FormCreate();
  void btn1Click();
  void btn2Click();

  PrinterLink& link_;
  TComm& comm_;
  PortLister lister_;
  ErrorDisplay show_error_;
};

}  // namespace quillon
