// The flash pages' FlowUi on Qt controls, and the data file dialog they share.
#include "flash/page_flow_ui.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextEdit>
#include <algorithm>
#include <limits>

namespace quillon {
namespace {

int ClampToInt(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, 0, std::numeric_limits<int>::max()));
}

}  // namespace

PageFlowUi::PageFlowUi(QWidget* memo, QProgressBar* progress, Messages& messages)
    : memo_(memo), progress_(progress), messages_(messages) {}

void PageFlowUi::ClearMemo() {
  if (auto* plain = qobject_cast<QPlainTextEdit*>(memo_.data())) {
    plain->clear();
    plain->repaint();
  } else if (auto* rich = qobject_cast<QTextEdit*>(memo_.data())) {
    rich->clear();
    rich->repaint();
  }
}

void PageFlowUi::MemoLine(const std::string& line) {
  const QString text = QString::fromStdString(line);
  if (auto* plain = qobject_cast<QPlainTextEdit*>(memo_.data())) {
    plain->appendPlainText(text);
  } else if (auto* rich = qobject_cast<QTextEdit*>(memo_.data())) {
    rich->append(text);
  }
}

void PageFlowUi::SetProgressMax(int64_t max) {
  // A maximum of 0 would turn the bar into a busy indicator (empty file).
  if (progress_) progress_->setMaximum(std::max(1, ClampToInt(max)));
}

void PageFlowUi::SetProgress(int64_t position) {
  if (progress_) progress_->setValue(std::min(ClampToInt(position), progress_->maximum()));
}

void WireStopButton(QAbstractButton* stop, PrinterLink& link, QObject* context) {
  if (!stop) return;
  QObject::connect(stop, &QAbstractButton::clicked, context, [&link] {
    if (link.Busy()) link.RequestStop();
  });
}

RunningFlow::RunningFlow(PrinterLink& link, QAbstractButton* stop)
    : link_(link), stop_(stop), owner_(!link.Busy()) {
  if (!owner_) return;
  link_.ClearStop();
  if (stop_) stop_->setEnabled(true);
}

RunningFlow::~RunningFlow() {
  if (!owner_) return;
  link_.ClearStop();
  if (stop_) stop_->setEnabled(false);
}

QString ChooseDataFile(QWidget* parent) {
  return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                      QString::fromUtf8("数据文件 (*.bin)"));
}

}  // namespace quillon
