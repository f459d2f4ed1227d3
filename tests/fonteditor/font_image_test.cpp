// Glyph reads, write-back, code-page copy and dot access on synthetic font images.
#include "fonteditor/font_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fonteditor/font_image_fixtures.h"

namespace quillon {
namespace {

using ::quillon::testing::kFullImageSize;
using ::quillon::testing::PatternByte;
using ::quillon::testing::PatternImage;

std::array<uint8_t, FontImage::kHzkSize> Filled(uint8_t value) {
  std::array<uint8_t, FontImage::kHzkSize> a;
  a.fill(value);
  return a;
}

// hzk holds the image bytes [address, address + count) followed by untouched filler.
void ExpectHzkFrom(const FontImage& image, int64_t address, int count, uint8_t filler = 0xEE) {
  for (int i = 0; i < count; ++i) {
    ASSERT_EQ(image.hzk[static_cast<size_t>(i)], PatternByte(address + i)) << "byte " << i;
  }
  for (int i = count; i < FontImage::kHzkSize; ++i) {
    ASSERT_EQ(image.hzk[static_cast<size_t>(i)], filler) << "byte " << i;
  }
}

class FullImage : public ::testing::Test {
 protected:
  void SetUp() override {
    image.Assign(PatternImage(kFullImageSize));
    image.hzk = Filled(0xEE);
  }
  FontImage image;
};

TEST_F(FullImage, EachReadLoadsItsOwnGlyph) {
  struct Case {
    GlyphRead (*read)(FontImage&);
    int64_t address;
    int length;
  };
  const Case cases[] = {
      {[](FontImage& f) { return f.Char_Get_ZK(0xBBD4); }, 0x0D44B8, 72},
      {[](FontImage& f) { return f.Char_GetBIG5_HZK(0xC3A3); }, 0x38DF98, 72},
      {[](FontImage& f) { return f.Char_Get_GB2312_ZK(0xB0A1); }, 0x43D678, 72},
      {[](FontImage& f) { return f.Char_Get_SHIFT_JIS_ZK(0x834D); }, 0x4C6C70, 72},
      {[](FontImage& f) { return f.Char_Get_Ascii_ZK(0x41); }, 0x200C30, 48},
      {[](FontImage& f) { return f.Char_Get_Ascii9x17_ZK(0x41); }, 0x202430, 48},
      {[](FontImage& f) { return f.Char_Get_CodePage_ZK(0xC7, 3); }, 0x208550, 48},
      {[](FontImage& f) { return f.Char_Get_CodePage9x17_ZK(0xC7, 3); }, 0x29E550, 48},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.address);
    image.hzk = Filled(0xEE);
    EXPECT_EQ(c.read(image), GlyphRead::kLoaded);
    ExpectHzkFrom(image, c.address, c.length);
  }
}

TEST_F(FullImage, CodesOutsideTheirSectionReadAndWriteNothing) {
  const std::vector<uint8_t> before = image.bytes();
  image.hzk = Filled(0x5A);
  EXPECT_EQ(image.Char_Get_ZK(0x8040), GlyphRead::kOutOfRange);
  EXPECT_EQ(image.Char_GetBIG5_HZK(0xA180), GlyphRead::kOutOfRange);
  EXPECT_EQ(image.Char_Get_GB2312_ZK(0x41A1), GlyphRead::kOutOfRange);
  EXPECT_EQ(image.Char_Get_SHIFT_JIS_ZK(0xB040), GlyphRead::kOutOfRange);
  EXPECT_EQ(image.Char_Get_Ascii_ZK(0x80), GlyphRead::kOutOfRange);
  EXPECT_EQ(image.Char_Get_Ascii9x17_ZK(0xFF), GlyphRead::kOutOfRange);
  EXPECT_EQ(image.Char_Get_CodePage_ZK(0x7F, 1), GlyphRead::kOutOfRange);
  EXPECT_EQ(image.Char_Get_CodePage9x17_ZK(0x80, 100), GlyphRead::kOutOfRange);
  EXPECT_EQ(image.hzk, Filled(0x5A));

  EXPECT_EQ(image.WriteBack({FontSection::kGb18030, 0x0030}), GlyphWrite::kOutOfRange);
  EXPECT_EQ(image.WriteBack({FontSection::kBig5, 0xF9FF}), GlyphWrite::kOutOfRange);
  EXPECT_EQ(image.WriteBack({FontSection::kEucKr, 0xFEFF}), GlyphWrite::kOutOfRange);
  EXPECT_EQ(image.WriteBack({FontSection::kShiftJis, 0xF040}), GlyphWrite::kOutOfRange);
  EXPECT_EQ(image.WriteBack({FontSection::kCodePage, 0x80, 100}), GlyphWrite::kOutOfRange);
  EXPECT_TRUE(image.bytes() == before);
}

TEST_F(FullImage, WriteBackChangesOnlyTheGlyph) {
  struct Case {
    GlyphKey key;
    int64_t address;
    int length;
  };
  const Case cases[] = {
      {{FontSection::kGb18030, 0xBBD4}, 0x0D44B8, 72},
      {{FontSection::kShiftJis, 0xE040}, 0x526628, 72},
      {{FontSection::kCodePage, 0x41, 5, false}, 0x200C30, 48},  // ASCII: page plays no part
      {{FontSection::kCodePage, 0x41, 5, true}, 0x202430, 48},
      {{FontSection::kCodePage, 0xC7, 3, false}, 0x208550, 48},
      {{FontSection::kCodePage, 0xC7, 3, true}, 0x29E550, 48},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.address);
    std::vector<uint8_t> expected = image.bytes();
    image.hzk = Filled(0xA5);
    std::fill_n(expected.begin() + c.address, c.length, 0xA5);
    EXPECT_EQ(image.WriteBack(c.key), GlyphWrite::kWritten);
    EXPECT_TRUE(image.bytes() == expected);
  }
}

