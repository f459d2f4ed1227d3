// The settings texts: ANSI conversion, hex texts and number placeholders in messages.
#include <gtest/gtest.h>

#include "core/ansi_codepage.h"
#include "core/float_format.h"
#include "core/hex_text.h"
#include "settings/ansi_text.h"

namespace quillon {
namespace {

TEST(AnsiText, ChineseRoundTripsAndUnmappableBecomesQuestionMark) {
  ASSERT_TRUE(SetAnsiCodePage(936));
  EXPECT_EQ(ToAnsiText("打印机 A"), "\xB4\xF2\xD3\xA1\xBB\xFA A");
  EXPECT_EQ(FromAnsiText("\xB4\xF2\xD3\xA1\xBB\xFA A"), "打印机 A");
  EXPECT_EQ(ToAnsiText("a\xF0\x9F\x98\x80"
                       "b"),
            "a?b");                      // an emoji: one "?"
  EXPECT_EQ(ToAnsiText("x\xC3"), "x?");  // cut-off sequence at the end
  EXPECT_EQ(FromAnsiText("\x81"), "?");  // a lead byte with no trail
  EXPECT_EQ(ToAnsiText(""), "");
}

TEST(HexText, PairsAfterRemovingSpacesAndLineBreaks) {
  EXPECT_EQ(HexTextToBytes("FF ff\r\n0a"), (std::vector<uint8_t>{0xFF, 0xFF, 0x0A}));
  EXPECT_EQ(HexTextToBytes("ABC"), std::vector<uint8_t>{0xAB});
  EXPECT_EQ(HexTextToBytes("1B\t40"), (std::vector<uint8_t>{0x1B, 0x00}));  // tabs stay
  EXPECT_EQ(HexTextToBytes("G1 2"), (std::vector<uint8_t>{0x00}));
  EXPECT_TRUE(HexTextToBytes("").empty());
  const uint8_t bytes[] = {0x8A, 0x0F};
  EXPECT_EQ(BytesToHexText(bytes, 2, ""), "8A0F");
  EXPECT_EQ(BytesToHexText(bytes, 2, " "), "8A 0F ");
}

TEST(NumberPlaceholders, FilledInOrderAndNeverTrusted) {
  EXPECT_EQ(FormatNumbers("low %.2f high %.2f", {12.34, 5.67}), "low 12.34 high 5.67");
  EXPECT_EQ(FormatNumbers("%f/%f", {1.5, -2}), "1.50/-2.00");  // two decimals by default
  EXPECT_EQ(FormatNumbers("%6.1f|%-6.1f|", {1, 2}), "   1.0|2.0   |");
  EXPECT_EQ(FormatNumbers("100%% %d", {2.6}), "100% 3");
  // Placeholders beyond the values or not understood stay as written.
  EXPECT_EQ(FormatNumbers("%f %f %f %s %", {1, 2}), "1.00 2.00 %f %s %");
  EXPECT_EQ(FormatNumbers("%99999f", {1}), "%99999f");
}

}  // namespace
}  // namespace quillon
