// Reading a whole section at once and writing many keys, as the language files need.
#include "core/ini_file.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace quillon {
namespace {

TEST(IniFileSections, ReadSectionIgnoresCaseAndKeepsValuesAsWritten) {
  testing::TempProgramFolder dir;
  dir.Write("a.ini", "[chs]\nBtn1=查询\ncbb_x=A#B#\nempty=\n[EN]\nbtn1=Query\n");
  IniFile ini(dir.file("a.ini"));
  auto chs = ini.ReadSection("CHS");
  EXPECT_EQ(chs.size(), 3u);
  EXPECT_EQ(chs["btn1"], "查询");
  EXPECT_EQ(chs["cbb_x"], "A#B#");  // "#" inside a value is no comment
  EXPECT_EQ(chs["empty"], "");
  EXPECT_TRUE(ini.ReadSection("DE").empty());
  EXPECT_TRUE(IniFile(dir.file("missing.ini")).ReadSection("CHS").empty());
}

TEST(IniFileSections, WriteStringsKeepsOtherSectionsAndOverwritesKeys) {
  testing::TempProgramFolder dir;
  dir.Write("a.ini", "[EN]\nbtn1=Query\n[CHS]\nbtn1=old\n");
  IniFile ini(dir.file("a.ini"));
  ASSERT_TRUE(ini.WriteStrings("CHS", {{"BTN1", "新"}, {"lbl1", "标签"}}));
  EXPECT_EQ(ini.ReadString("EN", "btn1", ""), "Query");
  EXPECT_EQ(ini.ReadString("CHS", "btn1", ""), "新");
  EXPECT_EQ(ini.ReadString("CHS", "lbl1", ""), "标签");
  EXPECT_FALSE(IniFile(dir.file("no/such/folder/a.ini")).WriteStrings("CHS", {{"k", "v"}}));
}

}  // namespace
}  // namespace quillon
