#include "virtualprinter/wire_frame.h"

namespace quillon::vp {

uint8_t WireChecksum(std::span<const uint8_t> bytes_before_checksum) {
  uint32_t total = 0;
  for (const uint8_t b : bytes_before_checksum) total += b;
  return static_cast<uint8_t>(total % 256);
}

ScanResult ScanPacket(std::span<const uint8_t> bytes, size_t max_data) {
  ScanResult r;
  if (bytes.empty()) {
    r.scan = Scan::kNeedMore;
    return r;
  }
  if (bytes[0] != kWireOrdinary && bytes[0] != kWireBoot) return r;
  if (bytes.size() < kWireHeader) {
    r.scan = Scan::kNeedMore;
    return r;
  }
  const size_t data_size = WireLe16(&bytes[4]);
  if (data_size > max_data) return r;
  r.length = kWireHeader + data_size + 1;
  if (bytes.size() < r.length) {
    r.scan = Scan::kNeedMore;
    return r;
  }
  const std::span<const uint8_t> body = bytes.first(r.length - 1);
  r.scan = WireChecksum(body) == bytes[r.length - 1] ? Scan::kPacket : Scan::kBadChecksum;
  r.packet.kind = bytes[0];
  r.packet.code = bytes[1];
  r.packet.opera = WireLe16(&bytes[2]);
  r.packet.size = static_cast<uint16_t>(data_size);
  r.packet.data = data_size > 0 ? &bytes[kWireHeader] : nullptr;
  return r;
}

std::vector<uint8_t> BuildPacket(uint8_t kind, uint8_t code, uint16_t opera,
                                 std::span<const uint8_t> data) {
  std::vector<uint8_t> out(kWireHeader);
  out[0] = kind;
  out[1] = code;
  WirePutLe16(&out[2], opera);
  WirePutLe16(&out[4], static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  out.push_back(WireChecksum(out));
  return out;
}

}  // namespace quillon::vp
