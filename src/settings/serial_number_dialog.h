// The production serial number dialog: reads and writes the printer's serial number.
#pragma once

#include <QDialog>

#include "session/app_context.h"

class QLineEdit;

namespace quillon {

class Tserial_number : public QDialog {
  Q_OBJECT
 public:
  explicit Tserial_number(AppContext& ctx, QWidget* parent = nullptr);

  void btn_readClick();
  void btn_writeClick();

 private:
  AppContext& ctx_;
  QLineEdit* edt_sno;
};

}  // namespace quillon
