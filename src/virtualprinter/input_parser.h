// How the virtual printer splits the host's byte stream into what it acts on: framed
// packets, real-time status requests, the older firmware protocol's header, and raw output
// (text and ESC/POS) for the paper. Reads bytes only; what they lead to is the engine's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "virtualprinter/wire_frame.h"

namespace quillon::vp {

// The older firmware protocol's header: ESC # "#UPPG", then the image's checksum and size
// (32 bits each, little-endian); the raw image follows it.
inline constexpr size_t kOldHeaderSize = 15;

struct Piece {
  enum Kind {
    kNeedMore,       // the start fits a packet, request or header: wait for the rest
    kPacket,         // packet, length bytes
    kStatusRequest,  // DLE EOT n (n: 1 to 4), 3 bytes, answered outside the framing
    kOldHeader,      // the older protocol's header, kOldHeaderSize bytes
    kRaw,            // raw output starts here: the renderer takes what it needs
  };
  Kind kind = kRaw;
  size_t length = 0;
  Packet packet;              // kPacket; its data points into the bytes read
  uint8_t status = 0;         // kStatusRequest: n
  uint32_t image_sum = 0;     // kOldHeader: the image's checksum
  uint32_t image_size = 0;    // kOldHeader: the image's size
  bool bad_checksum = false;  // kRaw: a whole packet whose checksum did not add up
};

// What stands at the start of in (not empty).
Piece NextPiece(std::span<const uint8_t> in);

}  // namespace quillon::vp
