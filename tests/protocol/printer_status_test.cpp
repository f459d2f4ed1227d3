// Decoding the four real-time status bytes: the fixed bits, each flag, combinations.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "protocol/printer_status.h"

namespace quillon {
namespace {

using Replies = std::array<std::optional<uint8_t>, 4>;

using Flag = bool PrinterStatus::*;
constexpr Flag kOffline = &PrinterStatus::offline, kPin3 = &PrinterStatus::drawer_pin3,
               kCover = &PrinterStatus::cover_open, kFeed = &PrinterStatus::feed_button,
               kNearEnd = &PrinterStatus::paper_near_end, kOut = &PrinterStatus::paper_out,
               kStopped = &PrinterStatus::stopped_by_paper_out, kError = &PrinterStatus::error,
               kRecov = &PrinterStatus::recoverable_error,
               kUnrecov = &PrinterStatus::unrecoverable_error,
               kAuto = &PrinterStatus::auto_recoverable_error,
               kCutter = &PrinterStatus::cutter_error;

TEST(PrinterStatusDecode, FlagsReadinessAndReasons) {
  struct Case {
    Replies replies;
    const char* reason;  // "" when ready
    std::vector<Flag> set;
  };
  const Case cases[] = {
      {{0x12, 0x12, 0x12, 0x12}, "", {}},
      {{0x16, 0x12, 0x12, 0x12}, "", {kPin3}},
      {{0x12, 0x12, 0x12, 0x1E}, "", {kNearEnd}},
      {{0x12, 0x1A, 0x12, 0x12}, "", {kFeed}},
      {{0x1A, 0x12, 0x12, 0x12}, "offline", {kOffline}},
      {{0x1A, 0x16, 0x12, 0x12}, "cover open", {kOffline, kCover}},
      {{0x12, 0x32, 0x12, 0x12}, "printing stopped by paper out", {kStopped}},
      {{0x12, 0x52, 0x12, 0x12}, "error", {kError}},
      {{0x12, 0x52, 0x16, 0x12}, "recoverable error", {kError, kRecov}},
      {{0x12, 0x52, 0x1A, 0x12}, "cutter error", {kError, kCutter}},
      {{0x12, 0x52, 0x32, 0x12}, "unrecoverable error", {kError, kUnrecov}},
      {{0x12, 0x52, 0x52, 0x12}, "auto-recoverable error", {kError, kAuto}},
      {{0x12, 0x12, 0x12, 0x72}, "paper out", {kOut}},
      // A printer may set only one bit of a sensor pair: each alone counts.
      {{0x12, 0x12, 0x12, 0x16}, "", {kNearEnd}},
      {{0x12, 0x12, 0x12, 0x1A}, "", {kNearEnd}},
      {{0x12, 0x12, 0x12, 0x32}, "paper out", {kOut}},
      {{0x12, 0x12, 0x12, 0x52}, "paper out", {kOut}},
      // As a printer with an open cover and an empty roll answers.
      {{0x1A, 0x36, 0x12, 0x7E},
       "cover open, paper out, printing stopped by paper out",
       {kOffline, kCover, kStopped, kNearEnd, kOut}},
      // Fixed bits wrong (bit 0 or 7 set, bit 1 or 4 clear) or a missing byte: no answer,
      // and the flags of that byte are not read.
      {{0x13, 0x12, 0x12, 0x12}, "no status reply", {}},
      {{0x12, 0x96, 0x12, 0x12}, "no status reply", {}},
      {{0x12, 0x12, 0x10, 0x12}, "no status reply", {}},
      {{0x12, 0x12, 0x12, 0x62}, "no status reply", {}},
      {{0x12, 0x12, 0x12, std::nullopt}, "no status reply", {}},
  };
  const Flag all[] = {kOffline, kPin3,  kCover, kFeed,    kNearEnd, kOut,
                      kStopped, kError, kRecov, kUnrecov, kAuto,    kCutter};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const PrinterStatus st = DecodeStatus(c.replies);
    EXPECT_EQ(st.ready(), std::string(c.reason).empty()) << "case " << i;
    EXPECT_EQ(st.NotReadyReason(), c.reason) << "case " << i;
    for (size_t k = 0; k < std::size(all); ++k) {
      const bool expected = std::find(c.set.begin(), c.set.end(), all[k]) != c.set.end();
      EXPECT_EQ(st.*all[k], expected) << "case " << i << ", flag " << k;
    }
  }
  EXPECT_EQ(DecodeStatus({0x12, 0x12, 0x12, 0x1E}).Summary(), "ready (paper near end)");
}

TEST(PrinterStatusDecode, RequestBytes) {
  for (uint8_t n = 1; n <= 4; ++n) {
    EXPECT_EQ(StatusRequest(n), (std::array<uint8_t, 3>{0x10, 0x04, n}));
  }
}

}  // namespace
}  // namespace quillon
