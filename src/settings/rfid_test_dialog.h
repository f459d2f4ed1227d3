// The RFID card test dialog: authenticates a card sector with a typed key, reads the
// sector's four blocks as hex text and writes the ticked blocks back.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <vector>

#include "session/app_context.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillon {

class Trfid_test : public QDialog {
  Q_OBJECT
 public:
  explicit Trfid_test(AppContext& ctx, QWidget* parent = nullptr);
  // The link is closed with the dialog, whatever Open Port left.
  ~Trfid_test() override;

  void btn_openClick();
  void btn_closeClick();
  void btn1Click();  // Request Card
  void btn_readClick();
  void btn2Click();  // Write

  // Serial of the last answered authentication, sent with the next one.
  uint8_t CardSnr[4] = {0, 0, 0, 0};

 private:
  // The bytes of a hex text, or nothing (after telling the user) when they are not
  // exactly want bytes.
  std::optional<std::vector<uint8_t>> HexBytes(const QString& text, size_t want,
                                               const QString& what);

  AppContext& ctx_;
  QPushButton* btn_open;
  QPushButton* btn_close;
  QLineEdit* edt_key;
  QRadioButton* rb_keyA;
  QRadioButton* rb_keyB;
  QComboBox* cbb_sector;
  QLineEdit* edt_block[4];
  QCheckBox* chk_block_write[4];
};

}  // namespace quillon
