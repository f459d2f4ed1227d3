// FlowUi on a page's controls: the memo (plain or rich text edit) receives the lines, the
// progress bar the maximum and position; message boxes go to the program's Messages.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "core/flow_ui.h"

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

// Asks the user for a file; an empty text means the dialog was cancelled.
using FileChooser = std::function<QString(QWidget* parent)>;
// The program's open-file dialog for data files (*.bin).
QString ChooseDataFile(QWidget* parent);

}  // namespace quillon
