// FlowUi on a page's controls: the memo (plain or rich text edit) receives the lines, the
// progress bar the maximum and position; message boxes go to the program's Messages.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "core/flow_ui.h"
#include "link/printer_link.h"

class QAbstractButton;
class QProgressBar;

namespace quillon {

class PageFlowUi final : public FlowUi {
 public:
  PageFlowUi(QWidget* memo, QProgressBar* progress, Messages& messages);
  void ClearMemo() override;
  void MemoLine(const std::string& line) override;
  void SetProgressMax(int64_t max) override;
  void SetProgress(int64_t position) override;
  Messages& messages() override { return messages_; }

 private:
  QPointer<QWidget> memo_;
  QPointer<QProgressBar> progress_;
  Messages& messages_;
};

// A page's Stop button: a click (or Esc in the main window) asks the running flow to
// stop; the flow ends at its next wait or packet with a memo line.
void WireStopButton(QAbstractButton* stop, PrinterLink& link, QObject* context);

// The Stop button's and Esc's action on the flow running over link: it stops at once, or,
// when the flow asks first (a firmware update, which leaves the printer in its boot loader),
// once the user answers Yes to its question (default No). The question does not block: the
// flow runs on while it is open, and it closes when the flow ends. Nothing when no flow
// runs.
void RequestFlowStop(PrinterLink& link, QWidget* parent);

// One run of a page's flow: the Stop button is enabled while it runs, and a stop request
// left from before or made during the run does not outlive it. stop_question, when not
// empty, is asked before a stop request ends the run.
class RunningFlow {
 public:
  RunningFlow(PrinterLink& link, QAbstractButton* stop, std::string stop_question = {});
  ~RunningFlow();
  RunningFlow(const RunningFlow&) = delete;
  RunningFlow& operator=(const RunningFlow&) = delete;

 private:
  friend void RequestFlowStop(PrinterLink& link, QWidget* parent);
  PrinterLink& link_;
  QPointer<QAbstractButton> stop_;
  bool owner_;  // false when another flow held the link (that one keeps its request)
  std::string stop_question_;
  QPointer<QWidget> question_;  // the open question, if any
};

// Asks the user for a file; an empty text means the dialog was cancelled.
using FileChooser = std::function<QString(QWidget* parent)>;
// The program's open-file dialog for data files (*.bin).
QString ChooseDataFile(QWidget* parent);

}  // namespace quillon
