#include "app/station/station_bridge.h"

#include <QMetaObject>

namespace quillon {

void StationBridge::OnStationEvent(const production::StationEvent& event) {
  // The receiver is a QObject of the GUI thread: the functor runs there, in the order the
  // station sent the events.
  QMetaObject::invokeMethod(
      receiver_, [handler = handler_, event] { handler(event); }, Qt::QueuedConnection);
}

}  // namespace quillon
