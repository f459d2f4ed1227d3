// "Network printer…" of the System menu: host and port of a network printer, whether printer
// traffic goes to it, and a Test that connects and asks the printer for its information.
#pragma once

#include <QDialog>
#include <string>

#include "link/tcp_link.h"
#include "session/app_context.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon {

class TNetPrinter : public QDialog {
  Q_OBJECT
 public:
  // net: the program's network link; config_path: the config.ini that keeps [NET].
  TNetPrinter(AppContext& ctx, TcpLink& net, std::string config_path, QWidget* parent = nullptr);

  QLabel* lbl_host;
  QLineEdit* edt_host;
  QLabel* lbl_port;
  QLineEdit* edt_port;
  QCheckBox* chk_UseNetwork;
  QLabel* lbl_result;
  QPushButton* btn_test;
  QPushButton* btn_ok;
  QPushButton* btn_close;

 private:
  std::string Text(const char* key, const char* fallback);
  // The address in the fields; nullopt with the reason shown in lbl_result.
  std::optional<NetAddress> EnteredAddress();
  void btn_testClick();
  void btn_okClick();

  AppContext& ctx_;
  TcpLink& net_;
  std::string config_path_;
};

}  // namespace quillon
