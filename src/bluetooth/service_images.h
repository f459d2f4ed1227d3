// The table of well-known Bluetooth services and the image index shown beside a service.
#pragma once

#include <array>

#include "bluetooth/bt_uuid.h"

namespace quillon {

struct TServiceImage {
  const char* Name;  // kept for reference; never shown
  BtUuid UUID;
  int ImageIndex;
};

extern const std::array<TServiceImage, 28> ServiceImages;

// Image of the first record with that UUID; 3 when there is none.
int GetServiceImageIndex(const BtUuid& uuid);

}  // namespace quillon
