// INI reading as the settings code relies on it: case-insensitive names, defaults,
// integers, and writes that keep the rest of the file.
#include "core/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include "support/temp_dir.h"

namespace quillon::testing {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
 protected:
  IniFileTest() {
    dir = MakeTempDir("quillon-ini-");
    path = (dir / "config.ini").string();
    std::ofstream(path) << "[SYSTEM]\nUSB_VID=c0de\nUSB_PID=7001\nLANGUAGE=Chinese\n"
                           "[LOG]\nTXD_ONOFF=1\nBAD=12x\nHEX=0x1F\nNEG=-3\nEMPTY=\n";
  }
  ~IniFileTest() override { fs::remove_all(dir); }
  fs::path dir;
  std::string path;
};

TEST_F(IniFileTest, NamesAreCaseInsensitiveAndMissingKeysGiveTheDefault) {
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("system", "usb_vid", "?"), "c0de");
  EXPECT_EQ(ini.ReadString("System", "Usb_Pid", "?"), "7001");
  EXPECT_EQ(ini.ReadString("SYSTEM", "MISSING", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("NOPE", "USB_VID", "dflt"), "dflt");
  EXPECT_EQ(IniFile((dir / "none.ini").string()).ReadString("SYSTEM", "USB_VID", "d"), "d");
  EXPECT_TRUE(ini.SectionExists("log"));
  EXPECT_FALSE(ini.SectionExists("serial"));
}

TEST_F(IniFileTest, IntegersFallBackToTheDefaultWhenNotWholeNumbers) {
  IniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("log", "txd_onoff", 0), 1);
  EXPECT_EQ(ini.ReadInteger("LOG", "BAD", 7), 7);
  EXPECT_EQ(ini.ReadInteger("LOG", "HEX", 0), 31);
  EXPECT_EQ(ini.ReadInteger("LOG", "NEG", 0), -3);
  EXPECT_EQ(ini.ReadInteger("LOG", "EMPTY", 5), 5);
  EXPECT_EQ(ini.ReadInteger("LOG", "MISSING", 4), 4);
}

TEST_F(IniFileTest, WritingOneValueKeepsTheOthersAndIsSeenAtOnce) {
  IniFile ini(path);
  ASSERT_TRUE(ini.WriteString("system", "language", "English"));
  EXPECT_EQ(ini.ReadString("SYSTEM", "LANGUAGE", ""), "English");
  EXPECT_EQ(ini.ReadString("SYSTEM", "USB_VID", ""), "c0de");
  EXPECT_EQ(ini.ReadInteger("LOG", "TXD_ONOFF", 0), 1);
  IniFile fresh((dir / "new.ini").string());
  ASSERT_TRUE(fresh.WriteString("SYSTEM", "LANGUAGE", "Chinese"));
  EXPECT_EQ(fresh.ReadString("system", "language", ""), "Chinese");
  EXPECT_FALSE(IniFile((dir / "no" / "x.ini").string()).WriteString("A", "B", "C"));
}

}  // namespace
}  // namespace quillon::testing
