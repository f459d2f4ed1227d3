#include "cli/production_cli.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/cli_stop.h"
#include "core/platform.h"
#include "production/json_text.h"
#include "production/station_os.h"

namespace quillon::cli {
namespace {

using production::StationEvent;
using Kind = StationEvent::Kind;

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", s);
  return text;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// One event as one JSON line.
std::string EventJson(const StationEvent& e) {
  production::JsonWriter w;
  switch (e.kind) {
    case Kind::kPrinterArrived:
      w.Field("event", "arrived").Field("port", e.port).Field("link", e.identity.link);
      w.Field("usb_serial", e.identity.usb_serial);
      break;
    case Kind::kIdentified:
      w.Field("event", "identified").Field("port", e.port).Field("info", e.identity.printer_info);
      w.Field("bt_mac", e.identity.bt_mac).Field("serial_before", e.identity.serial_number);
      break;
    case Kind::kSerialAllocated:
      w.Field("event", "serial").Field("port", e.port).Field("serial", e.serial);
      w.Field("state", production::SerialStateName(e.serial_state));
      break;
    case Kind::kStepStarted:
      w.Field("event", "step").Field("port", e.port).Field("step", production::StepName(e.step));
      w.Field("state", "started");
      break;
    case Kind::kStepProgress:
      w.Field("event", "progress").Field("port", e.port);
      w.Field("step", production::StepName(e.step)).Field("percent", e.percent);
      break;
    case Kind::kStepFinished:
      w.Field("event", "step").Field("port", e.port).Field("step", production::StepName(e.step));
      w.Field("result", production::StepStatusName(e.step_status)).Field("seconds", e.seconds);
      w.Field("message", e.message);
      break;
    case Kind::kUnitFinished:
      w.Field("event", "unit").Field("port", e.port).Field("serial", e.serial);
      w.Field("result", production::UnitResultName(e.result)).Field("seconds", e.seconds);
      w.Field("reason", e.message).Field("record", e.record_id);
      break;
    case Kind::kWaiting:
      w.Field("event", "waiting").Field("port", e.port).Field("message", e.message);
      break;
    case Kind::kPrinterLeft:
      w.Field("event", "left").Field("port", e.port);
      break;
    case Kind::kStoreState:
      w.Field("event", "store");
      w.Field("state", e.store == production::StoreState::kReady ? "ready" : "unreachable");
      w.Field("message", e.message);
      break;
    case Kind::kStopping:
      w.Field("event", "stopping").Field("immediate", e.immediate);
      break;
    case Kind::kStopped:
      w.Field("event", "stopped");
      break;
  }
  return w.str();
}

// One status line per port, in the order the ports first had a printer. On a terminal the
// lines are drawn again in place; otherwise a line is written when a port starts a step or
// ends a unit (JSON: every event).
class StatusBoard final : public production::StationObserver {
 public:
  StatusBoard(const OutputMode& mode, std::string store)
      : mode_(mode), tty_(IsTerminal(stdout) && !mode.json), store_(std::move(store)) {}

  void OnStationEvent(const StationEvent& e) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (mode_.json) {
      std::fprintf(stdout, "%s\n", EventJson(e).c_str());
      std::fflush(stdout);
      return;
    }
    std::string note;  // a line for a log (not a terminal)
    if (e.kind == Kind::kStoreState || e.kind == Kind::kStopping) {
      footer_note_ = e.kind == Kind::kStopping
                         ? (e.immediate ? "stopping now: units in progress are interrupted"
                                        : "stopping: units in progress finish (Ctrl-C again "
                                          "stops them at once)")
                         : e.message;
      // Not a port's line: on stderr, so it shows when the lines go to a file.
      if (!tty_ && !mode_.quiet) std::fprintf(stderr, "%s\n", footer_note_.c_str());
    }
    if (!e.port.empty()) {
      Port& p = PortOf(e.port);
      switch (e.kind) {
        case Kind::kPrinterArrived:
          p.serial.clear();
          p.state = "identify";
          break;
        case Kind::kSerialAllocated:
          p.serial = e.serial;
          break;
        case Kind::kStepStarted:
          p.state = production::StepName(e.step);
          if (!mode_.quiet) note = Line(p);
          break;
        case Kind::kStepProgress:
          p.state =
              std::string(production::StepName(e.step)) + " " + std::to_string(e.percent) + "%";
          break;
        case Kind::kUnitFinished:
          if (!e.serial.empty()) p.serial = e.serial;
          p.state = e.result == production::UnitResult::kPass
                        ? "PASS " + Seconds(e.seconds)
                        : Upper(production::UnitResultName(e.result)) + " " + e.message;
          ++(e.result == production::UnitResult::kPass   ? pass_
             : e.result == production::UnitResult::kFail ? fail_
                                                         : interrupted_);
          note = Line(p);
          break;
        case Kind::kWaiting:
          p.state = "waiting: " + e.message;
          if (!mode_.quiet) note = Line(p);
          break;
        case Kind::kPrinterLeft:
          p.state = "(no printer) last: " + p.state;
          if (!mode_.quiet) note = Line(p);
          break;
        default:
          break;
      }
    }
    if (tty_) {
      Draw();
    } else if (!note.empty()) {
      std::fprintf(stdout, "%s\n", note.c_str());
      std::fflush(stdout);
    }
  }

