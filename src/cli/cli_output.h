// How quillon-cli reports: plain lines or one JSON object per result, progress on a terminal
// as a live bar, otherwise as plain lines (or JSON progress lines).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "cli/json.h"

namespace quillon::cli {

// Exit codes, documented in --help and the README.
enum ExitCode : int {
  kExitOk = 0,
  kExitPrinterFailed = 1,  // the printer refused or did not answer
  kExitUsage = 2,          // the command line is wrong
  kExitNoPrinter = 3,      // no printer found, or it cannot be opened
  kExitBadInput = 4,       // a bad input file or value
};

struct OutputMode {
  bool json = false;
  bool quiet = false;
  bool verbose = false;
};

class Output {
 public:
  Output(OutputMode mode, std::FILE* out = stdout, std::FILE* err = stderr);

  // A successful result: human text on stdout (unless quiet), or the JSON object with "ok".
  void Result(const std::string& command, JsonObject fields, const std::string& human);
  // A failure: message on stderr (JSON object on stdout with --json); returns code.
  int Fail(const std::string& command, int code, const std::string& why);
  // A line of information (memo lines of long flows); hidden by --quiet.
  void Info(const std::string& line);
  // Detail shown only with --verbose.
  void Verbose(const std::string& line);
  // Progress of a long operation.
  void Progress(const std::string& phase, int64_t done, int64_t total, const char* unit = "bytes");
  void EndProgress();

  const OutputMode& mode() const { return mode_; }
  // The exit code of the first failure reported so far (0: none). A failure that comes after
  // the command's result (the virtual paper not saved when the session ends) still counts.
  int first_failure() const { return first_failure_; }
  // Where progress goes instead of the bar (--each-usb draws one line per printer).
  std::function<void(const std::string& phase, int64_t done, int64_t total, const char* unit)>
      progress_sink;

 private:
  OutputMode mode_;
  std::FILE* out_;
  std::FILE* err_;
  bool tty_;
  bool bar_shown_ = false;
  int last_percent_ = -1;
  int first_failure_ = 0;
  std::string last_phase_;
  std::chrono::steady_clock::time_point phase_start_;
};

}  // namespace quillon::cli
