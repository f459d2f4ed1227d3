// The glyph address map: the worked examples, the skipped trail bytes, the Shift_JIS lead-byte
// jump, the seamless section boundaries and the refusal of codes outside a section.
#include "fonteditor/font_address_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quillon {
namespace {

struct WorkedRow {
  FontSection section;
  uint16_t code;
  uint8_t page;
  bool nine_by_17;
  int index;  // -1 where the row has no glyph index
  int64_t address;
};

int IndexOf(FontSection section, uint16_t code) {
  switch (section) {
    case FontSection::kGb18030:
      return Char_GetZK_Addr(code);
    case FontSection::kBig5:
      return Char_GetBIG5_Addr(code);
    case FontSection::kEucKr:
      return Char_GetGB2312_Addr(code);
    case FontSection::kShiftJis:
      return Char_Get_SHIFT_JIS_Addr(code);
    case FontSection::kCodePage:
      return -1;
  }
  return -1;
}

TEST(FontAddressMap, WorkedExamples) {
  const WorkedRow rows[] = {
      {FontSection::kGb18030, 0x8140, 0, false, 0, 0x010000},
      {FontSection::kGb18030, 0x8180, 0, false, 63, 0x0111B8},
      {FontSection::kGb18030, 0xBBD4, 0, false, 11167, 0x0D44B8},
      {FontSection::kGb18030, 0xFEFE, 0, false, 23939, 0x1B4CD8},
      {FontSection::kBig5, 0xA140, 0, false, 0, 0x32F000},
      {FontSection::kBig5, 0xA1A1, 0, false, 63, 0x3301B8},
      {FontSection::kBig5, 0xC3A3, 0, false, 5403, 0x38DF98},
      {FontSection::kBig5, 0xF9FE, 0, false, 13972, 0x4249A0},
      {FontSection::kEucKr, 0xA1A1, 0, false, 0, 0x4249E8},
      {FontSection::kEucKr, 0xB0A1, 0, false, 1410, 0x43D678},
      {FontSection::kShiftJis, 0x834D, 0, false, 389, 0x4C6C70},
      {FontSection::kShiftJis, 0x9FFC, 0, false, 5827, 0x5265E0},
      {FontSection::kShiftJis, 0xE040, 0, false, 5828, 0x526628},
      {FontSection::kShiftJis, 0xEFFC, 0, false, 8835, 0x55B3E0},
      {FontSection::kCodePage, 0x0041, 0, false, -1, 0x200C30},
      {FontSection::kCodePage, 0x0041, 0, true, -1, 0x202430},
      {FontSection::kCodePage, 0x00C7, 3, false, -1, 0x208550},
      {FontSection::kCodePage, 0x00C7, 3, true, -1, 0x29E550},
  };
  for (const WorkedRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << SectionName(row.section) << " " << std::hex << row.code
                                      << (row.nine_by_17 ? " 9x17" : ""));
    if (row.index >= 0) {
      EXPECT_EQ(IndexOf(row.section, row.code), row.index);
    }
    const auto place = LocateGlyph({row.section, row.code, row.page, row.nine_by_17});
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->address, row.address);
    EXPECT_EQ(place->length, row.section == FontSection::kCodePage ? 48 : 72);
    EXPECT_EQ(place->xbyte, row.section == FontSection::kCodePage ? 2 : 3);
  }
}

TEST(FontAddressMap, TrailByte7FSharesTheGlyphOf7E) {
  for (int h : {0x81, 0xBB, 0xFE}) {
    const auto code = static_cast<uint16_t>(h << 8);
    EXPECT_EQ(Char_GetZK_Addr(code | 0x7F), Char_GetZK_Addr(code | 0x7E));
    EXPECT_EQ(Char_GetZK_Addr(code | 0x80), Char_GetZK_Addr(code | 0x7E) + 1);
  }
  for (int h : {0x81, 0x9F, 0xE0, 0xEF}) {
    const auto code = static_cast<uint16_t>(h << 8);
    EXPECT_EQ(Char_Get_SHIFT_JIS_Addr(code | 0x7F), Char_Get_SHIFT_JIS_Addr(code | 0x7E));
    EXPECT_EQ(LocateGlyph({FontSection::kShiftJis, static_cast<uint16_t>(code | 0x7F)})->address,
              LocateGlyph({FontSection::kShiftJis, static_cast<uint16_t>(code | 0x7E)})->address);
  }
}

TEST(FontAddressMap, RowsFollowEachOtherWithoutGaps) {
  // Last glyph of a row, then the first of the next row.
  EXPECT_EQ(Char_GetZK_Addr(0x81FE) + 1, Char_GetZK_Addr(0x8240));
  EXPECT_EQ(Char_GetBIG5_Addr(0xA17E) + 1, Char_GetBIG5_Addr(0xA1A1));
  EXPECT_EQ(Char_GetBIG5_Addr(0xA1FE) + 1, Char_GetBIG5_Addr(0xA240));
  EXPECT_EQ(Char_GetGB2312_Addr(0xA1FE) + 1, Char_GetGB2312_Addr(0xA2A1));
  EXPECT_EQ(Char_Get_SHIFT_JIS_Addr(0x81FC) + 1, Char_Get_SHIFT_JIS_Addr(0x8240));
  // The lead-byte jump of Shift_JIS: E0 40 directly follows 9F FC.
  EXPECT_EQ(Char_Get_SHIFT_JIS_Addr(0x9FFC) + 1, Char_Get_SHIFT_JIS_Addr(0xE040));
}

