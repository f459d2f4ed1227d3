// Synthetic font images for the editor tests: every byte tells its own offset, so a glyph read
// from the wrong place shows at once.
#pragma once

#include <cstdint>
#include <vector>

namespace quillon::testing {

// The byte a synthetic image holds at offset i.
inline uint8_t PatternByte(int64_t i) {
  return static_cast<uint8_t>((i * 131 + (i >> 8) * 7 + (i >> 16)) & 0xFF);
}

inline std::vector<uint8_t> PatternImage(int64_t size) {
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  for (int64_t i = 0; i < size; ++i) bytes[static_cast<size_t>(i)] = PatternByte(i);
  return bytes;
}

inline constexpr int64_t kFullImageSize = 8 * 1024 * 1024;

}  // namespace quillon::testing
