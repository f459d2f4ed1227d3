// The production station: one profile applied to every printer that arrives, each on its
// own thread and link, each step done, read back, compared and recorded. The operator's
// window and quillon-cli drive it the same way:
//
//   Station station(plan, store, source, observer, options);
//   if (!station.Start(&error)) ...;      // watcher thread starts, units follow arrivals
//   ... station.Stop(StopMode::kGraceful);   // first Ctrl-C / the window's Stop
//   station.Wait();                          // every unit ended and recorded
//
// Events reach the observer from the station's threads; a window hands them to its own
// thread (a queued signal) and draws one tile per port. The records of every run (the last
// N, the counters of a shift) come from the store: RecordStore::List and Count.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "production/plan.h"
#include "production/printer_source.h"
#include "production/record_store.h"
#include "production/unit_record.h"

namespace quillon::production {

struct StationEvent {
  enum class Kind {
    kPrinterArrived,   // port, identity (link, port path, USB serial; the rest after identify)
    kIdentified,       // port, identity complete (information, Bluetooth address, number)
    kSerialAllocated,  // port, serial, serial_state (allocated or kept)
    kStepStarted,      // port, step
    kStepProgress,     // port, step, percent (0-100; firmware, font, logo, test)
    kStepFinished,     // port, step, step_status, seconds, message
    kUnitFinished,     // port, serial, result (pass, fail, interrupted), seconds, message
    kWaiting,          // port: a printer waits because no serial number can be allocated
    kPrinterLeft,      // port: the printer was unplugged; the port takes the next one
    kStoreState,       // store (ready / unreachable: new units wait), message
    kStopping,         // the station stops: graceful (units finish) or immediate
    kStopped,          // every unit ended and was recorded; the station's threads are done
  };
  Kind kind = Kind::kStopped;
  std::string port;       // empty for station-wide events
  int64_t record_id = 0;  // the unit's record (0 before it has one)
  UnitIdentity identity;  // kPrinterArrived, kIdentified
  std::string serial;     // kSerialAllocated, kUnitFinished (may be empty)
  SerialState serial_state = SerialState::kNone;
  Step step = Step::kIdentify;
  int percent = 0;
  StepStatus step_status = StepStatus::kPass;
  UnitResult result = UnitResult::kRunning;
  double seconds = 0;
  std::string message;  // one line: "settings: blackness read back 3, wanted 5"
  StoreState store = StoreState::kReady;
  bool immediate = false;  // kStopping: the second request, units are being interrupted
};

// Receives the station's events. Calls come from the station's threads but never two at
// once, in the order things happened for each port. Keep them short (hand the event to
// your own thread); Stop() may be called from inside, Wait() and the destructor not.
class StationObserver {
 public:
  virtual ~StationObserver() = default;
  virtual void OnStationEvent(const StationEvent& event) = 0;
};

struct StationOptions {
  std::string operator_name;  // --operator; recorded with every unit
  std::string station_name;   // empty: the host name
  bool force = false;         // flash the firmware even when the printer already reports it
  // Provision the printers present at the start, then end (the provision command);
  // false: keep watching the bus for arrivals until stopped.
  bool once = false;
  uint32_t poll_ms = 1000;  // longest pause between two looks at the bus
};

// What a port is doing, for a window that opens while the station runs.
struct PortStatus {
  std::string port;
  std::string serial;
  Step step = Step::kIdentify;
  int percent = 0;
  bool busy = false;  // a unit runs on it
  UnitResult last_result = UnitResult::kRunning;
  std::string last_message;
};

enum class StopMode {
  kGraceful,   // start no new unit; units in progress finish
  kImmediate,  // units in progress stop at once and are recorded "interrupted"
};

class Station {
 public:
  // plan, store, source and observer outlive the station.
  Station(const Plan& plan, RecordStore& store, PrinterSource& source, StationObserver& observer,
          StationOptions options);
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;
  // Stops at once (if still running) and waits for every thread.
  ~Station();

  // Marks records left "running" by a crashed station of this host as interrupted, then
  // starts watching the source. False with error when the store cannot be used.
  bool Start(std::string* error);
  // May be called from any thread, also from a signal-watching thread; a graceful stop may
  // be followed by an immediate one.
  void Stop(StopMode mode);
  // Blocks until the station has stopped: after Stop, when a once-station has done its
  // printers, or when the source is exhausted.
  void Wait();
  bool stopped() const;

  // Units of this run so far (records of every run: the store's Count and List).
  Counters counters() const;
  std::vector<PortStatus> Ports() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// Runs the steps of one unit on link (the provision command without a station, and the
// station's worker threads): identify, allocate or keep a number, every step of the plan.
// stop_immediate is polled between steps; the link's own stop request ends a wait at once.
// emit receives the unit's events (port filled in). The record is saved before the first
// step and after each one.
struct UnitContext {
  const Plan& plan;
  RecordStore& store;
  const StationOptions& options;
  PortInfo port;
  const std::atomic<bool>& stop_immediate;
  std::function<void(const StationEvent&)> emit;
};
UnitRecord RunUnitSteps(UnitContext& unit, UnitLink& link);
// The record of a unit whose printer could not be opened (it fails at identify).
UnitRecord RecordUnopened(UnitContext& unit, const std::string& error);

}  // namespace quillon::production
