// The station: a watcher thread looks at the source (hot-plug events or a look every
// second) and starts one worker thread with its own link for each printer that arrives;
// a port takes a new unit only after its printer left and another came.
#include "production/station.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "production/station_os.h"

namespace quillon::production {

class Station::Impl {
 public:
  Impl(const Plan& plan, RecordStore& store, PrinterSource& source, StationObserver& observer,
       StationOptions options)
      : plan_(plan),
        store_(store),
        source_(source),
        observer_(observer),
        options_(std::move(options)) {
    if (options_.station_name.empty()) options_.station_name = HostName();
  }

  struct PortRun {
    PortInfo info;
    std::thread thread;
    bool present = false;  // seen at the last look
    bool handled = false;  // a unit ran or runs for the printer now at the port
    bool waiting = false;  // told that it waits for a serial number
    std::atomic<bool> busy{false};
    StopRequest* link_stop = nullptr;  // the running unit's link (under mu_)
    PortStatus status;
  };

  bool Start(std::string* error) {
    if (started_.exchange(true)) {
      *error = "the station runs already";
      return false;
    }
    std::string why;
    store_.RecoverInterrupted(options_.station_name, &why);
    watcher_ = std::thread([this] { Watch(); });
    return true;
  }

  void Stop(StopMode mode) {
    const bool immediate = mode == StopMode::kImmediate;
    if (immediate ? immediate_.exchange(true) : graceful_.exchange(true)) return;
    graceful_ = true;
    if (immediate) {
      std::lock_guard<std::mutex> lock(mu_);
      for (auto& [port, run] : ports_)
        if (run->link_stop) run->link_stop->Request();
    }
    StationEvent e;
    e.kind = StationEvent::Kind::kStopping;
    e.immediate = immediate;
    Emit(e);
    Wake();
  }

  void Wait() {
    if (!started_) return;
    std::unique_lock<std::mutex> lock(mu_);
    done_cv_.wait(lock, [this] { return stopped_.load(); });
    lock.unlock();
    std::lock_guard<std::mutex> join(join_mu_);
    if (watcher_.joinable()) watcher_.join();
  }

  bool stopped() const { return stopped_.load(); }

  Counters counters() const {
    std::lock_guard<std::mutex> lock(mu_);
    return counters_;
  }

  std::vector<PortStatus> Ports() const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<PortStatus> out;
    for (const auto& [port, run] : ports_) out.push_back(run->status);
    return out;
  }

 private:
  void Wake() { watch_stop_.Request(); }

  void Emit(const StationEvent& e) {
    std::lock_guard<std::recursive_mutex> lock(emit_mu_);
    observer_.OnStationEvent(e);
  }

