// One run of the station: the printer source, the bridge that hands the station's events to
// the window, and the station, torn down in the reverse order (the station stops and joins
// its threads before the bridge and the source go).
#pragma once

#include <memory>
#include <utility>

#include "app/station/qt_safe_station.h"
#include "app/station/station_bridge.h"

namespace quillon {

class StationRun {
 public:
  StationRun(std::shared_ptr<const production::Plan> plan, production::RecordStore& store,
             std::unique_ptr<production::PrinterSource> source, QObject* receiver,
             StationBridge::Handler handler, production::StationOptions options)
      : plan_(std::move(plan)),
        source_(std::move(source)),
        bridge_(receiver, std::move(handler)),
        station_(std::make_unique<production::Station>(*plan_, store, *source_, bridge_,
                                                       std::move(options))) {}
  ~StationRun() { station_.reset(); }

  production::Station& station() { return *station_; }
  const production::Plan& plan() const { return *plan_; }

 private:
  std::shared_ptr<const production::Plan> plan_;
  std::unique_ptr<production::PrinterSource> source_;
  StationBridge bridge_;
  std::unique_ptr<production::Station> station_;
};

}  // namespace quillon
