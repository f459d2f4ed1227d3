#include "cli/each_usb.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "cli/cli_link_resources.h"
#include "cli/cli_stop.h"
#include "core/file_locations.h"

namespace quillon::cli {
namespace {

// One line per printer. On a terminal the lines are redrawn in place; otherwise a line is
// written at every tenth of the way (JSON: a progress object naming the printer).
class ProgressBoard {
 public:
  ProgressBoard(std::vector<std::string> labels, const OutputMode& mode)
      : labels_(std::move(labels)),
        lines_(labels_.size()),
        percent_(labels_.size(), -1),
        mode_(mode),
        tty_(::isatty(::fileno(stderr)) != 0) {
    for (size_t i = 0; i < labels_.size(); ++i) lines_[i] = labels_[i] + "  waiting";
    Draw();
  }

  void Update(size_t i, const std::string& phase, int64_t done, int64_t total, const char* unit) {
    std::lock_guard<std::mutex> lock(mu_);
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent == percent_[i]) return;
    percent_[i] = percent;
    if (mode_.quiet) return;
    if (mode_.json) {
      JsonObject p;
      p.Add("phase", phase).Add("done", done).Add("total", total).Add("percent", percent);
      p.Add("unit", unit);
      JsonObject line;
      line.Add("printer", labels_[i]).AddRaw("progress", p.str());
      std::fprintf(stdout, "%s\n", line.str().c_str());
      std::fflush(stdout);
      return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "  %-10s %3d%%", phase.c_str(), percent);
    lines_[i] = labels_[i] + text;
    if (tty_) {
      Redraw();
    } else if (percent % 10 == 0) {
      std::fprintf(stderr, "%s\n", lines_[i].c_str());
    }
  }

  void Done(size_t i, bool ok) {
    std::lock_guard<std::mutex> lock(mu_);
    lines_[i] = labels_[i] + (ok ? "  done" : "  failed");
    if (tty_ && !mode_.quiet && !mode_.json) Redraw();
  }

 private:
  void Draw() {
    if (!tty_ || mode_.quiet || mode_.json) return;
    for (const std::string& line : lines_) std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }
  void Redraw() {
    std::fprintf(stderr, "\x1b[%zuA", lines_.size());
    for (const std::string& line : lines_) std::fprintf(stderr, "\x1b[2K%s\n", line.c_str());
    std::fflush(stderr);
  }

  std::mutex mu_;
  std::vector<std::string> labels_;
  std::vector<std::string> lines_;
  std::vector<int> percent_;
  OutputMode mode_;
  bool tty_;
};

// What one printer's run wrote, kept in temporary files until the summary (portable:
// every system's C library has tmpfile).
struct Captured {
  std::string out;
  std::string err;
  std::FILE* out_file = std::tmpfile();
  std::FILE* err_file = std::tmpfile();
  Captured() = default;
  ~Captured() { Close(); }
  Captured(const Captured&) = delete;
  Captured& operator=(const Captured&) = delete;
  void Close() {
    out = TakeAll(out_file);
    err = TakeAll(err_file);
    out_file = err_file = nullptr;
  }

 private:
  static std::string TakeAll(std::FILE* f) {
    std::string text;
    if (!f) return text;
    std::fflush(f);
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return text;
  }
};

struct PrinterRun {
  UsbDeviceInfo device;
  std::string label;  // port path (or path) and serial number
  int code = -1;
  double seconds = 0;
  Captured captured;
};

std::string LastLine(std::string s) {
  while (!s.empty() && s.back() == '\n') s.pop_back();
  const auto nl = s.rfind('\n');
  return nl == std::string::npos ? s : s.substr(nl + 1);
}

// The reason a failed run gave, without the program's name in front.
std::string Reason(const PrinterRun& r) {
  std::string line = LastLine(r.captured.err);
  const std::string prefix = "quillon-cli: ";
  if (line.rfind(prefix, 0) == 0) line = line.substr(prefix.size());
  return line.empty() ? "exit code " + std::to_string(r.code) : line;
}

}  // namespace

