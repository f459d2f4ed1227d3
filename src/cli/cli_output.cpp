#include "cli/cli_output.h"

#include "core/platform.h"

namespace quillon::cli {

Output::Output(OutputMode mode, std::FILE* out, std::FILE* err)
    : mode_(mode), out_(out), err_(err), tty_(IsTerminal(err)) {}

void Output::Result(const std::string& command, JsonObject fields, const std::string& human) {
  EndProgress();
  if (mode_.json) {
    JsonObject obj;
    obj.Add("command", command).Add("ok", true);
    std::string body = fields.str();
    std::string merged = obj.str();
    if (body.size() > 2) merged = merged.substr(0, merged.size() - 1) + "," + body.substr(1);
    std::fprintf(out_, "%s\n", merged.c_str());
  } else if (!mode_.quiet && !human.empty()) {
    std::fprintf(out_, "%s\n", human.c_str());
  }
  std::fflush(out_);
}

int Output::Fail(const std::string& command, int code, const std::string& why) {
  EndProgress();
  if (first_failure_ == 0) first_failure_ = code;
  if (mode_.json) {
    JsonObject obj;
    obj.Add("command", command).Add("ok", false).Add("exit", code).Add("error", why);
    std::fprintf(out_, "%s\n", obj.str().c_str());
    std::fflush(out_);
  }
  std::fprintf(err_, "quillon-cli: %s%s%s\n", command.c_str(), command.empty() ? "" : ": ",
               why.c_str());
  return code;
}

void Output::Info(const std::string& line) {
  if (mode_.quiet) return;
  EndProgress();
  if (mode_.json) {
    JsonObject obj;
    obj.Add("info", line);
    std::fprintf(out_, "%s\n", obj.str().c_str());
    std::fflush(out_);
  } else {
    std::fprintf(err_, "%s\n", line.c_str());
  }
}

void Output::Verbose(const std::string& line) {
  if (!mode_.verbose) return;
  EndProgress();
  std::fprintf(err_, "%s\n", line.c_str());
}

void Output::Progress(const std::string& phase, int64_t done, int64_t total, const char* unit) {
  if (progress_sink) {
    progress_sink(phase, done, total, unit);
    return;
  }
  if (mode_.quiet) return;
  auto now = std::chrono::steady_clock::now();
  if (phase != last_phase_) {
    EndProgress();
    last_phase_ = phase;
    last_percent_ = -1;
    phase_start_ = now;
  }
  int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
  if (percent == last_percent_ && done != total) return;
  last_percent_ = percent;
  double secs = std::chrono::duration<double>(now - phase_start_).count();
  double rate = secs > 0 ? static_cast<double>(done) / secs : 0;
  double left = rate > 0 ? static_cast<double>(total - done) / rate : 0;
  if (mode_.json) {
    JsonObject p;
    p.Add("phase", phase).Add("done", done).Add("total", total).Add("percent", percent);
    p.Add("unit", unit).Add("per_second", rate);
    JsonObject line;
    line.AddRaw("progress", p.str());
    std::fprintf(out_, "%s\n", line.str().c_str());
    std::fflush(out_);
    return;
  }
  if (tty_) {
    const int width = 30;
    int filled = percent * width / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(width, '-');
    if (std::string(unit) == "bytes") {
      std::fprintf(err_, "\r%-10s [%s] %3d%% %lld/%lld bytes %.1f KiB/s %.0fs left   ",
                   phase.c_str(), bar.c_str(), percent, static_cast<long long>(done),
                   static_cast<long long>(total), rate / 1024.0, left);
    } else {
      std::fprintf(err_, "\r%-10s [%s] %3d%% %lld/%lld %s %.0fs left   ", phase.c_str(),
                   bar.c_str(), percent, static_cast<long long>(done),
                   static_cast<long long>(total), unit, left);
    }
    bar_shown_ = true;
  } else if (percent % 10 == 0) {
    std::fprintf(err_, "%s %d%% (%lld/%lld %s)\n", phase.c_str(), percent,
                 static_cast<long long>(done), static_cast<long long>(total), unit);
  }
  std::fflush(err_);
}

void Output::EndProgress() {
  if (bar_shown_) {
    std::fprintf(err_, "\n");
    bar_shown_ = false;
  }
}

}  // namespace quillon::cli
