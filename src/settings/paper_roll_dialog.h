// The paper roll dialog: writes a roll's record into its RFID tag and reads it back.
#pragma once

#include <QDialog>

#include "session/app_context.h"

class QComboBox;
class QLineEdit;

namespace quillon {

class TPaper_roll : public QDialog {
  Q_OBJECT
 public:
  explicit TPaper_roll(AppContext& ctx, QWidget* parent = nullptr);

  void btn2Click();  // create a new label
  void btn3Click();  // read

 private:
  AppContext& ctx_;
  QComboBox* cbb_PaperType;
  QLineEdit* edt_count;
  QLineEdit* edt_width;
  QLineEdit* edt_height;
  QLineEdit* edt_gap;
};

}  // namespace quillon
