// Waiting for the USB bus to change: libusb hot-plug events where the platform has them,
// otherwise a plain pause until the next look at the bus.
#pragma once

#include <cstdint>
#include <memory>

#include "link/message_pump.h"
#include "production/printer_source.h"

namespace quillon::production {

class BusWatch {
 public:
  virtual ~BusWatch() = default;
  // Returns at a device arrival or departure, at stop, or after max_wait_ms.
  virtual void Wait(uint32_t max_wait_ms, const StopRequest& stop) = 0;
  // True when arrivals are announced (hot-plug), false when the bus is only looked at.
  virtual bool hotplug() const = 0;
};

std::unique_ptr<BusWatch> MakeBusWatch();

}  // namespace quillon::production
