// Glyph-index formulas and section ranges of the font image.
#include "fonteditor/font_address_map.h"

#include <cstdio>

namespace quillon {
namespace {

int High(uint16_t code) {
  return code >> 8;
}
int Low(uint16_t code) {
  return code & 0xFF;
}

bool InRange(int value, int first, int last) {
  return value >= first && value <= last;
}

}  // namespace

int Char_GetZK_Addr(uint16_t code) {
  const int h = High(code), l = Low(code);
  return (h - 0x81) * 190 + (l <= 0x7E ? l - 0x40 : l - 0x41);
}

int Char_GetBIG5_Addr(uint16_t code) {
  const int h = High(code), l = Low(code);
  return (h - 0xA1) * 157 + (l <= 0x7E ? l - 0x40 : l - 0x62);
}

int Char_GetGB2312_Addr(uint16_t code) {
  const int h = High(code), l = Low(code);
  return (h - 0xA1) * 94 + (l - 0xA1);
}

int Char_Get_SHIFT_JIS_Addr(uint16_t code) {
  const int h = High(code), l = Low(code);
  return (h <= 0x9F ? h - 0x81 : h - 0xC1) * 188 + (l <= 0x7E ? l - 0x40 : l - 0x41);
}

bool IsGb18030Code(uint16_t code) {
  return InRange(High(code), 0x81, 0xFE) && InRange(Low(code), 0x40, 0xFE);
}

bool IsBig5Code(uint16_t code) {
  const int l = Low(code);
  return InRange(High(code), 0xA1, 0xF9) && (InRange(l, 0x40, 0x7E) || InRange(l, 0xA1, 0xFE));
}

bool IsEucKrCode(uint16_t code) {
  return InRange(High(code), 0xA1, 0xFE) && InRange(Low(code), 0xA1, 0xFE);
}

bool IsShiftJisCode(uint16_t code) {
  const int h = High(code);
  return (InRange(h, 0x81, 0x9F) || InRange(h, 0xE0, 0xEF)) && InRange(Low(code), 0x40, 0xFC);
}

const char* SectionName(FontSection section) {
  switch (section) {
    case FontSection::kGb18030:
      return "GB18030";
    case FontSection::kCodePage:
      return "CodePage";
    case FontSection::kBig5:
      return "BIG5";
    case FontSection::kEucKr:
      return "EUC_KR";
    case FontSection::kShiftJis:
      return "Shift_JIS";
  }
  return "?";
}

std::optional<GlyphPlace> LocateGlyph(const GlyphKey& key) {
  const uint16_t code = key.code;
  switch (key.section) {
    case FontSection::kGb18030:
      if (!IsGb18030Code(code)) return std::nullopt;
      return GlyphPlace{kGb18030Base + 72 * int64_t{Char_GetZK_Addr(code)}, 72, 3};
    case FontSection::kBig5:
      if (!IsBig5Code(code)) return std::nullopt;
      return GlyphPlace{kBig5Base + 72 * int64_t{Char_GetBIG5_Addr(code)}, 72, 3};
    case FontSection::kEucKr:
      if (!IsEucKrCode(code)) return std::nullopt;
      return GlyphPlace{kEucKrBase + 72 * int64_t{Char_GetGB2312_Addr(code)}, 72, 3};
    case FontSection::kShiftJis:
      if (!IsShiftJisCode(code)) return std::nullopt;
      return GlyphPlace{kShiftJisBase + 72 * int64_t{Char_Get_SHIFT_JIS_Addr(code)}, 72, 3};
    case FontSection::kCodePage: {
      const auto l = static_cast<uint8_t>(Low(code));
      if (l < 0x80) {
        return GlyphPlace{key.nine_by_17 ? Ascii9x17Address(l) : Ascii12x24Address(l), 48, 2};
      }
      if (key.page >= kCodePageCount) return std::nullopt;
      return GlyphPlace{
          key.nine_by_17 ? CodePage9x17Address(l, key.page) : CodePage12x24Address(l, key.page), 48,
          2};
    }
  }
  return std::nullopt;
}

std::string OutOfRangeMessage(const GlyphKey& key) {
  char text[128];
  if (key.section == FontSection::kCodePage) {
    std::snprintf(text, sizeof text, "Code page %d does not exist (pages 0 to %d).", key.page,
                  kCodePageCount - 1);
  } else {
    std::snprintf(text, sizeof text, "Char code %02X %02X is outside the %s section.",
                  High(key.code), Low(key.code), SectionName(key.section));
  }
  return text;
}

}  // namespace quillon
