// Hands the station's events from its threads to the window's thread: each event is copied
// into a queued call, so the window draws its tiles only on the GUI thread and never
// blocks the station's workers.
#pragma once

#include <QObject>
#include <functional>

#include "app/station/qt_safe_station.h"

namespace quillon {

class StationBridge final : public production::StationObserver {
 public:
  using Handler = std::function<void(const production::StationEvent&)>;
  // handler runs on receiver's thread. receiver outlives the station that calls the bridge;
  // calls still queued when receiver is deleted are dropped with its events.
  StationBridge(QObject* receiver, Handler handler)
      : receiver_(receiver), handler_(std::move(handler)) {}

  void OnStationEvent(const production::StationEvent& event) override;

 private:
  QObject* receiver_;
  Handler handler_;
};

}  // namespace quillon
