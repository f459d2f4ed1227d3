// The font image: an image of arbitrary size and a sequence of arbitrary glyph reads,
// write-backs, code-page copies and dot edits. Nothing may be touched outside the image or
// the glyph buffer, a glyph never lies outside its own section, a write-back changes only
// its glyph and a page copy only its target page (in both banks).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "fonteditor/font_address_map.h"
#include "fonteditor/font_image.h"

namespace {

using namespace quillon;

constexpr int64_t kFull = 8 * 1024 * 1024;
constexpr int64_t kShiftJisEnd = kShiftJisBase + int64_t{72} * kShiftJisGlyphs;

// Sizes worth trying: every section border and the full image.
constexpr int64_t kBorders[] = {0,
                                kGb18030Base,
                                kAscii12x24Base,
                                kAscii9x17Base,
                                kCodePage12x24Base,
                                kCodePage9x17Base,
                                kBig5Base,
                                kEucKrBase,
                                kShiftJisBase,
                                kShiftJisEnd,
                                kFull};

const std::vector<uint8_t>& Pristine() {
  static const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> b(static_cast<size_t>(kFull) + 8192);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 131 + (i >> 8) * 7);
    return b;
  }();
  return bytes;
}

// The section [begin, end) a glyph must stay inside.
struct Range {
  int64_t begin, end;
};

Range SectionOf(const GlyphKey& key) {
  switch (key.section) {
    case FontSection::kGb18030:
      return {kGb18030Base, kGb18030Base + int64_t{72} * kGb18030Glyphs};
    case FontSection::kBig5:
      return {kBig5Base, kEucKrBase};
    case FontSection::kEucKr:
      return {kEucKrBase, kShiftJisBase};
    case FontSection::kShiftJis:
      return {kShiftJisBase, kShiftJisEnd};
    case FontSection::kCodePage:
      break;
  }
  const bool low = (key.code & 0xFF) < 0x80;
  if (low)
    return key.nine_by_17 ? Range{kAscii9x17Base, kCodePage12x24Base}
                          : Range{kAscii12x24Base, kAscii9x17Base};
  const int64_t bank = key.nine_by_17 ? kCodePage9x17Base : kCodePage12x24Base;
  return {bank + kCodePageBytes * key.page, bank + kCodePageBytes * (key.page + 1)};
}

void Check(bool ok) {
  if (!ok) std::abort();
}

// The bytes around the places an operation may touch, taken before it runs, so that the
// check after it costs a few kilobytes even on an 8 MB image.
constexpr int64_t kWindow = 4096;

struct Snapshot {
  int64_t from = 0;
  std::vector<uint8_t> bytes;
};

Snapshot Take(const FontImage& font, int64_t from, int64_t to) {
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, font.size());
  Snapshot s{from, {}};
  if (from < to) s.bytes.assign(font.bytes().begin() + from, font.bytes().begin() + to);
  return s;
}

