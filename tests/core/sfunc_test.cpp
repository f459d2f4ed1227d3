// Hexadecimal text to numbers and the program folder override.
#include "core/sfunc.h"

#include <gtest/gtest.h>

namespace quillon::testing {
namespace {

TEST(HexTointTest, ReadsHexadecimalTextAndRejectsTheRest) {
  EXPECT_EQ(HexToint("1b"), 27u);
  EXPECT_EQ(HexToint("1B"), 27u);
  EXPECT_EQ(HexToint("0"), 0u);
  EXPECT_EQ(HexToint("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(HexToint("00000000FF"), 0xFFu);  // leading zeros do not count as overflow
  EXPECT_EQ(HexToint(""), 0u);
  EXPECT_EQ(HexToint("G1"), 0u);
  EXPECT_EQ(HexToint("1 B"), 0u);
  EXPECT_EQ(HexToint("123456789"), 0u);  // above FFFFFFFF
  EXPECT_EQ(HexToint("100000000"), 0u);
}

TEST(ApplicationPathTest, OverrideEndsWithASlashAndCanBeUndone) {
  const std::string real = GetApplicationPath();
  ASSERT_FALSE(real.empty());
  EXPECT_EQ(real.back(), '/');
  SetApplicationPath("/tmp/quillon-home");
  EXPECT_EQ(GetApplicationPath(), "/tmp/quillon-home/");
  SetApplicationPath("");
  EXPECT_EQ(GetApplicationPath(), real);
}

}  // namespace
}  // namespace quillon::testing
