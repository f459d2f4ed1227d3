// Where every glyph lies in the 8 MB printer font image: section bases, the glyph-index
// formulas of the four two-byte sections, and the range of codes each section really holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

// Bases and sizes in the font image (absolute byte offsets).
inline constexpr int64_t kGb18030Base = 0x010000;
inline constexpr int64_t kAscii12x24Base = 0x200000;
inline constexpr int64_t kAscii9x17Base = 0x201800;
inline constexpr int64_t kCodePage12x24Base = 0x203000;
inline constexpr int64_t kCodePage9x17Base = 0x299000;
inline constexpr int64_t kBig5Base = 0x32F000;
inline constexpr int64_t kEucKrBase = 0x4249E8;
inline constexpr int64_t kShiftJisBase = 0x4BFF08;

inline constexpr int kWideGlyphBytes = 72;    // 24x24: 3 bytes a row, 24 rows
inline constexpr int kNarrowGlyphBytes = 48;  // 12x24 and 9x17: 2 bytes a row, 24 rows
inline constexpr int kGlyphRows = 24;
inline constexpr int64_t kCodePageBytes = 6144;  // 128 glyphs of 48 bytes
inline constexpr int kCodePageCount = 100;

inline constexpr int kGb18030Glyphs = 126 * 190;
inline constexpr int kBig5Glyphs = 89 * 157;
inline constexpr int kEucKrGlyphs = 94 * 94;
inline constexpr int kShiftJisGlyphs = 47 * 188;

// Glyph indexes of the two-byte sections (code = H * 256 + L). The formulas are applied as
// they stand, without a range check: out-of-range codes give indexes outside the section,
// possibly negative. Use the Is...Code checks below before touching the image.
int Char_GetZK_Addr(uint16_t code);          // GB18030 two-byte, 190 glyphs a row
int Char_GetBIG5_Addr(uint16_t code);        // BIG5, 157 glyphs a row
int Char_GetGB2312_Addr(uint16_t code);      // 94 x 94, used for EUC_KR
int Char_Get_SHIFT_JIS_Addr(uint16_t code);  // Shift_JIS, 188 glyphs a row

// Codes whose glyph lies inside the section. Trail byte 7F is accepted in GB18030 and
// Shift_JIS: the formulas map it onto the glyph of 7E, which stays inside the section.
bool IsGb18030Code(uint16_t code);
bool IsBig5Code(uint16_t code);
bool IsEucKrCode(uint16_t code);
bool IsShiftJisCode(uint16_t code);

// Absolute addresses of single-byte glyphs. page is 0..99, code is 80..FF for code pages.
inline int64_t Ascii12x24Address(uint8_t code) {
  return kAscii12x24Base + 48 * int64_t{code};
}
inline int64_t Ascii9x17Address(uint8_t code) {
  return kAscii9x17Base + 48 * int64_t{code};
}
inline int64_t CodePage12x24Address(uint8_t code, uint8_t page) {
  return kCodePage12x24Base + kCodePageBytes * page + 48 * (int64_t{code} - 0x80);
}
inline int64_t CodePage9x17Address(uint8_t code, uint8_t page) {
  return kCodePage9x17Base + kCodePageBytes * page + 48 * (int64_t{code} - 0x80);
}

// The sections of the character-set box, in the box's order.
enum class FontSection : int {
  kGb18030 = 0,   // two-byte GB18030 (GBK structure), 24x24
  kCodePage = 1,  // single-byte: ASCII below 80, code pages from 80, 12x24 or 9x17
  kBig5 = 2,      // BIG5, 24x24
  kEucKr = 3,     // EUC-KR, 24x24
  kShiftJis = 4,  // Shift-JIS, 24x24
};

// The box item text of a section ("GB18030", "CodePage", ...).
const char* SectionName(FontSection section);

// One glyph picked by section and code, with what the code-page section also needs.
struct GlyphKey {
  FontSection section = FontSection::kGb18030;
  uint16_t code = 0;        // H * 256 + L; only L counts for kCodePage
  uint8_t page = 0;         // code page 0..99 (kCodePage, L >= 80)
  bool nine_by_17 = false;  // 9x17 instead of 12x24 (kCodePage)
};

// Where a glyph lies and how long it is.
struct GlyphPlace {
  int64_t address = 0;
  int length = 0;  // 72 or 48
  int xbyte = 0;   // bytes a row: 3 or 2
};

// The place of a glyph, or nullopt when the code (or page) lies outside its section.
std::optional<GlyphPlace> LocateGlyph(const GlyphKey& key);

// "Char code 80 20 is outside the GB18030 section." for a refused key.
std::string OutOfRangeMessage(const GlyphKey& key);

}  // namespace quillon
