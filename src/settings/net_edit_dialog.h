// The wired network dialog: reads and writes the printer's Ethernet address, mask,
// gateway and DHCP switch as one record.
#pragma once

#include <QDialog>

#include "session/app_context.h"

class QCheckBox;
class QLineEdit;

namespace quillon {

// Four groups of up to three digits, the dots kept, "_" shown for blanks while editing.
// (Qt's "0" is an optional digit; text() leaves the blanks out.)
inline constexpr const char* kAddressInputMask = "000.000.000.000;_";

class Tnet_edit : public QDialog {
  Q_OBJECT
 public:
  explicit Tnet_edit(AppContext& ctx, QWidget* parent = nullptr);

  void btn1Click();  // set
  void btn3Click();  // query

 private:
  AppContext& ctx_;
  QLineEdit* medt_ip;
  QLineEdit* medt_mask;
  QLineEdit* medt_gateway;
  QCheckBox* chk_dhcp;
};

}  // namespace quillon