int RunEachUsb(Command command, const std::string& name, const Args& given, LinkOptions link,
               const OutputMode& mode) {
  Output out(mode);
  if (link.kind == LinkOptions::Kind::kSerial)
    return out.Fail(name, kExitUsage, "--each-usb goes with USB printers, not --port");
  if (!link.usb_select.empty())
    return out.Fail(name, kExitUsage, "--each-usb runs on every printer: leave out --usb PATH");
  if (link.kind == LinkOptions::Kind::kNetwork)
    return out.Fail(name, kExitUsage, "--each-usb goes with USB printers, not --tcp");
  LoadCodePageSetting(link);
  const auto [vid, pid] = UsbIds(link, Files().ConfigFile());
  if (link.kind == LinkOptions::Kind::kVirtual) link.usb_id = vid + ":" + pid;

  std::string error;
  std::shared_ptr<LinkResources> res = LinkResources::Make(link, &error);
  if (!res) return out.Fail(name, kExitNoPrinter, error);
  std::vector<UsbDeviceInfo> devices;
  res->usb().ListDevices(devices);
  const std::vector<UsbDeviceInfo> printers =
      MatchingPrinters(devices, "vid_" + vid + "&pid_" + pid);
  if (printers.empty())
    return out.Fail(name, kExitNoPrinter,
                    "no printer found (looking for USB devices vid_" + vid + "&pid_" + pid + ")");

  std::vector<std::unique_ptr<PrinterRun>> runs;
  std::vector<std::string> labels;
  for (const UsbDeviceInfo& d : printers) {
    auto r = std::make_unique<PrinterRun>();
    r->device = d;
    r->label = d.port_path.empty() ? d.path : d.port_path;
    if (!d.serial.empty()) r->label += " " + d.serial;
    labels.push_back(r->label);
    runs.push_back(std::move(r));
  }
  ProgressBoard board(labels, mode);

  // A stop request reaches every printer's flow, however many have ended already.
  WatchStop(&res->pump().stop());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < runs.size(); ++i) {
    threads.emplace_back([&, i] {
      PrinterRun& r = *runs[i];
      LinkOptions mine = link;
      mine.shared = res;
      mine.usb_select = !r.device.port_path.empty() ? r.device.port_path
                        : !r.device.serial.empty()  ? r.device.serial
                                                    : r.device.path;
      OutputMode quiet = mode;
      quiet.verbose = false;  // hex lines of ten printers at once would be unreadable
      Output own(quiet, r.captured.out_file ? r.captured.out_file : stdout,
                 r.captured.err_file ? r.captured.err_file : stderr);
      own.progress_sink = [&board, i](const std::string& phase, int64_t done, int64_t total,
                                      const char* unit) {
        board.Update(i, phase, done, total, unit);
      };
      Args args = given;
      CommandEnv env{mine, own};
      const auto start = std::chrono::steady_clock::now();
      r.code = command(args, env);
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      board.Done(i, r.code == kExitOk);
    });
  }
  for (std::thread& t : threads) t.join();
  WatchStop(nullptr);
  if (!res->Finish(link, &error)) out.Fail(name, kExitBadInput, error);

  bool all_ok = true;
  std::string table = "printer                result    seconds\n";
  for (const auto& r : runs) {
    r->captured.Close();
    const bool ok = r->code == kExitOk;
    all_ok = all_ok && ok;
    if (mode.json) {
      JsonObject o;
      o.Add("command", name).Add("printer", r->device.port_path).Add("serial", r->device.serial);
      o.Add("path", r->device.path).Add("ok", ok).Add("exit", r->code).Add("seconds", r->seconds);
      const std::string result = LastLine(r->captured.out);
      if (result.size() > 1 && result.front() == '{') o.AddRaw("result", result);
      if (!ok) o.Add("error", Reason(*r));
      std::fprintf(stdout, "%s\n", o.str().c_str());
    } else {
      char row[256];
      std::snprintf(row, sizeof row, "%-22s %-9s %7.2f", r->label.c_str(), ok ? "ok" : "FAILED",
                    r->seconds);
      table += row;
      if (!ok) table += "  " + Reason(*r);
      table += "\n";
    }
  }
  if (!mode.json && !mode.quiet) std::fputs(table.c_str(), stdout);
  if (!mode.json && !all_ok) {
    std::string failed;
    for (const auto& r : runs)
      if (r->code != kExitOk) failed += (failed.empty() ? "" : ", ") + r->label;
    std::fprintf(stderr, "quillon-cli: %s failed on %s\n", name.c_str(), failed.c_str());
  }
  std::fflush(stdout);
  return all_ok ? kExitOk : kExitPrinterFailed;
}

}  // namespace quillon::cli