  bool AnyBusy() {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto& [port, run] : ports_)
      if (run->busy) return true;
    return false;
  }

  void Watch() {
    bool first = true;
    for (;;) {
      Look(first);
      first = false;
      if ((graceful_ || (options_.once && once_left_ == 0) || source_.Exhausted()) && !AnyBusy())
        break;
      // Shorter pauses while units run, so a finished one is seen (and reported) at once.
      source_.WaitForChange(options_.poll_ms, watch_stop_);
      watch_stop_.Clear();
    }
    for (auto& [port, run] : ports_)
      if (run->thread.joinable()) run->thread.join();
    StationEvent e;
    e.kind = StationEvent::Kind::kStopped;
    Emit(e);
    {
      std::lock_guard<std::mutex> lock(mu_);
      stopped_ = true;
    }
    done_cv_.notify_all();
  }

  void Look(bool first) {
    const std::vector<PortInfo> present = source_.List();
    std::set<std::string> now;
    for (const PortInfo& p : present) now.insert(p.port);
    // Printers that left: the port takes the next one.
    for (auto& [port, run] : ports_) {
      if (now.count(port)) continue;
      if (!run->busy && run->thread.joinable()) run->thread.join();
      if (run->present) {
        run->present = false;
        StationEvent e;
        e.kind = StationEvent::Kind::kPrinterLeft;
        e.port = port;
        Emit(e);
      }
      if (!run->busy) run->handled = false;
    }
    for (const PortInfo& p : present) {
      PortRun* slot = nullptr;
      {
        std::lock_guard<std::mutex> lock(mu_);
        auto& owned = ports_[p.port];
        if (!owned) {
          owned = std::make_unique<PortRun>();
          owned->status.port = p.port;
          if (first && options_.once) {
            once_ports_.insert(p.port);
            ++once_left_;
          }
        }
        slot = owned.get();
      }
      PortRun& run = *slot;
      run.present = true;
      if (run.handled || graceful_) continue;
      if (options_.once && !once_ports_.count(p.port)) continue;
      if (!StoreReady(run, p)) continue;
      if (run.thread.joinable()) run.thread.join();
      run.handled = true;
      run.waiting = false;
      run.info = p;
      run.busy = true;
      {
        std::lock_guard<std::mutex> lock(mu_);
        run.status.busy = true;
        run.status.serial.clear();
        run.status.step = Step::kIdentify;
        run.status.percent = 0;
      }
      StationEvent e;
      e.kind = StationEvent::Kind::kPrinterArrived;
      e.port = p.port;
      e.identity.link = p.link;
      e.identity.port = p.port;
      e.identity.usb_serial = p.usb_serial;
      Emit(e);
      run.thread = std::thread([this, &run] { RunUnit(run); });
    }
  }

  // New units wait while no serial number can be allocated.
  bool StoreReady(PortRun& run, const PortInfo& p) {
    const StoreState state = plan_.serial ? store_.state() : StoreState::kReady;
    if (state != store_state_) {
      store_state_ = state;
      StationEvent e;
      e.kind = StationEvent::Kind::kStoreState;
      e.store = state;
      e.message = state == StoreState::kReady
                      ? "records store reachable again"
                      : "records store unreachable: " + store_.Problem() + "; new units wait";
      Emit(e);
    }
    if (state == StoreState::kReady) return true;
    if (!run.waiting) {
      run.waiting = true;
      StationEvent e;
      e.kind = StationEvent::Kind::kWaiting;
      e.port = p.port;
      e.message = "waiting for the records store: no serial number can be allocated";
      Emit(e);
    }
    return false;
  }

  void RunUnit(PortRun& run) {
    UnitContext unit{plan_,      store_,
                     options_,   run.info,
                     immediate_, [this, &run](const StationEvent& e) { UnitEvent(run, e); }};
    std::string error;
    std::unique_ptr<UnitLink> link = source_.Open(run.info, &error);
    UnitRecord r;
    if (!link) {
      r = RecordUnopened(unit, error);
    } else {
      {
        std::lock_guard<std::mutex> lock(mu_);
        run.link_stop = &link->stop();
        if (immediate_) run.link_stop->Request();
      }
      r = RunUnitSteps(unit, *link);
      {
        std::lock_guard<std::mutex> lock(mu_);
        run.link_stop = nullptr;
      }
      link.reset();  // the device is closed before the source hears the unit ended
    }
    {
      std::lock_guard<std::mutex> lock(mu_);
      switch (r.result) {
        case UnitResult::kPass:
          ++counters_.pass;
          break;
        case UnitResult::kFail:
          ++counters_.fail;
          break;
        default:
          ++counters_.interrupted;
      }
      run.status.busy = false;
      run.status.last_result = r.result;
      run.status.last_message = r.reason;
      if (options_.once && once_ports_.count(run.info.port)) --once_left_;
    }
    source_.Finished(run.info);
    run.busy = false;
    Wake();
  }

  void UnitEvent(PortRun& run, const StationEvent& e) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      PortStatus& s = run.status;
      if (!e.serial.empty()) s.serial = e.serial;
      if (e.kind == StationEvent::Kind::kStepStarted) {
        s.step = e.step;
        s.percent = 0;
      } else if (e.kind == StationEvent::Kind::kStepProgress) {
        s.percent = e.percent;
      }
    }
    Emit(e);
  }

  const Plan& plan_;
  RecordStore& store_;
  PrinterSource& source_;
  StationObserver& observer_;
  StationOptions options_;

  mutable std::mutex mu_;
  std::recursive_mutex emit_mu_;  // one event at a time; Stop() may be called from one
  std::mutex join_mu_;
  std::condition_variable done_cv_;
  std::map<std::string, std::unique_ptr<PortRun>> ports_;  // grown by the watcher under mu_
  std::set<std::string> once_ports_;
  std::atomic<int> once_left_{0};
  Counters counters_;
  std::thread watcher_;
  StopRequest watch_stop_;
  std::atomic<bool> graceful_{false}, immediate_{false}, started_{false}, stopped_{false};
  StoreState store_state_ = StoreState::kReady;
};

Station::Station(const Plan& plan, RecordStore& store, PrinterSource& source,
                 StationObserver& observer, StationOptions options)
    : impl_(std::make_unique<Impl>(plan, store, source, observer, std::move(options))) {}

Station::~Station() {
  Stop(StopMode::kImmediate);
  impl_->Wait();
}

bool Station::Start(std::string* error) {
  return impl_->Start(error);
}
void Station::Stop(StopMode mode) {
  if (!impl_->stopped()) impl_->Stop(mode);
}
void Station::Wait() {
  impl_->Wait();
}
bool Station::stopped() const {
  return impl_->stopped();
}
Counters Station::counters() const {
  return impl_->counters();
}
std::vector<PortStatus> Station::Ports() const {
  return impl_->Ports();
}

}  // namespace quillon::production
