// The printer's side of the protocol: what a printer in a given state answers to one
// packet, and the older firmware protocol's image. No I/O, no clock and no lock: the
// engine (virtual_printer.h) calls these under its own lock, and feeds the answers to its
// faults, its timing and its transports.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "virtualprinter/printer_state.h"
#include "virtualprinter/wire_frame.h"

namespace quillon::vp {

// Status byte of the older firmware protocol.
inline constexpr uint8_t kOldUpdateOk = 0xAA;
inline constexpr uint8_t kOldUpdateFailed = 0x55;

// What a packet earns.
struct Reply {
  bool acknowledged = false;  // false: the printer answers nothing
  std::vector<uint8_t> data;  // the reply's data bytes
  bool changed = false;       // the printer's state changed
};

// The firmware the boot loader is receiving (newer protocol): announced by the erase and
// collected since.
struct BootLoad {
  bool erased = false;
  uint32_t expected = 0;
  std::vector<uint8_t> image;
};

// What the faults change about the answers themselves.
struct AnswerRules {
  bool refuse_text_sets = false;
};

// The answer to packet by a printer in state (with boot, the firmware being received).
Reply AnswerPacket(PrinterState& state, BootLoad& boot, const Packet& packet,
                   const AnswerRules& rules = {});

// The older firmware protocol: after its header, the raw image; the printer answers one
// status byte once the image is whole (or at once for an empty one).
class OldUpdate {
 public:
  bool active() const { return active_; }
  // The header announced an image of size bytes with that checksum; the status byte
  // when the printer answers at once.
  std::optional<uint8_t> Start(uint32_t sum, uint32_t size);
  // Takes image bytes from the start of in (how many: used); the status byte once the
  // image is whole, the firmware then written into state when it checks out.
  std::optional<uint8_t> Take(std::span<const uint8_t> in, PrinterState& state, size_t& used,
                              bool& changed);
  // Abandons an image still being received.
  void Abort();

 private:
  bool active_ = false;
  uint32_t size_ = 0;
  uint32_t sum_ = 0;
  uint32_t received_ = 0;
  uint32_t received_sum_ = 0;
  std::vector<uint8_t> image_;
};

}  // namespace quillon::vp
