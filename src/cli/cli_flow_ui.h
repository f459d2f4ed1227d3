// The long flows' reports on the command line: memo lines as information, progress as a
// bar (or JSON progress lines), Ctrl-C as a request to stop between packets.
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

 private:
  // Pictures count rows; the flashing flows count bytes.
  const char* Unit() const { return phase_ == "print" ? "rows" : "bytes"; }
  Output& out_;
  Messages& messages_;
  std::string phase_;
  int64_t max_ = 0;
};

}  // namespace quillon::cli
