#include "cli/cli_flow_ui.h"

#include "cli/cli_stop.h"

namespace quillon::cli {

CliFlowUi::CliFlowUi(Output& out, Messages& messages, std::string phase)
    : out_(out), messages_(messages), phase_(std::move(phase)) {}

CliFlowUi::~CliFlowUi() {
  out_.EndProgress();
}

void CliFlowUi::SetProgressMax(int64_t max) {
  max_ = max;
  out_.Progress(phase_, 0, max_, Unit());
}

void CliFlowUi::SetProgress(int64_t position) {
  position_ = position;
  out_.Progress(phase_, position, max_, Unit());
}

bool CliFlowUi::Cancelled() {
  return StopSignal() != 0;
}

}  // namespace quillon::cli
