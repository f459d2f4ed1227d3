// Plugging and faults of the virtual printer: whether it is on the bus (or its line is up),
// when it vanishes, hangs up or falls silent, and what the fault switches do to each packet
// and reply. Counts packets; knows nothing of what they mean.
#pragma once

#include <cstdint>
#include <vector>

#include "virtualprinter/faults.h"

namespace quillon::vp {

class FaultSwitch {
 public:
  // What becomes of a packet that arrived.
  enum class Fate {
    kAnswer,  // answered (its reply may still be dropped: DropsReply)
    kUnplug,  // the printer has just vanished from the bus
    kHangUp,  // the printer has just hung its line up
    kIgnore,  // the printer has fallen silent
  };

  void Set(const Faults& faults) { faults_ = faults; }
  const Faults& faults() const { return faults_; }

  bool plugged() const { return plugged_; }
  bool hangup_due() const { return hangup_due_; }
  void Unplug() { plugged_ = false; }
  // Back on the bus; the packet count of the faults starts again.
  void Plug();

  // Counts a packet (from 1 since the last Plug) and says what becomes of it.
  Fate OnPacket();
  // No reply to the packet just counted (with this code).
  bool DropsReply(uint8_t code) const;
  // No reply to status requests (DLE EOT, answered outside the framing).
  bool DropsStatusReplies() const;
  // The reply mangling and timing faults apply to replies to code.
  bool Applies(uint8_t code) const { return faults_.fault_code < 0 || faults_.fault_code == code; }
  // A reply frame as the faults send it: checksum, size field or length wrong.
  void Mangle(std::vector<uint8_t>& frame, uint8_t code) const;
  // How much later a reply to code becomes readable, and the gap of its split.
  uint32_t DelayMs(uint8_t code) const { return Applies(code) ? faults_.delay_ms : 0; }
  uint32_t SplitGapMs(uint8_t code) const { return Applies(code) ? faults_.split_gap_ms : 0; }

 private:
  Faults faults_;
  bool plugged_ = true;
  bool hangup_due_ = false;
  uint32_t packets_since_plug_ = 0;
};

}  // namespace quillon::vp
