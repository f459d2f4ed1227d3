// The flash pages' FlowUi on Qt controls, and the data file dialog they share.
#include "flash/page_flow_ui.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextEdit>
#include <algorithm>
#include <limits>
#include <vector>

#include "core/msg_ini.h"

namespace quillon {
namespace {

int ClampToInt(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, 0, std::numeric_limits<int>::max()));
}

// The flows running now, at most one per link (GUI thread only).
std::vector<RunningFlow*>& RunningFlows() {
  static std::vector<RunningFlow*> flows;
  return flows;
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
  QObject::connect(stop, &QAbstractButton::clicked, context,
                   [&link, stop] { RequestFlowStop(link, stop->window()); });
}

void RequestFlowStop(PrinterLink& link, QWidget* parent) {
  if (!link.Busy()) return;
  auto it = std::find_if(RunningFlows().begin(), RunningFlows().end(),
                         [&link](RunningFlow* f) { return &f->link_ == &link; });
  if (it == RunningFlows().end() || (*it)->stop_question_.empty()) {
    link.RequestStop();
    return;
  }
  RunningFlow* flow = *it;
  if (flow->question_) {
    flow->question_->raise();
    return;
  }
  // Window-modal but not waited for: the flow goes on exchanging with the printer while
  // the user reads, so an unanswered question cannot make a packet time out.
  auto* box = new QMessageBox(QMessageBox::Question, QString::fromUtf8(kApplicationTitle),
                              QString::fromStdString(flow->stop_question_),
                              QMessageBox::Yes | QMessageBox::No, parent);
  box->setDefaultButton(QMessageBox::No);
  box->setEscapeButton(QMessageBox::No);
  box->setAttribute(Qt::WA_DeleteOnClose);
  QAbstractButton* yes = box->button(QMessageBox::Yes);
  QObject::connect(box, &QMessageBox::buttonClicked, box, [&link, yes](QAbstractButton* b) {
    if (b == yes && link.Busy()) link.RequestStop();
  });
  flow->question_ = box;
  box->open();
}

RunningFlow::RunningFlow(PrinterLink& link, QAbstractButton* stop, std::string stop_question)
    : link_(link), stop_(stop), owner_(!link.Busy()), stop_question_(std::move(stop_question)) {
  if (!owner_) return;
  link_.ClearStop();
  if (stop_) stop_->setEnabled(true);
  RunningFlows().push_back(this);
}

RunningFlow::~RunningFlow() {
  if (!owner_) return;
  RunningFlows().erase(std::find(RunningFlows().begin(), RunningFlows().end(), this));
  if (question_) question_->close();  // the flow is over: nothing left to stop
  link_.ClearStop();
  if (stop_) stop_->setEnabled(false);
}

QString ChooseDataFile(QWidget* parent) {
  return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                      QString::fromUtf8("数据文件 (*.bin)"));
}

}  // namespace quillon