TEST(FontAddressMap, SectionsEndWhereTheNextBegins) {
  const auto last_big5 = LocateGlyph({FontSection::kBig5, 0xF9FE});
  const auto first_kr = LocateGlyph({FontSection::kEucKr, 0xA1A1});
  const auto last_kr = LocateGlyph({FontSection::kEucKr, 0xFEFE});
  const auto first_sjis = LocateGlyph({FontSection::kShiftJis, 0x8140});
  const auto last_sjis = LocateGlyph({FontSection::kShiftJis, 0xEFFC});
  const auto last_gb = LocateGlyph({FontSection::kGb18030, 0xFEFE});
  EXPECT_EQ(last_big5->address + 72, first_kr->address);
  EXPECT_EQ(last_kr->address + 72, first_sjis->address);
  EXPECT_EQ(last_sjis->address + 72, 0x55B428);
  EXPECT_EQ(last_gb->address + 72, 0x1B4D20);
  // Both code-page banks: page 99, code FF ends where the next bank or BIG5 begins.
  EXPECT_EQ(LocateGlyph({FontSection::kCodePage, 0xFF, 99, false})->address + 48,
            kCodePage9x17Base);
  EXPECT_EQ(LocateGlyph({FontSection::kCodePage, 0xFF, 99, true})->address + 48, kBig5Base);
}

// Every code a section accepts lands inside it; everything else is refused. This walks all
// 65536 codes, so a range check that lets one code into a neighbour is caught.
TEST(FontAddressMap, AcceptedCodesStayInsideTheirSection) {
  struct Section {
    FontSection section;
    int64_t begin, end;
    int glyphs;
  };
  const Section sections[] = {
      {FontSection::kGb18030, kGb18030Base, 0x1B4D20, kGb18030Glyphs},
      {FontSection::kBig5, kBig5Base, kEucKrBase, kBig5Glyphs},
      {FontSection::kEucKr, kEucKrBase, kShiftJisBase, kEucKrGlyphs},
      {FontSection::kShiftJis, kShiftJisBase, 0x55B428, kShiftJisGlyphs},
  };
  for (const Section& s : sections) {
    SCOPED_TRACE(SectionName(s.section));
    EXPECT_EQ(s.begin + 72 * int64_t{s.glyphs}, s.end);
    std::vector<bool> seen(static_cast<size_t>(s.glyphs), false);
    for (int code = 0; code <= 0xFFFF; ++code) {
      const auto place = LocateGlyph({s.section, static_cast<uint16_t>(code)});
      if (!place) continue;
      ASSERT_GE(place->address, s.begin) << std::hex << code;
      ASSERT_LE(place->address + 72, s.end) << std::hex << code;
      seen[static_cast<size_t>((place->address - s.begin) / 72)] = true;
    }
    // ... and together they reach every glyph of the section.
    EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0);
  }
}

TEST(FontAddressMap, CodesOutsideASectionAreRefused) {
  EXPECT_FALSE(LocateGlyph({FontSection::kGb18030, 0x8040}));  // lead byte below 81
  EXPECT_FALSE(LocateGlyph({FontSection::kGb18030, 0xFF40}));
  EXPECT_FALSE(LocateGlyph({FontSection::kGb18030, 0x813F}));  // trail byte below 40
  EXPECT_FALSE(LocateGlyph({FontSection::kGb18030, 0x81FF}));  // would alias 82 40
  EXPECT_FALSE(LocateGlyph({FontSection::kBig5, 0xA17F}));     // the BIG5 gap 7F..A0
  EXPECT_FALSE(LocateGlyph({FontSection::kBig5, 0xA1A0}));
  EXPECT_FALSE(LocateGlyph({FontSection::kBig5, 0xFA40}));   // past the last lead byte
  EXPECT_FALSE(LocateGlyph({FontSection::kBig5, 0xF9FF}));   // would be EUC_KR's first glyph
  EXPECT_FALSE(LocateGlyph({FontSection::kEucKr, 0xA0A1}));  // any byte below A1
  EXPECT_FALSE(LocateGlyph({FontSection::kEucKr, 0xA1A0}));
  EXPECT_FALSE(LocateGlyph({FontSection::kEucKr, 0xFEFF}));
  EXPECT_FALSE(LocateGlyph({FontSection::kShiftJis, 0xA040}));  // lead bytes A0..DF
  EXPECT_FALSE(LocateGlyph({FontSection::kShiftJis, 0xDF40}));
  EXPECT_FALSE(LocateGlyph({FontSection::kShiftJis, 0xF040}));
  EXPECT_FALSE(LocateGlyph({FontSection::kShiftJis, 0x81FD}));
  EXPECT_FALSE(LocateGlyph({FontSection::kCodePage, 0x80, 100, false}));
  // The single-byte section ignores the high byte and takes ASCII codes on any page.
  EXPECT_TRUE(LocateGlyph({FontSection::kCodePage, 0x1230, 100, false}));

  EXPECT_EQ(OutOfRangeMessage({FontSection::kEucKr, 0xA0A1}),
            "Char code A0 A1 is outside the EUC_KR section.");
  EXPECT_EQ(OutOfRangeMessage({FontSection::kCodePage, 0x80, 100}),
            "Code page 100 does not exist (pages 0 to 99).");
}

}  // namespace
}  // namespace quillon
