// Log lines for every switch and kind, switches read from config.ini, and file failures.
#include "core/ulog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include "support/temp_dir.h"

namespace quillon::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class UlogTest : public ::testing::Test {
 protected:
  UlogTest() {
    dir = MakeTempDir("quillon-ulog-");
    log.now = [] {
      std::tm t{};
      t.tm_year = 124;
      t.tm_mon = 4;
      t.tm_mday = 7;
      t.tm_hour = 4;
      t.tm_min = 3;
      t.tm_sec = 9;
      return t;
    };
  }
  ~UlogTest() override { fs::remove_all(dir); }
  // The line one call writes, read back from a fresh file.
  std::string LineOf(int32_t kind, const std::string& text) {
    const fs::path file = dir / "line.txt";
    fs::remove(file);
    EXPECT_EQ(log.Write_Log(file.string(), text, kind), 0);
    return ReadFile(file);
  }

  fs::path dir;
  ExchangeLog log{"unused"};
};

TEST_F(UlogTest, EachKindIsTaggedOnlyWhenItsSwitchIsExactlyOne) {
  struct Kind {
    int32_t kind;
    uint8_t LogSwitches::*sw;
    const char* tag;
  };
  const Kind kinds[] = {{0, &LogSwitches::MSG_ONOFF, "MSG"},
                        {-1, &LogSwitches::ERR_ONOFF, "ERR"},
                        {1, &LogSwitches::RXD_ONOFF, "RXD"},
                        {2, &LogSwitches::TXD_ONOFF, "TXD"},
                        {3, &LogSwitches::ANY_ONOFF, "ANY"}};
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.tag);
    for (uint8_t stamp : {0, 1}) {
      log.switches = LogSwitches{};
      log.switches.ADD_DATETIME = stamp;
      const std::string prefix = stamp ? "[2024-05-07 04:03:09]\t" : "";
      EXPECT_EQ(LineOf(k.kind, "10 A1 "), prefix + "\r\n");  // switched off
      log.switches.*k.sw = 2;                                // only 1 means on
      EXPECT_EQ(LineOf(k.kind, "10 A1 "), prefix + "\r\n");
      log.switches.*k.sw = 1;
      EXPECT_EQ(LineOf(k.kind, "10 A1 "), prefix + k.tag + "\t10 A1 \r\n");
      // Another kind's switch does not turn this one on.
      for (const Kind& other : kinds) {
        if (other.kind != k.kind) {
          EXPECT_EQ(LineOf(other.kind, "x"), prefix + "\r\n");
        }
      }
    }
  }
  log.switches = LogSwitches{1, 1, 1, 1, 1, 1};
  EXPECT_EQ(LineOf(4, "x"), "[2024-05-07 04:03:09]\t\r\n");  // unknown kinds add nothing
  EXPECT_EQ(LineOf(-2, "x"), "[2024-05-07 04:03:09]\t\r\n");
}

TEST_F(UlogTest, SwitchesComeFromTheLogSectionAsLowBytes) {
  std::ofstream(dir / "config.ini") << "[system]\nLANGUAGE=English\n[log]\ntxd_onoff=1\n"
                                       "RXD_ONOFF=2\nMSG_ONOFF=257\nADD_DATETIME=1\n";
  ExchangeLog configured(dir.string());
  configured.switches.ERR_ONOFF = 9;  // replaced by the default of a missing key
  EXPECT_EQ(configured.init_log(), 0);
  EXPECT_EQ(configured.switches.TXD_ONOFF, 1);
  EXPECT_EQ(configured.switches.RXD_ONOFF, 2);
  EXPECT_EQ(configured.switches.MSG_ONOFF, 1);
  EXPECT_EQ(configured.switches.ADD_DATETIME, 1);
  EXPECT_EQ(configured.switches.ERR_ONOFF, 0);
  EXPECT_EQ(configured.switches.ANY_ONOFF, 0);

  ExchangeLog missing((dir / "nowhere").string());
  missing.switches.TXD_ONOFF = 1;
  EXPECT_EQ(missing.init_log(), 0);
  EXPECT_EQ(missing.switches.TXD_ONOFF, 0);
}

TEST_F(UlogTest, FilesAreAppendedCreatedAndFailuresReported) {
  ExchangeLog here(dir.string());
  here.now = log.now;
  here.switches.MSG_ONOFF = 1;
  EXPECT_EQ(here.Write_Log("", "one", 0), 0);  // empty name: Log.txt in the folder
  EXPECT_EQ(here.Write_Log("", "two", 0), 0);
  EXPECT_EQ(ReadFile(dir / "Log.txt"), "MSG\tone\r\nMSG\ttwo\r\n");

  EXPECT_FALSE(fs::exists(dir / "log"));
  EXPECT_EQ(fs::path(here.DailyFileName()), dir / "log" / "20240507.txt");  // either separator
  EXPECT_TRUE(fs::is_directory(dir / "log"));

  EXPECT_EQ(here.Write_Log((dir / "no" / "such" / "file.txt").string(), "x", 0), -1);
  EXPECT_EQ(HexLine(nullptr, 0), "");
  const uint8_t bytes[] = {0x00, 0x0F, 0xA0, 0xFF};
  EXPECT_EQ(HexLine(bytes, 4), "00 0F A0 FF ");
}

}  // namespace
}  // namespace quillon::testing