TEST_F(FullImage, CodePageCopyCopiesBothBanksAndNothingElse) {
  std::vector<uint8_t> expected = image.bytes();
  const auto copy_block = [&](int64_t base) {
    std::memcpy(expected.data() + base + 6144 * 7, expected.data() + base + 6144 * 3, 6144);
  };
  copy_block(kCodePage12x24Base);
  copy_block(kCodePage9x17Base);
  ASSERT_FALSE(image.bytes() == expected);
  EXPECT_EQ(image.CopyCodePage(3, 7), PageCopy::kCopied);
  EXPECT_TRUE(image.bytes() == expected);

  const std::vector<uint8_t> after = image.bytes();
  EXPECT_EQ(image.CopyCodePage(4, 4), PageCopy::kSamePage);
  EXPECT_EQ(image.CopyCodePage(4, 100), PageCopy::kNoSuchPage);
  EXPECT_EQ(image.CopyCodePage(-1, 0), PageCopy::kNoSuchPage);
  EXPECT_TRUE(image.bytes() == after);
}

TEST(FontImageEmpty, NothingIsReadOrWritten) {
  FontImage image;
  image.hzk = Filled(0x33);
  EXPECT_EQ(image.Char_Get_ZK(0x8140), GlyphRead::kEmptyImage);
  EXPECT_EQ(image.Char_Get_Ascii_ZK(0x00), GlyphRead::kEmptyImage);
  EXPECT_EQ(image.Char_Get_CodePage_ZK(0x80, 0), GlyphRead::kEmptyImage);
  EXPECT_EQ(image.ReadGlyph({FontSection::kEucKr, 0xA1A1}), GlyphRead::kEmptyImage);
  EXPECT_EQ(image.WriteBack({FontSection::kCodePage, 0x30}), GlyphWrite::kEmptyImage);
  EXPECT_EQ(image.CopyCodePage(0, 1), PageCopy::kEmptyImage);
  EXPECT_EQ(image.hzk, Filled(0x33));
  EXPECT_TRUE(image.empty());
}

// A file that ends inside or just before a glyph: the first 48 bytes decide whether it is read,
// and a 72-byte glyph cut short keeps the old tail of hzk.
TEST(FontImageShortFile, ReadsNearTheEnd) {
  const int64_t a = 0x0D44B8;  // GB18030 BB D4
  for (const int64_t size : {a + 47, a + 48, a + 60, a + 72}) {
    SCOPED_TRACE(size - a);
    FontImage image;
    image.Assign(PatternImage(size));
    image.hzk = Filled(0xEE);
    const GlyphRead result = image.Char_Get_ZK(0xBBD4);
    if (size < a + 48) {
      EXPECT_EQ(result, GlyphRead::kPastEnd);
      EXPECT_EQ(image.hzk, Filled(0xEE));
    } else {
      EXPECT_EQ(result, GlyphRead::kLoaded);
      ExpectHzkFrom(image, a, static_cast<int>(size - a));
    }
  }
}

