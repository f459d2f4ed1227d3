// The read worker's block ending, followed on a made-up timeline: bytes that trickle in
// with gaps shorter than the read interval stay one block however long they last; a gap
// longer than the interval, or the total read time-out, starts the next one.
#include "link/serial/read_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

using std::chrono::milliseconds;

// Bytes at start, start + step, ... up to end (milliseconds).
std::vector<int> Trickle(int start, int end, int step) {
  std::vector<int> at;
  for (int t = start; t <= end; t += step) at.push_back(t);
  return at;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Blocks made by one byte at each time, as the worker makes them: before a byte is taken,
// a block whose end has come is handed on.
int Blocks(const std::vector<int>& arrivals_ms, const ReadBlock::Timeouts& t) {
  ReadBlock block;
  int blocks = 0;
  for (const int ms : arrivals_ms) {
    const ReadBlock::Clock::time_point now{milliseconds(ms)};
    if (!block.empty() && block.Ended(now, t, 4096)) {
      ++blocks;
      block.Clear();
    }
    block.Add(now);
  }
  return blocks + (block.empty() ? 0 : 1);
}

TEST(ReadBlock, QuietLineAfterTheLatestByteEndsTheBlock) {
  const ReadBlock::Timeouts interval10{10, 0, 0};
  const struct {
    const char* name;
    std::vector<int> at;
    ReadBlock::Timeouts timeouts;
    int blocks;
  } cases[] = {
      {"gaps of 5 ms for 200 ms", Trickle(0, 200, 5), interval10, 1},
      {"gaps of 9 ms for 90 ms", Trickle(0, 90, 9), interval10, 1},
      {"one gap of 25 ms", Join(Trickle(0, 50, 5), Trickle(75, 100, 5)), interval10, 2},
      {"two gaps of 11 ms", Join(Trickle(0, 20, 5), Join(Trickle(31, 40, 3), {51})), interval10, 3},
      {"interval 2 ms, bytes every ms", Trickle(0, 30, 1), {2, 0, 0}, 1},
      {"interval 3 ms, one 5 ms gap", Join(Trickle(0, 10, 2), Trickle(15, 25, 2)), {3, 0, 0}, 2},
      {"total time-out of 50 ms", Trickle(0, 120, 5), {100, 0, 50}, 3},
      {"return at once", Trickle(0, 4, 1), {0xFFFFFFFFu, 0, 0}, 5},
      {"no interval: only a full buffer ends it", Join(Trickle(0, 10, 5), {5000}), {0, 0, 0}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Blocks(c.at, c.timeouts), c.blocks) << c.name;
  }
}

TEST(ReadBlock, DeadlineFollowsTheLatestByte) {
  ReadBlock block;
  const ReadBlock::Timeouts t{10, 0, 0};
  EXPECT_FALSE(block.Deadline(t, 4096));
  block.Add(ReadBlock::Clock::time_point{milliseconds(100)});
  block.Add(ReadBlock::Clock::time_point{milliseconds(108)});
  EXPECT_EQ(block.Deadline(t, 4096), ReadBlock::Clock::time_point{milliseconds(118)});
  block.Clear();
  EXPECT_TRUE(block.empty());
  EXPECT_FALSE(block.Deadline(t, 4096));
}

}  // namespace
}  // namespace quillon
