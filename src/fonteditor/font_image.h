// The font file held in memory while it is edited (`ms`), the glyph being edited (`hzk`) and
// the glyph operations on them: reads, write-back, code-page copy and dot access.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "fonteditor/font_address_map.h"

namespace quillon {

// What a glyph read did to `hzk`.
enum class GlyphRead {
  kLoaded,      // the glyph (or, at the very end of a short file, its first bytes) was read
  kEmptyImage,  // no file content; hzk unchanged
  kOutOfRange,  // the code lies outside the section; hzk unchanged
  kPastEnd,     // the glyph lies beyond the end of the file; hzk unchanged
};

// What writing `hzk` back did to `ms`.
enum class GlyphWrite {
  kWritten,     // the glyph bytes were written (the image may have grown)
  kEmptyImage,  // nothing written
  kOutOfRange,  // the code lies outside the section; nothing written
  kPastEnd,     // the address lies beyond the end of the file; nothing written
};

// What a code-page copy did.
enum class PageCopy {
  kCopied,      // both banks of the source page now also stand at the target page
  kEmptyImage,  // nothing copied
  kSamePage,    // source equals target; nothing copied
  kNoSuchPage,  // a page number outside 0..99; nothing copied
  kTooShort,    // the file does not hold the source pages or reach the target; nothing copied
};

class FontImage {
 public:
  static constexpr int kHzkSize = 129;

  bool empty() const { return ms.empty(); }
  int64_t size() const { return static_cast<int64_t>(ms.size()); }
  const std::vector<uint8_t>& bytes() const { return ms; }
  // Replaces the whole content (an opened file).
  void Assign(std::vector<uint8_t> content) { ms = std::move(content); }

  // The eight glyph reads. A read copies 72 or 48 bytes into hzk only when address + 48 <= size;
  // near the end of a short file fewer bytes arrive and the rest of hzk keeps its content.
  GlyphRead Char_Get_ZK(uint16_t code);
  GlyphRead Char_GetBIG5_HZK(uint16_t code);
  GlyphRead Char_Get_GB2312_ZK(uint16_t code);
  GlyphRead Char_Get_SHIFT_JIS_ZK(uint16_t code);
  GlyphRead Char_Get_Ascii_ZK(uint8_t code);
  GlyphRead Char_Get_Ascii9x17_ZK(uint8_t code);
  GlyphRead Char_Get_CodePage_ZK(uint8_t code, uint8_t page);
  GlyphRead Char_Get_CodePage9x17_ZK(uint8_t code, uint8_t page);

  // The read the query runs for a section and code.
  GlyphRead ReadGlyph(const GlyphKey& key);

  // "Update Change": writes 72 or 48 bytes of hzk at the glyph's address when that address is
  // at most the size; a write reaching past the end makes the image longer.
  GlyphWrite WriteBack(const GlyphKey& key);

  // Copies both banks (12x24 and 9x17) of page src onto page dst; all or nothing.
  PageCopy CopyCodePage(int src, int dst);

  // Dot (x, y) of hzk with the current xbyte: bit 7 - x mod 8 of byte y * xbyte + x div 8.
  bool GetPoint(int x, int y) const;
  // Toggles dot (x, y) of hzk; coordinates outside the glyph are ignored.
  void SetPoint(int x, int y);

  std::array<uint8_t, kHzkSize> hzk{};  // the glyph being edited (72 or 48 bytes used)
  int xbyte = 3;                        // bytes per glyph row: 3 two-byte sections, 2 CodePage

 private:
  GlyphRead ReadAt(int64_t address, int length);
  int DotByte(int x, int y) const;

  std::vector<uint8_t> ms;  // the whole font file
};

}  // namespace quillon
