#include "cli/cli_flow_ui.h"

#include <atomic>
#include <csignal>

namespace quillon::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
// Flows running at once (--each-usb): Ctrl-C stays a request to stop between packets until
// the last of them ends, instead of killing the printers still being flashed.
std::atomic<int> g_flows{0};
void OnInterrupt(int) {
  g_interrupted = 1;
}

}  // namespace

CliFlowUi::CliFlowUi(Output& out, Messages& messages, std::string phase)
    : out_(out), messages_(messages), phase_(std::move(phase)) {
  if (g_flows++ == 0) {
    g_interrupted = 0;
    std::signal(SIGINT, OnInterrupt);
  }
}

CliFlowUi::~CliFlowUi() {
  if (--g_flows == 0) std::signal(SIGINT, SIG_DFL);
  out_.EndProgress();
}

void CliFlowUi::SetProgressMax(int64_t max) {
  max_ = max;
  out_.Progress(phase_, 0, max_, Unit());
}

void CliFlowUi::SetProgress(int64_t position) {
  out_.Progress(phase_, position, max_);
}

bool CliFlowUi::Cancelled() {
  return g_interrupted != 0;
}

}  // namespace quillon::cli
