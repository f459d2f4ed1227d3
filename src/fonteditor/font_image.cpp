// Glyph reads, write-back, code-page copy and dot access on the in-memory font file.
#include "fonteditor/font_image.h"

#include <algorithm>
#include <cstring>

namespace quillon {

GlyphRead FontImage::ReadAt(int64_t address, int length) {
  if (ms.empty()) return GlyphRead::kEmptyImage;
  // The file is accepted at any length: a glyph whose first 48 bytes are present is read
  // as far as the file goes.
  if (address < 0 || address + kNarrowGlyphBytes > size()) return GlyphRead::kPastEnd;
  const auto count = static_cast<size_t>(std::min<int64_t>(length, size() - address));
  std::memcpy(hzk.data(), ms.data() + address, count);
  return GlyphRead::kLoaded;
}

GlyphRead FontImage::ReadGlyph(const GlyphKey& key) {
  if (ms.empty()) return GlyphRead::kEmptyImage;
  const auto place = LocateGlyph(key);
  if (!place) return GlyphRead::kOutOfRange;
  return ReadAt(place->address, place->length);
}

GlyphRead FontImage::Char_Get_ZK(uint16_t code) {
  return ReadGlyph({FontSection::kGb18030, code});
}

GlyphRead FontImage::Char_GetBIG5_HZK(uint16_t code) {
  return ReadGlyph({FontSection::kBig5, code});
}

GlyphRead FontImage::Char_Get_GB2312_ZK(uint16_t code) {
  return ReadGlyph({FontSection::kEucKr, code});
}

GlyphRead FontImage::Char_Get_SHIFT_JIS_ZK(uint16_t code) {
  return ReadGlyph({FontSection::kShiftJis, code});
}

// The single-byte reads take only the codes of their own block: an ASCII code of 80 or more
// would land in the next block, a code-page code below 80 in the previous one.
GlyphRead FontImage::Char_Get_Ascii_ZK(uint8_t code) {
  if (ms.empty()) return GlyphRead::kEmptyImage;
  if (code >= 0x80) return GlyphRead::kOutOfRange;
  return ReadAt(Ascii12x24Address(code), kNarrowGlyphBytes);
}

GlyphRead FontImage::Char_Get_Ascii9x17_ZK(uint8_t code) {
  if (ms.empty()) return GlyphRead::kEmptyImage;
  if (code >= 0x80) return GlyphRead::kOutOfRange;
  return ReadAt(Ascii9x17Address(code), kNarrowGlyphBytes);
}

GlyphRead FontImage::Char_Get_CodePage_ZK(uint8_t code, uint8_t page) {
  if (ms.empty()) return GlyphRead::kEmptyImage;
  if (code < 0x80 || page >= kCodePageCount) return GlyphRead::kOutOfRange;
  return ReadAt(CodePage12x24Address(code, page), kNarrowGlyphBytes);
}

GlyphRead FontImage::Char_Get_CodePage9x17_ZK(uint8_t code, uint8_t page) {
  if (ms.empty()) return GlyphRead::kEmptyImage;
  if (code < 0x80 || page >= kCodePageCount) return GlyphRead::kOutOfRange;
  return ReadAt(CodePage9x17Address(code, page), kNarrowGlyphBytes);
}

GlyphWrite FontImage::WriteBack(const GlyphKey& key) {
  if (ms.empty()) return GlyphWrite::kEmptyImage;
  const auto place = LocateGlyph(key);
  if (!place) return GlyphWrite::kOutOfRange;
  if (place->address > size()) return GlyphWrite::kPastEnd;
  const auto address = static_cast<size_t>(place->address);
  const size_t end = address + static_cast<size_t>(place->length);
  if (end > ms.size()) ms.resize(end);
  std::memcpy(ms.data() + address, hzk.data(), static_cast<size_t>(place->length));
  return GlyphWrite::kWritten;
}

PageCopy FontImage::CopyCodePage(int src, int dst) {
  if (ms.empty()) return PageCopy::kEmptyImage;
  if (src < 0 || src >= kCodePageCount || dst < 0 || dst >= kCodePageCount) {
    return PageCopy::kNoSuchPage;
  }
  if (src == dst) return PageCopy::kSamePage;
  const int64_t banks[2] = {kCodePage12x24Base, kCodePage9x17Base};
  // Check everything first so that a short file is left exactly as it was. Targets follow
  // the write-back rule: they may start at the end of the file and extend it.
  for (const int64_t base : banks) {
    const int64_t from = base + kCodePageBytes * src;
    const int64_t to = base + kCodePageBytes * dst;
    if (from + kCodePageBytes > size() || to > size()) return PageCopy::kTooShort;
  }
  for (const int64_t base : banks) {
    const auto from = static_cast<size_t>(base + kCodePageBytes * src);
    const auto to = static_cast<size_t>(base + kCodePageBytes * dst);
    const size_t end = to + static_cast<size_t>(kCodePageBytes);
    if (end > ms.size()) ms.resize(end);
    std::memmove(ms.data() + to, ms.data() + from, static_cast<size_t>(kCodePageBytes));
  }
  return PageCopy::kCopied;
}

// Byte index of dot (x, y) in hzk, or -1 outside the glyph.
int FontImage::DotByte(int x, int y) const {
  if (xbyte < 1 || kGlyphRows * xbyte > kHzkSize) return -1;
  if (x < 0 || y < 0 || x >= 8 * xbyte || y >= kGlyphRows) return -1;
  return y * xbyte + x / 8;
}

bool FontImage::GetPoint(int x, int y) const {
  const int index = DotByte(x, y);
  return index >= 0 && ((hzk[static_cast<size_t>(index)] >> (7 - x % 8)) & 1);
}

void FontImage::SetPoint(int x, int y) {
  const int index = DotByte(x, y);
  if (index >= 0) hzk[static_cast<size_t>(index)] ^= static_cast<uint8_t>(0x80 >> (x % 8));
}

}  // namespace quillon
