// The preview strip: how many glyphs a line takes, where the lines break, and what is painted.
#include "fonteditor/preview_strip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace quillon {
namespace {

// Glyph count of each line, top to bottom.
std::vector<int> LineLengths(const std::vector<StripGlyph>& glyphs) {
  std::map<int, int> by_line;
  for (const StripGlyph& g : glyphs) ++by_line[g.y];
  std::vector<int> lengths;
  int expected_y = 0;
  for (const auto& [y, count] : by_line) {
    EXPECT_EQ(y, expected_y);  // lines are 24 pixels apart with none skipped
    expected_y += kStripLineHeight;
    lengths.push_back(count);
  }
  return lengths;
}

TEST(PreviewStripLayout, LinesOfTheTwoStripsAndWidths) {
  EXPECT_EQ(LineLengths(LayoutPreviewStrip(PreviewKind::kAscii, 12)),
            (std::vector<int>{49, 47, 49, 49, 30}));
  EXPECT_EQ(LineLengths(LayoutPreviewStrip(PreviewKind::kCodePage, 12)),
            (std::vector<int>{49, 49, 30}));
  EXPECT_EQ(LineLengths(LayoutPreviewStrip(PreviewKind::kAscii, 9)),
            (std::vector<int>{66, 30, 66, 62}));
  EXPECT_EQ(LineLengths(LayoutPreviewStrip(PreviewKind::kCodePage, 9)), (std::vector<int>{66, 62}));
}

TEST(PreviewStripLayout, CodesRunInOrderAndCode80StartsALine) {
  const auto glyphs = LayoutPreviewStrip(PreviewKind::kAscii, 12);
  ASSERT_EQ(glyphs.size(), 0xE0u);
  for (size_t i = 0; i < glyphs.size(); ++i) EXPECT_EQ(glyphs[i].code, 0x20 + i);
  const StripGlyph& at80 = glyphs[0x80 - 0x20];
  EXPECT_EQ(at80.x, 0);
  EXPECT_EQ(at80.y, 48);
  // The last glyph of a full line sits at 48 * 12 = 576 and still fits the 595-pixel strip.
  EXPECT_EQ(glyphs[48].x, 576);
  EXPECT_EQ(glyphs[49].x, 0);
  const auto narrow = LayoutPreviewStrip(PreviewKind::kCodePage, 9);
  EXPECT_EQ(narrow.front().code, 0x80);
  EXPECT_EQ(narrow[65].x, 585);
  EXPECT_EQ(narrow.back().code, 0xFF);
}

class StripRender : public ::testing::Test {
 protected:
  void SetUp() override {
    image.Assign(std::vector<uint8_t>(static_cast<size_t>(kBig5Base), 0));
    image.xbyte = 3;
  }
  FontImage image;
};

TEST_F(StripRender, GlyphsArePaintedAtTheirPlaceFromTheRightBank) {
  // 'A' in ASCII 12x24: a single dot at the top left and one in row 23, column 11.
  auto bytes = image.bytes();
  bytes[0x200C30] = 0x80;
  bytes[0x200C30 + 23 * 2 + 1] = 0x10;
  bytes[CodePage12x24Address(0x80, 5) + 2] = 0x80;  // code page 5, code 80, row 1
  bytes[CodePage9x17Address(0x80, 5) + 4] = 0x80;   // same code in the 9x17 bank, row 2
  image.Assign(std::move(bytes));

  const StripRaster ascii = RenderPreviewStrip(image, PreviewKind::kAscii, 5, false);
  const int ax = (0x41 - 0x20) * 12;  // 'A' is the 34th glyph of the first line
  EXPECT_TRUE(ascii.At(ax, 0));
  EXPECT_TRUE(ascii.At(ax + 11, 23));
  EXPECT_TRUE(ascii.At(0, 48 + 1));  // code 80 opens the third line
  EXPECT_EQ(std::count(ascii.dots.begin(), ascii.dots.end(), 1), 3);

  const StripRaster narrow = RenderPreviewStrip(image, PreviewKind::kCodePage, 5, true);
  EXPECT_TRUE(narrow.At(0, 2));
  EXPECT_EQ(std::count(narrow.dots.begin(), narrow.dots.end(), 1), 1);
  // The glyph read last stays in hzk.
  EXPECT_EQ(image.hzk[0], 0);
}

TEST_F(StripRender, NextGlyphPaintsOverTheSurplusColumns) {
  // Code 80 has all 16 columns set; code 81 is blank and starts 9 pixels on (9x17).
  auto bytes = image.bytes();
  std::fill_n(bytes.begin() + CodePage9x17Address(0x80, 0), 48, 0xFF);
  std::fill_n(bytes.begin() + CodePage9x17Address(0xC1, 0), 48, 0xFF);  // last of line 1
  image.Assign(std::move(bytes));
  const StripRaster strip = RenderPreviewStrip(image, PreviewKind::kCodePage, 0, true);
  for (int x = 0; x < 9; ++x) EXPECT_TRUE(strip.At(x, 10)) << x;
  for (int x = 9; x < 16; ++x) EXPECT_FALSE(strip.At(x, 10)) << x;
  // At the end of a line nothing paints over the surplus; it is clipped at the strip's edge.
  for (int x = 585; x < kStripWidth; ++x) EXPECT_TRUE(strip.At(x, 0)) << x;
}

TEST(StripRenderShortFile, GlyphsMissingFromTheFileStayWhite) {
  // The file ends after ASCII 12x24 code 21: later glyphs cannot be read.
  FontImage image;
  std::vector<uint8_t> bytes(static_cast<size_t>(Ascii12x24Address(0x22)), 0xFF);
  image.Assign(std::move(bytes));
  const StripRaster strip = RenderPreviewStrip(image, PreviewKind::kAscii, 0, false);
  EXPECT_TRUE(strip.At(0, 0));    // code 20
  EXPECT_TRUE(strip.At(12, 0));   // code 21
  EXPECT_FALSE(strip.At(24, 0));  // code 22 and everything after it
  // Code 20 paints columns 0-15, code 21 columns 12-27, code 22 whitens 24 on.
  EXPECT_EQ(std::count(strip.dots.begin(), strip.dots.end(), 1), 24 * 24);
}

}  // namespace
}  // namespace quillon
