// The message file read by key and the MSGDLG kinds in front of the box.
#include "core/msg_ini.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <vector>

#include "core/ini_file.h"
#include "core/message_text.h"

#include "temp_folder.h"

namespace quillon {
namespace {

struct Shown {
  int kind;
  std::string caption, text;
};

class RecordingPresenter final : public DialogPresenter {
 public:
  int Show(int kind, const std::string& caption, const std::string& text) override {
    shown.push_back({kind, caption, text});
    return answer;
  }
  std::vector<Shown> shown;
  int answer = kMsgResultOk;
};

class MsgIniTest : public ::testing::Test {
 protected:
  testing::TempProgramFolder dir;
  std::string language = "CHS";
  RecordingPresenter presenter;
  MsgIni msg{dir.file("language_msg.ini"), language, presenter};
};

TEST_F(MsgIniTest, TextsAreReadAfreshInTheCurrentSection) {
  dir.Write("language_msg.ini", "[CHS]\nMSG001=有\n[EN]\nMSG001=Present\n");
  EXPECT_EQ(msg.Text("MSG001"), "有");
  language = "EN";
  EXPECT_EQ(msg.Text("msg001"), "Present");  // keys and sections ignore case
  dir.Write("language_msg.ini", "[en]\nMSG001=Edited while running\n");
  EXPECT_EQ(msg.Text("MSG001"), "Edited while running");
}

TEST_F(MsgIniTest, MissingFileSectionOrKeyGivesError) {
  EXPECT_EQ(msg.Text("MSG001"), "ERROR");
  dir.Write("language_msg.ini", "[CHS]\nMSG001=x\n");
  EXPECT_EQ(msg.Text("MSG002"), "ERROR");
  language = "DE";  // any other language name is used unchanged as the section
  EXPECT_EQ(msg.Text("MSG001"), "ERROR");
}

TEST_F(MsgIniTest, MsgdlgPassesKnownKindsAndRefusesOthers) {
  for (int kind = 0; kind <= 5; ++kind) {
    presenter.answer = kind == 2 ? kMsgResultCancel : kMsgResultOk;
    EXPECT_EQ(msg.MSGDLG(kind, "Caption", "text"), presenter.answer);
  }
  ASSERT_EQ(presenter.shown.size(), 6u);
  EXPECT_EQ(presenter.shown[2].kind, kMsgQuestion);
  EXPECT_EQ(presenter.shown[2].caption, "Caption");

  EXPECT_EQ(msg.MSGDLG(7, "", "never shown"), -1);
  EXPECT_EQ(msg.MSGDLG(-1, "", "never shown"), -1);
  EXPECT_EQ(presenter.shown.size(), 6u);

  msg.MSGDLG(kMsgPlain, "", "no caption");
  EXPECT_EQ(presenter.shown.back().caption, kApplicationTitle);
}

TEST_F(MsgIniTest, ShippedMessageFileHasEveryKeyInBothLanguages) {
  const std::string shipped = std::string(QUILLON_RESOURCE_DIR) + "/language_msg.ini";
  MsgIni shipped_msg(shipped, language, presenter);
  for (const char* lang : {"CHS", "EN"}) {
    language = lang;
    for (int i = 1; i <= 31; ++i) {
      char key[8];
      std::snprintf(key, sizeof key, "MSG%03d", i);
      EXPECT_NE(shipped_msg.Text(key), "ERROR") << lang << " " << key;
    }
    // MSG029 formats the two sensor values; MSG030 is also the file labels' built-in text.
    char line[256];
    std::snprintf(line, sizeof line, shipped_msg.Text("MSG029").c_str(), 12.34, 5.67);
    EXPECT_NE(std::string(line).find("12.34"), std::string::npos);
    EXPECT_NE(std::string(line).find("5.67"), std::string::npos);
  }
  language = "CHS";
  EXPECT_EQ(shipped_msg.Text("MSG030"), "未加载文件");

  // The program's own texts: the same keys in both languages, each with the same fields.
  const IniFile file(shipped);
  const auto chs = file.ReadSection("CHS");
  const auto en = file.ReadSection("EN");
  ASSERT_EQ(chs.size(), en.size());
  auto fields = [](const std::string& text) {
    std::set<std::string> out;
    for (const std::regex& r : {std::regex(R"(\{[a-z_]+\})"), std::regex("%[0-9]")}) {
      for (std::sregex_iterator it(text.begin(), text.end(), r), end; it != end; ++it)
        out.insert(it->str());
    }
    return out;
  };
  for (const auto& [key, text] : chs) {
    ASSERT_TRUE(en.count(key)) << key;
    EXPECT_EQ(fields(text), fields(en.at(key))) << key;
  }
  for (const char* key : {msgkey::kBusy, msgkey::kBusyFont, msgkey::kTransfer, msgkey::kOldTransfer,
                          msgkey::kLogoSize, msgkey::kBadCodePage})
    EXPECT_TRUE(chs.count(std::string("msg") + (key + 3))) << key;  // keys read lower-cased
}

// Every message key that the program's sources name has its text in both languages: a key
// missing from [CHS] shows the English fallback (or "ERROR") to Chinese users.
TEST(ShippedMessages, EveryKeyTheSourcesNameIsInBothLanguages) {
  const IniFile file(std::string(QUILLON_RESOURCE_DIR) + "/language_msg.ini");
  const auto chs = file.ReadSection("CHS");
  const auto en = file.ReadSection("EN");
  // Names of the same shape that are not message keys: the settings file's keys,
  // environment variables and character set names.
  std::set<std::string> other = {"ansi_codepage",  "lc_all", "lc_ctype", "xdg_config_home",
                                 "xdg_state_home", "euc_kr", "shift_jis"};
  const IniFile config(std::string(QUILLON_RESOURCE_DIR) + "/config.ini");
  for (const char* section : {"SYSTEM", "LOG"})
    for (const auto& [key, value] : config.ReadSection(section)) other.insert(key);

  const std::regex literal(R"re("(MSG[0-9]{3}|[A-Z][A-Z0-9]*(_[A-Z0-9]+)+)")re");
  std::set<std::string> keys;
  namespace fs = std::filesystem;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(QUILLON_SOURCE_DIR) / "src")) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it) {
      std::string key = (*it)[1].str();
      std::transform(key.begin(), key.end(), key.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (other.count(key)) continue;
      keys.insert(key);
      EXPECT_TRUE(chs.count(key)) << key << " has no [CHS] text (" << entry.path() << ")";
      EXPECT_TRUE(en.count(key)) << key << " has no [EN] text (" << entry.path() << ")";
    }
  }
  EXPECT_GT(keys.size(), 100u);  // the scan found the sources
}

}  // namespace
}  // namespace quillon
