#include "settings/label_page.h"

#include <QLineEdit>

#include "core/float_format.h"
#include "settings/gui_common.h"

namespace quillon {

using namespace settings_gui;

namespace {
constexpr int32_t kSelfTestLength = 500;
}

LabelPageController::LabelPageController(QWidget* page, AppContext& ctx) : page_(page), ctx_(ctx) {
  OnClick(page, this, "btn45", [this] { btn45Click(); });
  OnClick(page, this, "btn46", [this] { btn46Click(); });
  OnClick(page, this, "btn47", [this] { btn47Click(); });
  OnClick(page, this, "btn48", [this] { btn48Click(); });
}

void LabelPageController::LabelTest(uint8_t operation) {
  Command command(ctx_);
  if (!command || !PrinterPresent(ctx_)) return;
  int32_t vL = 0, vH = 0;
  if (!ctx_.esc.cmd_label_test(operation, kSelfTestLength, vL, vH)) {
    ShowKey(ctx_, kMsgWarning, "MSG017");
    return;
  }
  const std::string text = FormatNumbers(ctx_.messages.Text("MSG029"), {vL / 100.0, vH / 100.0});
  ctx_.messages.MSGDLG(kMsgInfo, "", text);
}

void LabelPageController::btn45Click() {
  LabelTest(0);
}
void LabelPageController::btn46Click() {
  LabelTest(1);
}

void LabelPageController::btn47Click() {
  Command command(ctx_);
  if (!command || !PrinterPresent(ctx_)) return;
  int32_t sensor = 0, out = 0;
  if (!ctx_.esc.cmd_label_Detection(0, sensor, out)) {
    ShowKey(ctx_, kMsgWarning, "MSG017");
    return;
  }
  if (auto* e = page_->findChild<QLineEdit*>("edt_TagSensor")) e->setText(QString::number(sensor));
  if (auto* e = page_->findChild<QLineEdit*>("edt_TagOut")) e->setText(QString::number(out));
}

void LabelPageController::btn48Click() {
  Command command(ctx_);
  auto* sensor_edit = page_->findChild<QLineEdit*>("edt_TagSensor");
  auto* out_edit = page_->findChild<QLineEdit*>("edt_TagOut");
  if (!command || !sensor_edit || !out_edit || !PrinterPresent(ctx_)) return;
  auto sensor = ParseInt32(sensor_edit->text());
  auto out = ParseInt32(out_edit->text());
  if (!sensor || !out) {
    Show(ctx_, kMsgError, NotAnInteger(ctx_, (!sensor ? sensor_edit : out_edit)->text()));
    return;
  }
  if (ctx_.esc.cmd_label_Detection(1, *sensor, *out)) {
    ShowKey(ctx_, kMsgInfo, "MSG018");
  } else {
    ShowKey(ctx_, kMsgWarning, "MSG017");
  }
}

std::unique_ptr<QObject> InstallLabelPage(QWidget* ts2, AppContext& ctx) {
  return std::make_unique<LabelPageController>(ts2, ctx);
}

}  // namespace quillon
