// Sizes of the packet and reply buffers and of what one packet can carry, shared by the
// command builders and the printer's side of the protocol (the virtual printer).
#pragma once

#include <cstddef>

#include "protocol/frame.h"

namespace quillon {

inline constexpr size_t kCmdBufSize = 20481;
inline constexpr size_t kRetBufSize = 128;
inline constexpr size_t kMaxPacketData = kCmdBufSize - kFrameOverhead;  // 20474
inline constexpr size_t kMaxFlashWriteData = kMaxPacketData - 8;        // 20466
inline constexpr size_t kMaxLogoData = 4092;
inline constexpr size_t kMaxSerialNumber = 31;

}  // namespace quillon
