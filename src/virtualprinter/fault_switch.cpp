#include "virtualprinter/fault_switch.h"

#include <algorithm>

#include "virtualprinter/wire_frame.h"

namespace quillon::vp {
namespace {

constexpr uint8_t kEot = 0x04;  // the code status requests are dropped by (--drop-code 04)

}  // namespace

void FaultSwitch::Plug() {
  plugged_ = true;
  hangup_due_ = false;
  packets_since_plug_ = 0;
}

FaultSwitch::Fate FaultSwitch::OnPacket() {
  if (faults_.unplug_after_packets && packets_since_plug_ >= faults_.unplug_after_packets) {
    plugged_ = false;  // gone from the bus: this packet and all after it go nowhere
    return Fate::kUnplug;
  }
  if (faults_.hangup_after_packets && packets_since_plug_ >= faults_.hangup_after_packets) {
    plugged_ = false;  // the line is gone: nothing is taken or answered any more
    hangup_due_ = true;
    return Fate::kHangUp;
  }
  ++packets_since_plug_;
  if (faults_.silent_after_packets && packets_since_plug_ > faults_.silent_after_packets)
    return Fate::kIgnore;
  return Fate::kAnswer;
}

bool FaultSwitch::DropsReply(uint8_t code) const {
  return faults_.drop_reply_to_packet == packets_since_plug_ ||
         faults_.drop_replies_to_code == code;
}

bool FaultSwitch::DropsStatusReplies() const {
  return faults_.drop_replies_to_code == kEot;
}

void FaultSwitch::Mangle(std::vector<uint8_t>& frame, uint8_t code) const {
  if (!Applies(code)) return;
  if (faults_.corrupt_checksum) frame.back() = static_cast<uint8_t>(frame.back() + 1);
  if (faults_.size_excess)
    WirePutLe16(&frame[4], static_cast<uint16_t>(WireLe16(&frame[4]) + faults_.size_excess));
  if (faults_.length_delta > 0) {
    frame.insert(frame.end(), static_cast<size_t>(faults_.length_delta), uint8_t{0});
  } else if (faults_.length_delta < 0) {
    const size_t cut = std::min(frame.size() - 1, static_cast<size_t>(-faults_.length_delta));
    frame.resize(frame.size() - cut);
  }
}

}  // namespace quillon::vp
