// Where config.ini, language files, the log and kept state live for the three ways of
// running, and the first start of an installed program.
#include "core/file_locations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/ini_file.h"
#include "core/ulog.h"

namespace quillon::testing {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

class FileLocationsTest : public ::testing::Test {
 protected:
  FileLocationsTest() {
    char tmpl[] = "/tmp/quillon-files-XXXXXX";
    root = mkdtemp(tmpl);
    fs::create_directories(root / "usr/bin");
    Write(root / "usr/share/quillon/config.ini", "[SYSTEM]\nUSB_VID=c0de\nLANGUAGE=CHS\n");
  }
  ~FileLocationsTest() override { fs::remove_all(root); }

  FileLocations::Facts Installed(const std::string& home = "") const {
    return {(root / "usr/bin").string(), home, (root / "cfg/quillon").string(),
            (root / "state/quillon").string()};
  }
  std::string At(const std::string& rel) const { return (root / rel).string(); }

  fs::path root;
};

TEST_F(FileLocationsTest, EachModePutsEveryFileInItsFolders) {
  // Installed: no config.ini beside the program.
  FileLocations f = FileLocations::Resolve(Installed());
  EXPECT_EQ(f.mode(), FileLocations::Mode::kInstalled);
  EXPECT_EQ(f.ShippedFolder(), At("usr/share/quillon/"));
  EXPECT_EQ(f.ConfigFile(), At("cfg/quillon/config.ini"));
  EXPECT_EQ(f.LanguageReadOrder("language_msg.ini"),
            (std::vector<std::string>{At("cfg/quillon/language_msg.ini"),
                                      At("usr/share/quillon/language_msg.ini")}));
  EXPECT_EQ(f.LanguageWriteFile("language_main.ini"), At("cfg/quillon/language_main.ini"));
  EXPECT_EQ(f.LogFolder(), At("state/quillon/log/"));
  EXPECT_EQ(f.VirtualPrinterStateFile(), At("state/quillon/virtual-printer.state"));
  EXPECT_EQ(f.SampleFontFile(), At("usr/share/quillon/sample_font.bin"));

  // Portable: the program's folder holds config.ini and can be written.
  Write(root / "usr/bin/config.ini", "");
  f = FileLocations::Resolve(Installed());
  EXPECT_EQ(f.mode(), FileLocations::Mode::kPortable);
  EXPECT_EQ(f.ShippedFolder(), At("usr/bin/"));
  EXPECT_EQ(f.ConfigFile(), At("usr/bin/config.ini"));
  EXPECT_EQ(f.LanguageReadOrder("language_main.ini"),
            std::vector<std::string>{At("usr/bin/language_main.ini")});
  EXPECT_EQ(f.LogFolder(), At("usr/bin/log/"));
  EXPECT_EQ(f.VirtualPrinterStateFile(), At("usr/bin/virtual-printer.state"));

  // --home wins over both, with or without a trailing slash.
  f = FileLocations::Resolve(Installed(At("work")));
  EXPECT_EQ(f.mode(), FileLocations::Mode::kHome);
  EXPECT_EQ(f.ConfigFile(), At("work/config.ini"));
  EXPECT_EQ(f.LanguageReadOrder("language_msg.ini"),
            std::vector<std::string>{At("work/language_msg.ini")});
  EXPECT_EQ(f.LanguageWriteFile("language_wifi.ini"), At("work/language_wifi.ini"));
  EXPECT_EQ(f.LogFolder(), At("work/log/"));
  EXPECT_NE(f.Describe().find(At("work/")), std::string::npos);
}

TEST_F(FileLocationsTest, FirstStartCopiesTheShippedSettingsOnceAndKeepsTheUsers) {
  const FileLocations f = FileLocations::Resolve(Installed());
  std::string error;
  ASSERT_TRUE(f.PrepareUserFiles(&error)) << error;
  EXPECT_EQ(IniFile(f.ConfigFile()).ReadString("SYSTEM", "USB_VID", ""), "c0de");

  ASSERT_TRUE(IniFile(f.ConfigFile()).WriteString("SYSTEM", "LANGUAGE", "EN"));
  ASSERT_TRUE(f.PrepareUserFiles(&error)) << error;
  EXPECT_EQ(IniFile(f.ConfigFile()).ReadString("SYSTEM", "LANGUAGE", ""), "EN");
  EXPECT_EQ(IniFile(At("usr/share/quillon/config.ini")).ReadString("SYSTEM", "LANGUAGE", ""),
            "CHS");

  // A settings folder that cannot be made is reported, not passed over.
  Write(root / "blocked", "a file where the folder should be");
  FileLocations::Facts facts = Installed();
  facts.user_config = At("blocked/quillon");
  EXPECT_FALSE(FileLocations::Resolve(facts).PrepareUserFiles(&error));
  EXPECT_NE(error.find("blocked"), std::string::npos);
}

TEST_F(FileLocationsTest, TheUsersLanguageCopyWinsKeyByKey) {
  Write(root / "shipped.ini", "[EN]\nMSG001=shipped one\nMSG002=shipped two\n");
  Write(root / "user.ini", "[EN]\nMSG001=mine\n[CHS]\nMSG002=\n");
  const std::vector<std::string> order = {At("user.ini"), At("shipped.ini")};
  EXPECT_EQ(ReadStringInOrder(order, "EN", "MSG001", "ERROR"), "mine");
  EXPECT_EQ(ReadStringInOrder(order, "EN", "MSG002", "ERROR"), "shipped two");
  EXPECT_EQ(ReadStringInOrder(order, "CHS", "MSG002", "ERROR"), "");  // empty is a value
  EXPECT_EQ(ReadStringInOrder(order, "EN", "MSG003", "ERROR"), "ERROR");
}

TEST_F(FileLocationsTest, TheLogCreatesTheStateFoldersItNeeds) {
  Write(root / "cfg/config.ini", "[LOG]\nTXD_ONOFF=1\n");
  ExchangeLog log(At("cfg/config.ini"), At("state/deep/quillon"));
  log.init_log();
  const std::string file = log.DailyFileName();
  EXPECT_EQ(file.rfind(At("state/deep/quillon/log/"), 0), 0u);
  EXPECT_EQ(log.Write_Log(file, "10 A1 ", 2), 0);
  std::ifstream in(file, std::ios::binary);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "TXD\t10 A1 \r");
}

}  // namespace
}  // namespace quillon::testing
