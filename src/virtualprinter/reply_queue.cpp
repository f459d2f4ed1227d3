#include "virtualprinter/reply_queue.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quillon::vp {

void ReplyQueue::Push(std::vector<uint8_t> bytes, uint32_t ready_at, uint32_t split_gap_ms) {
  if (split_gap_ms && bytes.size() > 1) {
    const size_t half = bytes.size() / 2;
    std::vector<uint8_t> rest(bytes.begin() + static_cast<std::ptrdiff_t>(half), bytes.end());
    bytes.resize(half);
    replies_.push_back({std::move(bytes), 0, ready_at});
    replies_.push_back({std::move(rest), 0, ready_at + split_gap_ms});
  } else {
    replies_.push_back({std::move(bytes), 0, ready_at});
  }
}

size_t ReplyQueue::TakeReady(uint8_t* buf, size_t cap, uint32_t now) {
  size_t n = 0;
  while (n < cap && !replies_.empty()) {
    Pending& r = replies_.front();
    if (static_cast<int32_t>(r.ready_at - now) > 0) break;  // later bytes wait their turn
    const size_t take = std::min(cap - n, r.bytes.size() - r.offset);
    std::memcpy(buf + n, r.bytes.data() + r.offset, take);
    n += take;
    r.offset += take;
    if (r.offset == r.bytes.size()) replies_.pop_front();
  }
  return n;
}

int64_t ReplyQueue::MsUntilNext(uint32_t now) const {
  if (replies_.empty()) return -1;
  const int32_t wait = static_cast<int32_t>(replies_.front().ready_at - now);
  return wait > 0 ? wait : 0;
}

}  // namespace quillon::vp
