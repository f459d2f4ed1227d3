// The emulated ANSI code page: locale defaults, the config override, round trips and the
// "?" for characters the code page cannot hold.
#include "core/ansi_codepage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/codepage_warning.h"
#include "core/ini_file.h"
#include "output_fixture.h"

namespace quillon {
namespace {

TEST(AnsiCodePage, LocaleChoosesAsWindowsWould) {
  const std::pair<const char*, int> cases[] = {
      {"C", 936},           {"POSIX", 936},        {"", 936},
      {"C.UTF-8", 936},     {"zh_CN.UTF-8", 936},  {"zh_SG", 936},
      {"zh_TW.UTF-8", 950}, {"zh_HK", 950},        {"zh_MO.UTF-8", 950},
      {"ja_JP.UTF-8", 932}, {"ko_KR.EUC-KR", 949}, {"ru_RU.UTF-8", 1251},
      {"uk_UA", 1251},      {"bg_BG", 1251},       {"pl_PL.UTF-8", 1250},
      {"cs_CZ", 1250},      {"el_GR", 1253},       {"tr_TR", 1254},
      {"he_IL", 1255},      {"ar_EG", 1256},       {"lt_LT", 1257},
      {"vi_VN", 1258},      {"th_TH.UTF-8", 874},  {"en_US.UTF-8", 1252},
      {"de_DE@euro", 1252}, {"sr_RS@latin", 1250}};
  for (auto [locale, cp] : cases) EXPECT_EQ(AnsiCodePageForLocale(locale), cp) << locale;
}

TEST(AnsiCodePage, ChineseRoundTripInCp936) {
  const std::string text = "打印机配置工具 ABC €";
  const std::string ansi = Utf8ToAnsi(text, 936);
  EXPECT_EQ(ansi.substr(0, 4), "\xB4\xF2\xD3\xA1");  // 打印
  EXPECT_EQ(ansi.back(), '\x80');                    // the euro sign of code page 936
  EXPECT_EQ(AnsiToUtf8(ansi, 936), text);
}

TEST(AnsiCodePage, Cp932IsNotShiftJis) {
  EXPECT_STREQ(IconvNameForCodePage(932), "CP932");
  // 5C is the backslash in code page 932 (the yen sign in plain Shift JIS).
  EXPECT_EQ(AnsiToUtf8("\x5C", 932), "\\");
  EXPECT_EQ(Utf8ToAnsi("\\~", 932), "\\~");
  EXPECT_EQ(Utf8ToAnsi("①", 932), "\x87\x40");  // an NEC symbol
  EXPECT_EQ(IconvNameForCodePage(12345), nullptr);
}

TEST(AnsiCodePage, UnmappableCharactersBecomeOneQuestionMarkEach) {
  size_t replaced = 0;
  EXPECT_EQ(Utf8ToAnsi("a中文b😀c", 1252, &replaced), "a??b?c");
  EXPECT_EQ(replaced, 3u);
  // A broken UTF-8 sequence is one character too; nothing after it is lost.
  EXPECT_EQ(Utf8ToAnsi("x\xE4\xB8y", 936, &replaced), "x?y");
  EXPECT_EQ(replaced, 1u);
  // Bytes the code page does not define decode to "?".
  EXPECT_EQ(AnsiToUtf8("a\xFF"
                       "b",
                       936, &replaced),
            "a?b");
  EXPECT_EQ(AnsiToUtf8("a\x81", 936, &replaced), "a?");  // lead byte cut short
}

TEST(AnsiCodePage, ReplacedCharactersAreToldOnceARun) {
  EXPECT_EQ(ReplacedCharactersText(4, 1252),
            "4 characters cannot be written in code page 1252 and were sent as '?': set "
            "ANSI_CODEPAGE=936 in config.ini for Chinese printers");
  EXPECT_EQ(ReplacedCharactersText(1, 936),  // no advice to choose what is chosen
            "1 character cannot be written in code page 936 and was sent as '?'");
  EXPECT_EQ(ReplacedCharactersText(2, 932, "%d / %d", " (936)"), "2 / 932 (936)");

  testing::RecordingMessages msgs;
  WarnReplacedCharacters(msgs, 0, 1252);
  EXPECT_TRUE(msgs.boxes.empty());
  WarnReplacedCharacters(msgs, 4, 1252);  // the message file's texts
  WarnReplacedCharacters(msgs, 2, 1252);
  ASSERT_EQ(msgs.boxes.size(), 1u);
  EXPECT_EQ(msgs.boxes[0],
            std::make_pair(int{kMsgWarning},
                           std::string("text of MSG_CODEPAGEtext of MSG_CODEPAGE_936")));
  EXPECT_FALSE(ReplacedCharactersWarningDue(3));
}

TEST(AnsiCodePage, ConfigOverridesTheLocale) {
  const auto path = std::filesystem::temp_directory_path() / "quillon_cp_config.ini";
  const int before = AnsiCodePage();
  {
    std::ofstream(path) << "[SYSTEM]\nANSI_CODEPAGE=950\n";
    EXPECT_TRUE(ApplyAnsiCodePageSetting(IniFile(path.string())));
    EXPECT_EQ(AnsiCodePage(), 950);
    EXPECT_EQ(Utf8ToAnsi("中"), "\xA4\xA4");  // Big5
  }
  {
    std::ofstream(path) << "[SYSTEM]\nANSI_CODEPAGE=123\n";
    EXPECT_FALSE(ApplyAnsiCodePageSetting(IniFile(path.string())));
    EXPECT_EQ(AnsiCodePage(), LocaleAnsiCodePage());
  }
  {
    std::ofstream(path) << "[SYSTEM]\nUSB_VID=1fc9\n";
    EXPECT_TRUE(ApplyAnsiCodePageSetting(IniFile(path.string())));
    EXPECT_EQ(AnsiCodePage(), LocaleAnsiCodePage());
  }
  EXPECT_FALSE(SetAnsiCodePage(65001));
  EXPECT_TRUE(SetAnsiCodePage(before));
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace quillon
