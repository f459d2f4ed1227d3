// The framed packet shared by requests and replies: kind, code, opera, size, data, checksum.
// Pure functions on bytes, used by the command builders and by the virtual printer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillon {

inline constexpr uint8_t kKindOrdinary = 0x10;
inline constexpr uint8_t kKindBoot = 0x04;
inline constexpr size_t kHeaderSize = 6;
inline constexpr size_t kFrameOverhead = 7;  // header + checksum

// In-memory form of a packet header plus a pointer to its data.
struct TCMD {
  uint8_t cmd[2] = {0, 0};        // cmd[0]: kind (0x10 ordinary, 0x04 boot); cmd[1]: command code
  uint16_t opera = 0;             // operation word: 0 query, 1 set, or a command's own value
  uint16_t size = 0;              // number of data bytes
  const uint8_t* data = nullptr;  // the data bytes (not transmitted)
  uint8_t crc = 0;                // 8-bit additive checksum
};

// 8-bit wrapping sum of kind, code, opera (LE), size (LE) and the size data bytes.
uint8_t cmd_getcrc(const TCMD& cmd);

// Writes the packet into out (which must hold size + 7 bytes) and returns size + 7.
size_t WriteFrame(const TCMD& header, uint8_t* out);

// Builds a whole packet into a new vector (used by the virtual printer and tests).
std::vector<uint8_t> MakeFrame(uint8_t kind, uint8_t code, uint16_t opera,
                               std::span<const uint8_t> data);

// A parsed frame whose data points into the bytes it was parsed from.
struct ParsedFrame {
  TCMD header;
  size_t length = 0;  // 7 + size
  bool checksum_ok = false;
};

// Parses a frame at the start of bytes. nullopt when fewer than 7 bytes, or fewer than
// 7 + size bytes, are present: nothing is read past the end.
std::optional<ParsedFrame> ParseFrame(std::span<const uint8_t> bytes);

inline void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t GetLE16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace quillon
