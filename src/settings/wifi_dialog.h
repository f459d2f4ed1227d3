// The Wi-Fi dialog: sends the printer's Wi-Fi module its router, address and cloud-print
// server settings as one record, and resets the module with 1B F0.
#pragma once

#include <QDialog>

#include "session/app_context.h"

class QCheckBox;
class QLineEdit;

namespace quillon {

// Cloud-print server shown until the user types another.
inline constexpr const char* kDefaultServerIp = "192.168.1.100";

class Twifi : public QDialog {
  Q_OBJECT
 public:
  explicit Twifi(AppContext& ctx, QWidget* parent = nullptr);

  void btn2Click();      // set parameters
  void btn_initClick();  // Wi-Fi module factory reset

 private:
  AppContext& ctx_;
  QLineEdit* edt_ssid;
  QLineEdit* edt_password;
  QCheckBox* chk_DHCP;
  QLineEdit* edt_IP;
  QLineEdit* edt_mask;
  QLineEdit* edt_gateway;
  QLineEdit* edt_dns;
  QLineEdit* edt_serverip;
  QLineEdit* edt_serverport;
};

}  // namespace quillon
