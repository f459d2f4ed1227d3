#include "app/station/port_tile.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "app/station/station_texts.h"

namespace quillon {
namespace {

using production::Step;
using production::UnitResult;

const QColor kWaitingBackground(0xE4, 0xE4, 0xE4);
const QColor kWaitingText(0x40, 0x40, 0x40);
const QColor kRunningBackground(0xFF, 0xFF, 0xFF);
const QColor kStoreWaitingBackground(0x56, 0xB4, 0xE9);  // sky blue: not a result colour

QLabel* MakeLabel(QWidget* parent, double scale, bool bold) {
  auto* label = new QLabel(parent);
  QFont f = label->font();
  if (scale != 1.0) f.setPointSizeF(f.pointSizeF() * scale);
  f.setBold(bold);
  label->setFont(f);
  return label;
}

}  // namespace

ResultColours ColoursOf(UnitResult result) {
  switch (result) {
    case UnitResult::kPass:
      return {QColor(0x00, 0x9E, 0x73), QColor(0x00, 0x00, 0x00)};
    case UnitResult::kFail:
      return {QColor(0xD5, 0x5E, 0x00), QColor(0xFF, 0xFF, 0xFF)};
    case UnitResult::kInterrupted:
      return {QColor(0xF0, 0xE4, 0x42), QColor(0x00, 0x00, 0x00)};
    case UnitResult::kRunning:
      break;
  }
  return {kRunningBackground, QColor(0x00, 0x00, 0x00)};
}

PortTile::PortTile(const QString& port, const StationTexts& texts, QWidget* parent)
    : QFrame(parent), texts_(texts), port_(port) {
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  port_label_ = MakeLabel(this, 1.15, true);
  port_label_->setText(port);
  time_label_ = MakeLabel(this, 1.15, false);
  time_label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  serial_label_ = MakeLabel(this, 1.4, true);
  serial_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  step_label_ = MakeLabel(this, 1.15, false);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  result_label_ = MakeLabel(this, 2.3, true);
  reason_label_ = MakeLabel(this, 1.0, false);
  reason_label_->setWordWrap(true);
  waiting_label_ = MakeLabel(this, 1.15, false);
  waiting_label_->setWordWrap(true);

  auto* grid = new QGridLayout(this);
  grid->addWidget(port_label_, 0, 0);
  grid->addWidget(time_label_, 0, 1);
  grid->addWidget(serial_label_, 1, 0, 1, 2);
  grid->addWidget(step_label_, 2, 0, 1, 2);
  grid->addWidget(progress_, 3, 0, 1, 2);
  grid->addWidget(result_label_, 4, 0, 1, 2);
  grid->addWidget(reason_label_, 5, 0, 1, 2);
  grid->addWidget(waiting_label_, 6, 0, 1, 2);
  grid->setRowStretch(7, 1);
  grid->setColumnStretch(0, 1);

  // Every state takes the room of the tallest (an ended unit with two lines of reason), so
  // tiles keep their places in the grid while units come and go.
  result_label_->setText(texts_.ResultWord(UnitResult::kInterrupted));
  serial_label_->setText(QStringLiteral("QL58-2026000000"));
  time_label_->setText(texts_.Seconds(999.9));
  reason_label_->setText(QStringLiteral("x\nx"));
  Show(State::kEnded);
  setMinimumWidth(std::max(fontMetrics().averageCharWidth() * 30, sizeHint().width()));
  setMinimumHeight(sizeHint().height());
  serial_label_->clear();
  reason_label_->clear();
  time_label_->clear();
  Left();
}

void PortTile::Show(State state) {
  state_ = state;
  const bool unit = state == State::kRunning || state == State::kEnded;
  time_label_->setVisible(unit);
  serial_label_->setVisible(unit);
  step_label_->setVisible(state == State::kRunning);
  progress_->setVisible(state == State::kRunning);
  result_label_->setVisible(state == State::kEnded);
  reason_label_->setVisible(state == State::kEnded && !reason_label_->text().isEmpty());
  waiting_label_->setVisible(!unit);
  switch (state) {
    case State::kWaiting:
      Paint(kWaitingBackground, kWaitingText);
      break;
    case State::kStoreWaiting:
      Paint(kStoreWaitingBackground, Qt::black);
      break;
    case State::kRunning:
    case State::kEnded: {
      const ResultColours c = ColoursOf(state == State::kEnded ? result_ : UnitResult::kRunning);
      Paint(c.background, c.text);
      break;
    }
  }
}

void PortTile::Paint(const QColor& background, const QColor& text) {
  QPalette p = palette();
  p.setColor(QPalette::Window, background);
  p.setColor(QPalette::WindowText, text);
  setPalette(p);
}

void PortTile::Arrived(const QString& usb_serial) {
  result_ = UnitResult::kRunning;
  gone_ = false;
  serial_label_->setText(usb_serial.isEmpty()
                             ? QString()
                             : texts_.Text("STN_TILE_USB", {{"serial", usb_serial.toStdString()}}));
  reason_label_->clear();
  elapsed_.start();
  StepStarted(Step::kIdentify);
  Show(State::kRunning);
  Tick();
}

void PortTile::SetSerial(const QString& serial) {
  if (!serial.isEmpty()) serial_label_->setText(serial);
}

void PortTile::StepStarted(Step step) {
  step_name_ = texts_.StepName(step);
  step_label_->setText(step_name_);
  // Busy until the step says how far it is (the short steps never do).
  progress_->setRange(0, 0);
  Tick();
}

void PortTile::StepProgress(int percent) {
  percent = std::clamp(percent, 0, 100);
  step_label_->setText(step_name_ + QStringLiteral("  %1%").arg(percent));
  progress_->setRange(0, 100);
  progress_->setValue(percent);
  Tick();
}

void PortTile::Ended(UnitResult result, const std::string& reason, double seconds) {
  result_ = result;
  result_label_->setText(texts_.ResultWord(result));
  reason_label_->setText(texts_.Reason(reason));
  time_label_->setText(texts_.Seconds(seconds));
  const QString serial = serial_label_->text();
  last_line_ = texts_.Text("STN_TILE_LAST", {{"result", texts_.ResultWord(result).toStdString()},
                                             {"serial", serial.toStdString()}});
  if (!reason.empty()) last_line_ += QLatin1Char('\n') + reason_label_->text();
  Show(State::kEnded);
  if (gone_) Left();
}

void PortTile::Left() {
  // Pulled out while its unit still runs: the unit ends (and is recorded) first.
  if (state_ == State::kRunning) {
    gone_ = true;
    return;
  }
  gone_ = false;
  waiting_label_->setText(texts_.Text("STN_TILE_WAITING") +
                          (last_line_.isEmpty() ? QString() : QLatin1Char('\n') + last_line_));
  Show(State::kWaiting);
}

void PortTile::StoreWaiting() {
  waiting_label_->setText(texts_.Text("STN_TILE_STORE_WAIT"));
  Show(State::kStoreWaiting);
}

void PortTile::Tick() {
  if (state_ == State::kRunning)
    time_label_->setText(texts_.Seconds(static_cast<double>(elapsed_.elapsed()) / 1000.0));
}

QString PortTile::resultText() const {
  return state_ == State::kEnded ? result_label_->text() : QString();
}
QString PortTile::reasonText() const {
  return state_ == State::kEnded ? reason_label_->text() : QString();
}
QString PortTile::serialText() const {
  return serial_label_->text();
}
QString PortTile::stepText() const {
  return state_ == State::kRunning ? step_label_->text() : waiting_label_->text();
}

}  // namespace quillon