// The snapshot's bytes are unchanged, except inside [keep_from, keep_to).
void Unchanged(const FontImage& font, const Snapshot& s, int64_t keep_from = 0,
               int64_t keep_to = 0) {
  for (size_t i = 0; i < s.bytes.size(); ++i) {
    const int64_t at = s.from + static_cast<int64_t>(i);
    if (at >= keep_from && at < keep_to) continue;
    Check(at < font.size() && font.bytes()[static_cast<size_t>(at)] == s.bytes[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // Image size: a section border moved by a signed 16-bit offset.
  const int64_t border = kBorders[data[0] % std::size(kBorders)];
  const int64_t delta = static_cast<int16_t>(data[1] | (data[2] << 8));
  const int64_t image_size = std::clamp<int64_t>(border + delta, 0, kFull + 8192);
  data += 3;
  size -= 3;

  // Building an 8 MB image each run would dominate: the image is kept between runs and what
  // the last run wrote is put back (through write-backs of the pristine glyphs).
  static FontImage font;
  static std::vector<GlyphKey> written;
  const auto& pristine = Pristine();
  if (font.size() == image_size && !font.empty()) {
    for (const GlyphKey& w : written) {
      const auto place = LocateGlyph(w);
      if (!place || place->address + place->length > image_size) continue;
      std::memcpy(font.hzk.data(), pristine.data() + place->address,
                  static_cast<size_t>(place->length));
      font.WriteBack(w);
    }
  }
  if (font.size() != image_size || font.empty()) {
    font.Assign(std::vector<uint8_t>(pristine.begin(), pristine.begin() + image_size));
  }
  written.clear();
  font.hzk = {};
  font.xbyte = 3;

  for (size_t i = 0; i + 4 <= size; i += 4) {
    const uint8_t op = data[i];
    const uint16_t code = static_cast<uint16_t>(data[i + 1] << 8 | data[i + 2]);
    const uint8_t extra = data[i + 3];
    GlyphKey key{static_cast<FontSection>(op % 5), code, static_cast<uint8_t>(extra % 128),
                 (op & 0x80) != 0};
    switch ((op >> 3) % 6) {
      case 0: {  // the query's read
        const auto place = LocateGlyph(key);
        if (place) {
          const Range r = SectionOf(key);
          Check(place->address >= r.begin && place->address + place->length <= r.end);
        }
        const auto hzk = font.hzk;
        const auto result = font.ReadGlyph(key);
        if (result != GlyphRead::kLoaded) Check(hzk == font.hzk);
        break;
      }
      case 1: {  // the eight named reads
        switch (extra % 8) {
          case 0:
            font.Char_Get_ZK(code);
            break;
          case 1:
            font.Char_GetBIG5_HZK(code);
            break;
          case 2:
            font.Char_Get_GB2312_ZK(code);
            break;
          case 3:
            font.Char_Get_SHIFT_JIS_ZK(code);
            break;
          case 4:
            font.Char_Get_Ascii_ZK(static_cast<uint8_t>(code));
            break;
          case 5:
            font.Char_Get_Ascii9x17_ZK(static_cast<uint8_t>(code));
            break;
          case 6:
            font.Char_Get_CodePage_ZK(static_cast<uint8_t>(code), code >> 8);
            break;
          default:
            font.Char_Get_CodePage9x17_ZK(static_cast<uint8_t>(code), code >> 8);
            break;
        }
        break;
      }
      case 2: {  // write-back: only the glyph's own bytes change
        const auto place = LocateGlyph(key);
        const int64_t old_size = font.size();
        const int64_t at = place ? place->address : 0;
        const int64_t len = place ? place->length : 0;
        const Snapshot around = Take(font, at - kWindow, at + len + kWindow);
        const auto result = font.WriteBack(key);
        if (result == GlyphWrite::kWritten) written.push_back(key);
        if (result != GlyphWrite::kWritten) {
          Check(font.size() == old_size);
          Unchanged(font, around);
          break;
        }
        Check(place.has_value());
        const Range r = SectionOf(key);
        Check(at >= r.begin && at + len <= r.end);
        Check(font.size() == std::max<int64_t>(old_size, at + len));
        Unchanged(font, around, at, at + len);
        Check(std::memcmp(font.bytes().data() + at, font.hzk.data(), static_cast<size_t>(len)) ==
              0);
        break;
      }
      case 3: {  // code-page copy: only the target page of both banks changes
        const int src = static_cast<int8_t>(extra);
        const int dst = static_cast<int8_t>(code & 0xFF);
        const int64_t old_size = font.size();
        const int64_t a = kCodePage12x24Base + kCodePageBytes * dst;
        const int64_t b = kCodePage9x17Base + kCodePageBytes * dst;
        const Snapshot around_a = Take(font, a - kWindow, a + kCodePageBytes + kWindow);
        const Snapshot around_b = Take(font, b - kWindow, b + kCodePageBytes + kWindow);
        const auto result = font.CopyCodePage(src, dst);
        if (result == PageCopy::kCopied) {
          for (int c = 0x80; c <= 0xFF; ++c) {
            for (const bool nine : {false, true}) {
              written.push_back({FontSection::kCodePage, static_cast<uint16_t>(c),
                                 static_cast<uint8_t>(dst), nine});
            }
          }
        }
        if (result != PageCopy::kCopied) {
          Check(font.size() == old_size);
          Unchanged(font, around_a);
          Unchanged(font, around_b);
          break;
        }
        Check(src >= 0 && src < kCodePageCount && dst >= 0 && dst < kCodePageCount && src != dst);
        Check(font.size() == std::max<int64_t>(old_size, b + kCodePageBytes));
        Unchanged(font, around_a, a, a + kCodePageBytes);
        Unchanged(font, around_b, b, b + kCodePageBytes);
        for (const int64_t bank : {kCodePage12x24Base, kCodePage9x17Base}) {
          Check(std::memcmp(font.bytes().data() + bank + kCodePageBytes * dst,
                            font.bytes().data() + bank + kCodePageBytes * src,
                            kCodePageBytes) == 0);
        }
        break;
      }
      case 4: {  // dot edits with an arbitrary row width
        font.xbyte = static_cast<int8_t>(extra) % 8;
        const int x = static_cast<int8_t>(code >> 8), y = static_cast<int8_t>(code);
        const bool was = font.GetPoint(x, y);
        font.SetPoint(x, y);
        if (font.GetPoint(x, y) == was) {
          // Unchanged only outside the glyph.
          Check(font.xbyte < 1 || kGlyphRows * font.xbyte > FontImage::kHzkSize || x < 0 || y < 0 ||
                x >= 8 * font.xbyte || y >= kGlyphRows);
        }
        break;
      }
      default:  // the glyph buffer itself is fuzzed
        std::memcpy(font.hzk.data() + (extra % (FontImage::kHzkSize - 3)), data + i, 3);
        break;
    }
  }
  return 0;
}