TEST(FontImageShortFile, WriteBackGrowsOnlyFromWithin) {
  const int64_t a = 0x200C30;  // ASCII 12x24 'A'
  const GlyphKey key{FontSection::kCodePage, 0x41};
  struct Case {
    int64_t size;
    GlyphWrite result;
    int64_t size_after;
  };
  const Case cases[] = {
      {a - 1, GlyphWrite::kPastEnd, a - 1},  // address beyond the end: untouched
      {a, GlyphWrite::kWritten, a + 48},     // address at the end: appended
      {a + 10, GlyphWrite::kWritten, a + 48},
      {a + 100, GlyphWrite::kWritten, a + 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size - a);
    FontImage image;
    image.Assign(PatternImage(c.size));
    image.hzk = Filled(0xC3);
    EXPECT_EQ(image.WriteBack(key), c.result);
    ASSERT_EQ(image.size(), c.size_after);
    for (int64_t i = 0; i < std::min(c.size, a); ++i) {
      ASSERT_EQ(image.bytes()[static_cast<size_t>(i)], PatternByte(i)) << i;
    }
    if (c.result == GlyphWrite::kWritten) {
      for (int64_t i = a; i < a + 48; ++i) ASSERT_EQ(image.bytes()[static_cast<size_t>(i)], 0xC3);
      for (int64_t i = a + 48; i < c.size_after; ++i) {
        ASSERT_EQ(image.bytes()[static_cast<size_t>(i)], PatternByte(i));
      }
    }
  }
}

TEST(FontImageShortFile, CodePageCopyIsAllOrNothing) {
  // Holds page 0 of both banks but not page 1 of the 9x17 bank.
  const int64_t size = kCodePage9x17Base + 6144;
  FontImage image;
  image.Assign(PatternImage(size));
  EXPECT_EQ(image.CopyCodePage(1, 0), PageCopy::kTooShort);
  EXPECT_EQ(image.CopyCodePage(0, 2), PageCopy::kTooShort);  // 9x17 target past the end
  EXPECT_TRUE(image.bytes() == PatternImage(size));

  // A target starting right at the end extends the file, as a glyph write-back does.
  EXPECT_EQ(image.CopyCodePage(0, 1), PageCopy::kCopied);
  ASSERT_EQ(image.size(), size + 6144);
  EXPECT_TRUE(std::equal(image.bytes().begin() + size, image.bytes().end(),
                         image.bytes().begin() + kCodePage9x17Base));
}

TEST(FontImageDots, BitOrderAndToggle) {
  FontImage image;
  image.xbyte = 3;
  image.SetPoint(9, 2);  // row 2, byte 1, second bit from the left
  EXPECT_EQ(image.hzk[7], 0x40);
  EXPECT_TRUE(image.GetPoint(9, 2));
  EXPECT_FALSE(image.GetPoint(8, 2));
  image.SetPoint(23, 23);
  EXPECT_EQ(image.hzk[71], 0x01);
  image.SetPoint(9, 2);  // the second toggle restores the dot
  EXPECT_FALSE(image.GetPoint(9, 2));
  EXPECT_EQ(image.hzk[7], 0x00);

  image.xbyte = 2;  // the same dot in a 2-byte row
  image.SetPoint(9, 2);
  EXPECT_EQ(image.hzk[5], 0x40);
  image.SetPoint(0, 0);
  EXPECT_EQ(image.hzk[0], 0x80);

  // Outside the glyph: ignored, never written past hzk.
  const auto before = image.hzk;
  image.SetPoint(16, 0);
  image.SetPoint(0, 24);
  image.SetPoint(-1, 0);
  image.xbyte = 99;
  image.SetPoint(0, 0);
  EXPECT_FALSE(image.GetPoint(0, 0));
  EXPECT_EQ(image.hzk, before);
}

}  // namespace
}  // namespace quillon