  int pass() const { return pass_; }
  int fail() const { return fail_; }
  int interrupted() const { return interrupted_; }

 private:
  struct Port {
    std::string name, serial, state;
  };
  Port& PortOf(const std::string& name) {
    for (Port& p : ports_)
      if (p.name == name) return p;
    ports_.push_back({name, "", ""});
    return ports_.back();
  }
  static std::string Line(const Port& p) {
    char head[64];
    std::snprintf(head, sizeof head, "%-8s %-18s ", p.name.c_str(),
                  p.serial.empty() ? "-" : p.serial.c_str());
    return head + p.state;
  }
  void Draw() {
    if (drawn_ > 0) std::fprintf(stdout, "\x1b[%dA", drawn_);
    for (const Port& p : ports_) std::fprintf(stdout, "\x1b[2K%s\n", Line(p).c_str());
    std::fprintf(stdout, "\x1b[2Kpass %d  fail %d  interrupted %d   records: %s%s%s\n", pass_,
                 fail_, interrupted_, store_.c_str(), footer_note_.empty() ? "" : "  ",
                 footer_note_.c_str());
    drawn_ = static_cast<int>(ports_.size()) + 1;
    std::fflush(stdout);
  }

  std::mutex mu_;
  OutputMode mode_;
  bool tty_;
  std::string store_;
  std::vector<Port> ports_;
  std::string footer_note_;
  int drawn_ = 0;
  int pass_ = 0, fail_ = 0, interrupted_ = 0;
};

}  // namespace

bool TakeProductionArgs(Args& args, CommandEnv& env, const std::string& command, bool with_force,
                        ProductionArgs& out, int* code) {
  bool missing = false;
  if (auto v = args.Value("--records", &missing)) out.records = *v;
  if (missing) {
    *code = env.out.Fail(command, kExitUsage, "--records needs a file or a postgresql:// address");
    return false;
  }
  if (auto v = args.Value("--operator", &missing)) out.operator_name = *v;
  if (missing) {
    *code = env.out.Fail(command, kExitUsage, "--operator needs a name");
    return false;
  }
  if (with_force) out.force = args.Flag("--force");
  return true;
}

std::optional<production::Plan> LoadProfile(CommandEnv& env, const std::string& command,
                                            const std::string& path, int* code) {
  LoadCodePageSetting(env.link);  // texts in the profile go to the printer's code page
  production::ProfileError error;
  auto plan = production::LoadPlan(path, &error);
  if (!plan) *code = env.out.Fail(command, kExitBadInput, error.Text());
  return plan;
}

std::unique_ptr<production::RecordStore> OpenStore(CommandEnv& env, const std::string& command,
                                                   const ProductionArgs& p, int* code) {
  std::string error;
  auto store = production::OpenRecordStore(p.records, "", &error);
  if (!store) *code = env.out.Fail(command, kExitBadInput, error);
  return store;
}

int RunStation(CommandEnv& env, const std::string& command, const production::Plan& plan,
               production::RecordStore& store, production::PrinterSource& source,
               const ProductionArgs& p, bool once) {
  production::StationOptions options;
  options.operator_name = p.operator_name;
  options.force = p.force;
  options.once = once;
  // Records left "running" by a station that died are closed first, and said so.
  std::string why;
  const int64_t recovered = store.RecoverInterrupted(production::HostName(), &why);
  if (recovered > 0)
    env.out.Info(std::to_string(recovered) +
                 " unit(s) left running by a station that stopped were recorded as interrupted");
  StatusBoard board(env.out.mode(), store.Describe());
  production::Station station(plan, store, source, board, options);
  std::string error;
  if (!station.Start(&error)) return env.out.Fail(command, kExitPrinterFailed, error);
  // The first signal: no new unit; the second: the units in progress stop at once.
  StopRequest first, second;
  WatchStop(&first);
  WatchSecondStop(&second);
  while (!station.stopped()) {
    if (second.Requested())
      station.Stop(production::StopMode::kImmediate);
    else if (first.Requested())
      station.Stop(production::StopMode::kGraceful);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  station.Wait();
  WatchSecondStop(nullptr);
  WatchStop(nullptr);
  const production::Counters c = station.counters();
  if (!env.out.mode().json && !env.out.mode().quiet)
    std::printf("%lld unit(s): %lld pass, %lld fail, %lld interrupted; records in %s\n",
                static_cast<long long>(c.total()), static_cast<long long>(c.pass),
                static_cast<long long>(c.fail), static_cast<long long>(c.interrupted),
                store.Describe().c_str());
  std::fflush(stdout);
  if (once && c.total() == 0 && !first.Requested())
    return env.out.Fail(command, kExitNoPrinter, "no printer was provisioned");
  return c.fail == 0 && c.interrupted == 0 ? kExitOk : kExitPrinterFailed;
}

}  // namespace quillon::cli
