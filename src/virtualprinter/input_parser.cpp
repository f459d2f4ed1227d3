#include "virtualprinter/input_parser.h"

#include <algorithm>
#include <cstring>

#include "protocol/command_codes.h"
#include "protocol/esc_cmd.h"

namespace quillon::vp {
namespace {

using namespace cmd_code;

// Real-time status request: DLE EOT n.
constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kOldHeader[7] = {0x1B, 0x23, 0x23, 0x55, 0x50, 0x50, 0x47};  // ESC # "#UPPG"

bool KnownOrdinary(uint8_t code) {
  return (code >= kInitSyspar && code <= kSleepMode) || code == kNetSet || code == kWifiSet ||
         code == kLabelTest || code == kLabelDetection || code == kOemLcdLogo ||
         code == kFlashErase || code == kFlashWrite || code == kSerialNumber ||
         code == kEnterUpdateMode || (code >= kRfidAuth && code <= kRfidHalt);
}

bool KnownBoot(uint8_t code) {
  return code >= kBootErase && code <= kBootFlashLock;
}

Piece Of(Piece::Kind kind, size_t length = 0) {
  Piece p;
  p.kind = kind;
  p.length = length;
  return p;
}

// Each reader: the piece at the start of in, or kRaw when the bytes are not its kind.
Piece StatusRequest(std::span<const uint8_t> in) {
  if (in.size() < 2) return Of(Piece::kNeedMore);
  if (in[1] != kEot) return Of(Piece::kRaw);
  if (in.size() < 3) return Of(Piece::kNeedMore);
  if (in[2] < 1 || in[2] > 4) return Of(Piece::kRaw);
  Piece p = Of(Piece::kStatusRequest, 3);
  p.status = in[2];
  return p;
}

Piece Frame(std::span<const uint8_t> in) {
  if (in.size() < 2) return Of(Piece::kNeedMore);
  const bool known = in[0] == kWireOrdinary ? KnownOrdinary(in[1]) : KnownBoot(in[1]);
  if (!known) return Of(Piece::kRaw);
  const ScanResult r = ScanPacket(in, kMaxPacketData);
  switch (r.scan) {
    case Scan::kNeedMore:
      return Of(Piece::kNeedMore);
    case Scan::kNotAPacket:
      return Of(Piece::kRaw);
    case Scan::kBadChecksum: {
      Piece p = Of(Piece::kRaw);  // garbled: its bytes go the raw way, unanswered
      p.bad_checksum = true;
      return p;
    }
    case Scan::kPacket:
      break;
  }
  Piece p = Of(Piece::kPacket, r.length);
  p.packet = r.packet;
  return p;
}

Piece OldHeader(std::span<const uint8_t> in) {
  const size_t n = std::min(in.size(), sizeof kOldHeader);
  if (std::memcmp(in.data(), kOldHeader, n) != 0) return Of(Piece::kRaw);
  if (in.size() < kOldHeaderSize) return Of(Piece::kNeedMore);
  Piece p = Of(Piece::kOldHeader, kOldHeaderSize);
  p.image_sum = WireLe32(&in[7]);
  p.image_size = WireLe32(&in[11]);
  return p;
}

}  // namespace

Piece NextPiece(std::span<const uint8_t> in) {
  const uint8_t b = in[0];
  if (b == kDle) {
    const Piece p = StatusRequest(in);
    if (p.kind != Piece::kRaw) return p;
  }
  if (b == kWireOrdinary || b == kWireBoot) return Frame(in);
  if (b == kOldHeader[0]) return OldHeader(in);
  return Of(Piece::kRaw);
}

}  // namespace quillon::vp
