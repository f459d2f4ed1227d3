// How the printer's side reads and writes framed packets. Kept apart from the host's
// framing code on purpose, as a printer's firmware is: the host's bytes are judged by a
// second, independent reading of the frame, so a mistake in one shows up against the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon::vp {

inline constexpr uint8_t kWireOrdinary = 0x10;
inline constexpr uint8_t kWireBoot = 0x04;
inline constexpr size_t kWireHeader = 6;  // kind, code, opera (2), size (2)

// Little-endian fields as the printer reads them off the wire.
inline uint16_t WireLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] + 256u * p[1]);
}
inline uint32_t WireLe32(const uint8_t* p) {
  return WireLe16(p) + 65536u * WireLe16(p + 2);
}
inline void WirePutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}
inline void WirePutLe32(uint8_t* p, uint32_t v) {
  WirePutLe16(p, v & 0xFFFF);
  WirePutLe16(p + 2, v >> 16);
}

// One packet as the printer took it in; data points into the received bytes.
struct Packet {
  uint8_t kind = 0;
  uint8_t code = 0;
  uint16_t opera = 0;
  uint16_t size = 0;
  const uint8_t* data = nullptr;
};

enum class Scan {
  kPacket,       // a whole packet with a good checksum; length bytes long
  kNeedMore,     // the start fits a packet, the rest has not arrived
  kBadChecksum,  // a whole packet whose last byte is not the sum of those before it
  kNotAPacket,   // not a packet kind, or a size beyond max_data
};

struct ScanResult {
  Scan scan = Scan::kNotAPacket;
  size_t length = 0;  // header + data + checksum, once the size field is in
  Packet packet;
};

// Reads a packet at the start of bytes, never past their end.
ScanResult ScanPacket(std::span<const uint8_t> bytes, size_t max_data);

// The whole packet's checksum byte: every byte before it added up, modulo 256.
uint8_t WireChecksum(std::span<const uint8_t> bytes_before_checksum);

// A whole packet: header, data, checksum.
std::vector<uint8_t> BuildPacket(uint8_t kind, uint8_t code, uint16_t opera,
                                 std::span<const uint8_t> data);

}  // namespace quillon::vp
