// SIGINT and SIGTERM through sigaction.
#include <signal.h>
#include <unistd.h>

#include "cli/cli_output.h"
#include "cli/cli_stop.h"

namespace quillon::cli {
namespace {

void OnStopSignal(int sig) {
  if (!TakeStopRequest(sig)) _exit(kExitPrinterFailed);  // the second one: at once
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

std::string StopRequestName(int code) {
  switch (code) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "a signal";
  }
}

}  // namespace quillon::cli
