// HexToint and the program folder override.
#include "app/sfunc.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(HexToint, ReadsHexadecimalAndGivesZeroOnAnyFailure) {
  EXPECT_EQ(HexToint("1b"), 27u);
  EXPECT_EQ(HexToint("1B"), 27u);
  EXPECT_EQ(HexToint("FFFFFFFF"), 4294967295u);
  EXPECT_EQ(HexToint("0000000001"), 1u);  // leading zeros do not count towards the limit
  EXPECT_EQ(HexToint(""), 0u);
  EXPECT_EQ(HexToint("G1"), 0u);
  EXPECT_EQ(HexToint("1 "), 0u);
  EXPECT_EQ(HexToint("123456789"), 0u);  // above FFFFFFFF
}

TEST(ApplicationPath, OverrideEndsWithSeparatorAndEmptyRestoresTheExecutableFolder) {
  const std::string exe_folder = GetApplicationPath();
  ASSERT_FALSE(exe_folder.empty());
  EXPECT_EQ(exe_folder.back(), '/');
  SetApplicationPath("/tmp/some_folder");
  EXPECT_EQ(GetApplicationPath(), "/tmp/some_folder/");
  SetApplicationPath("");
  EXPECT_EQ(GetApplicationPath(), exe_folder);
}

}  // namespace
}  // namespace quillon
