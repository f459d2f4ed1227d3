// Fault switches of the virtual printer, so that every failure path of the host can be
// reached on purpose. All are off by default.
#pragma once

#include <cstdint>

namespace quillon::vp {

struct Faults {
  // Packets are counted from 1 in the order they arrive (since the last Plug()).
  uint32_t drop_reply_to_packet = 0;  // no reply to the Nth packet; 0 = off
  int drop_replies_to_code = -1;      // no reply to any packet with this code; -1 = off
  uint32_t unplug_after_packets = 0;  // answer N packets, then vanish as if unplugged; 0 = off
  uint32_t hangup_after_packets = 0;  // answer N packets, then hang the line up; 0 = off
  uint32_t silent_after_packets = 0;  // answer N packets, then ignore every packet; 0 = off
  bool refuse_text_sets = false;      // text sets answer 0 (refused)

  // Reply mangling; applies to every reply, or only to replies to fault_code when that
  // is 0..255.
  int fault_code = -1;
  bool corrupt_checksum = false;  // the checksum byte is off by one
  int length_delta = 0;           // >0 appends that many 0 bytes, <0 drops trailing bytes
  uint16_t size_excess = 0;       // the size field claims this many bytes more than sent
  uint32_t delay_ms = 0;          // replies become readable this much later
  uint32_t split_gap_ms = 0;      // reply sent as two writes this far apart; 0 = whole

  bool Any() const {
    return drop_reply_to_packet || drop_replies_to_code >= 0 || unplug_after_packets ||
           hangup_after_packets || silent_after_packets || refuse_text_sets || corrupt_checksum ||
           length_delta || size_excess || delay_ms || split_gap_ms;
  }
};

}  // namespace quillon::vp
