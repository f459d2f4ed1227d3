// The firmware page's flows without any window: the newer boot-loader protocol (framed
// packets), the older one (raw header + whole image), and the two maintenance commands.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/flow_ui.h"
#include "flash/flash_common.h"
#include "session/app_context.h"

namespace quillon {

inline constexpr size_t kFirmwareImageMax = 262145;  // 256 KiB + 1, the image buffer
inline constexpr uint16_t kBootPacketSize = 1024;
inline constexpr uint32_t kBootPacketPauseMs = 10;
inline constexpr uint32_t kOldReplyWaitMs = 30000;
inline constexpr uint8_t kOldUpdateOk = 0xAA;

struct FirmwareJob {
  std::string path;          // the file label's text (the MSG030 text: no file chosen)
  SerialPortControl serial;  // reopened before and closed after a newer-protocol run
  uint32_t old_reply_wait_ms = kOldReplyWaitMs;  // older protocol's wait for its status byte
  // The image, when the caller has read (and checked) it already: the production station
  // reads each file once and records its hash. Null: the flow reads path.
  const std::vector<uint8_t>* image = nullptr;
};

// Newer protocol: erase, 1024-byte data packets, checksum verification.
FlashOutcome NewUpdate(AppContext& ctx, FlowUi& ui, const FirmwareJob& job);
// Older protocol: 15-byte header, the whole image in one write, one status byte back.
FlashOutcome OldUpdate(AppContext& ctx, FlowUi& ui, const FirmwareJob& job);

// btn44: asks a running printer to switch to its boot loader.
FlashResult EnterFlashingMode(AppContext& ctx);
// btn52: clears the boot loader's flash lock.
FlashResult FlashUnlock(AppContext& ctx);

// ESC '#' "#UPPG", checksum and size (both little-endian): the older protocol's header.
std::array<uint8_t, 15> OldUpdateHeader(uint32_t crc, uint32_t size);

}  // namespace quillon
