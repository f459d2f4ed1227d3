// The font page's flow without any window: erase the font flash (sector by sector or as a
// whole), then write the file in packets of the chosen size, each with its flash address.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/flow_ui.h"
#include "flash/flash_common.h"
#include "session/app_context.h"

namespace quillon {

inline constexpr uint32_t kFlashSector = 4096;
inline constexpr int kEraseAttempts = 10;
inline constexpr int kWriteAttempts = 3;
inline constexpr uint32_t kFlashStepPauseMs = 1;
inline constexpr uint64_t kFontFileMax = 0x7FFFFFFF;  // sizes and addresses stay 31-bit

struct FontJob {
  std::string path;                    // the file label's text (the MSG030 text: no file)
  std::string packsize_text = "1024";  // the packet size box's text
  bool erase_all = false;              // one whole-flash erase instead of sector erases
  // Local time of the START:/END: lines; the system's local time when empty.
  std::function<std::tm()> local_time;
  // The file's bytes, when the caller has read them already (the production station reads
  // each file once and records its hash). Null: the flow reads path.
  const std::vector<uint8_t>* image = nullptr;
};

// btn24: the whole download, reported through ui.
FlashOutcome FontDownload(AppContext& ctx, FlowUi& ui, const FontJob& job);

// The packet size box's text as a number of data bytes: a whole number from 1 to the
// most a flash write packet carries; nullopt otherwise.
std::optional<uint32_t> ParsePackSize(const std::string& text);

}  // namespace quillon
