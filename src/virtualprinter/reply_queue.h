// Replies on their way to the host, each readable from its own time on: a reply waits for
// the one before it, a delayed reply for its time, a split reply's second part for its gap.
// Times are the engine clock's 32-bit milliseconds (they wrap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace quillon::vp {

class ReplyQueue {
 public:
  // Queues bytes readable from ready_at on; with split_gap_ms (and more than one byte), the
  // second half only that much later.
  void Push(std::vector<uint8_t> bytes, uint32_t ready_at, uint32_t split_gap_ms = 0);
  // Copies what is readable at now (up to cap); returns the count.
  size_t TakeReady(uint8_t* buf, size_t cap, uint32_t now);
  // Milliseconds from now until the next byte is readable: 0 now, -1 none queued.
  int64_t MsUntilNext(uint32_t now) const;
  void Clear() { replies_.clear(); }

 private:
  struct Pending {
    std::vector<uint8_t> bytes;
    size_t offset = 0;
    uint32_t ready_at = 0;
  };
  std::deque<Pending> replies_;
};

}  // namespace quillon::vp
