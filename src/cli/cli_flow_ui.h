// The long flows' reports on the command line: memo lines as information, progress as a
// bar (or JSON progress lines), SIGINT/SIGTERM as a request to stop.
#pragma once

#include <string>

#include "cli/cli_output.h"
#include "core/flow_ui.h"

namespace quillon::cli {

class CliFlowUi final : public FlowUi {
 public:
  CliFlowUi(Output& out, Messages& messages, std::string phase);
  ~CliFlowUi() override;
  void ClearMemo() override {}
  void MemoLine(const std::string& line) override { out_.Info(line); }
  void SetProgressMax(int64_t max) override;
  void SetProgress(int64_t position) override;
  Messages& messages() override { return messages_; }
  bool Cancelled() override;
  int64_t position() const { return position_; }
  void SetPhase(const std::string& phase) override { phase_ = phase; }

 private:
  // Pictures count rows; the flashing flows count bytes (phases "erase" and "write" of the
  // font download included).
  const char* Unit() const { return phase_ == "print" ? "rows" : "bytes"; }
  Output& out_;
  Messages& messages_;
  std::string phase_;
  int64_t max_ = 0;
  int64_t position_ = 0;
};

}  // namespace quillon::cli
