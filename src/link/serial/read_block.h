// When the read worker ends a block of received bytes, apart from its thread and its clock
// so the rule can be followed byte by byte: a block ends when the line has been quiet for
// the read interval after its latest byte, or when the total read time-out (if set) has
// passed since its first byte. (A full buffer ends it too; the worker sees to that.)
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

namespace quillon {

class ReadBlock {
 public:
  using Clock = std::chrono::steady_clock;

  // Read time-outs in milliseconds, as the port holds them.
  struct Timeouts {
    uint32_t interval = 100;
    uint32_t total_multiplier = 0;
    uint32_t total_constant = 0;
  };

  bool empty() const { return !started_; }
  // Bytes came in at now.
  void Add(Clock::time_point now) {
    if (!started_) first_ = now;
    started_ = true;
    last_ = now;
  }
  // The block was handed on (or dropped): the next byte starts a new one.
  void Clear() { started_ = false; }

  // Whether the block is to be handed on at once, whatever comes next.
  bool DueNow(const Timeouts& t, size_t buffer_size) const {
    return started_ && t.interval == kMaxDword && Total(t, buffer_size) == 0;
  }
  // When the block ends if no further byte arrives; none while empty or when only a full
  // buffer ends it.
  std::optional<Clock::time_point> Deadline(const Timeouts& t, size_t buffer_size) const {
    if (!started_ || DueNow(t, buffer_size)) return std::nullopt;
    std::optional<Clock::time_point> end;
    if (t.interval != 0 && t.interval != kMaxDword) {
      end = last_ + std::chrono::milliseconds(t.interval);
    }
    if (const uint64_t total = Total(t, buffer_size); total != 0) {
      const Clock::time_point limit = first_ + std::chrono::milliseconds(total);
      end = end ? std::min(*end, limit) : limit;
    }
    return end;
  }
  bool Ended(Clock::time_point now, const Timeouts& t, size_t buffer_size) const {
    if (DueNow(t, buffer_size)) return true;
    const std::optional<Clock::time_point> end = Deadline(t, buffer_size);
    return end && now >= *end;
  }

 private:
  static constexpr uint32_t kMaxDword = 0xFFFFFFFFu;  // interval "return at once"
  static uint64_t Total(const Timeouts& t, size_t buffer_size) {
    return uint64_t{t.total_multiplier} * buffer_size + t.total_constant;
  }

  bool started_ = false;
  Clock::time_point first_{}, last_{};
};

}  // namespace quillon
