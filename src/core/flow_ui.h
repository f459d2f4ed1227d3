// What a long flow (firmware update, font download, picture printing) reports to its page.
// The GUI implements it with the page's memo and progress bar, the CLI with a progress
// line, tests with a recorder.
#pragma once

#include <cstdint>
#include <string>

#include "core/messages.h"

namespace quillon {

class FlowUi {
 public:
  virtual ~FlowUi() = default;
  virtual void ClearMemo() = 0;
  virtual void MemoLine(const std::string& line) = 0;
  virtual void SetProgressMax(int64_t max) = 0;
  virtual void SetProgress(int64_t position) = 0;
  // Message texts and boxes (MSGDLG) of the page.
  virtual Messages& messages() = 0;
  // Cancellation asked for by the user (CLI: Ctrl-C); flows stop at the next packet.
  virtual bool Cancelled() { return false; }
  // A flow with more than one pass over its data ("erase", then "write") names each before
  // its progress starts again from 0, so a reader never sees progress go back within one.
  virtual void SetPhase(const std::string& phase) { (void)phase; }
};

}  // namespace quillon
