// Layout and drawing of the single-byte preview strip.
#include "fonteditor/preview_strip.h"

namespace quillon {
namespace {

constexpr int kBytesPerStripRow = 2;  // every single-byte glyph row is 2 bytes in the file

GlyphRead ReadStripGlyph(FontImage& image, uint8_t code, uint8_t page, bool nine_by_17) {
  if (code < 0x80) {
    return nine_by_17 ? image.Char_Get_Ascii9x17_ZK(code) : image.Char_Get_Ascii_ZK(code);
  }
  return nine_by_17 ? image.Char_Get_CodePage9x17_ZK(code, page)
                    : image.Char_Get_CodePage_ZK(code, page);
}

void PaintGlyph(const FontImage& image, int left, int top, bool blank, StripRaster& strip) {
  for (int row = 0; row < kGlyphRows; ++row) {
    const int y = top + row;
    if (y >= kStripHeight) return;
    for (int b = 0; b < kBytesPerStripRow; ++b) {
      const uint8_t byte = blank ? 0 : image.hzk[static_cast<size_t>(row * kBytesPerStripRow + b)];
      for (int bit = 0; bit < 8; ++bit) {
        const int x = left + 8 * b + bit;
        if (x >= kStripWidth) break;
        strip.dots[static_cast<size_t>(y) * kStripWidth + x] = (byte >> (7 - bit)) & 1;
      }
    }
  }
}

}  // namespace

std::vector<StripGlyph> LayoutPreviewStrip(PreviewKind kind, int glyph_width) {
  std::vector<StripGlyph> glyphs;
  if (glyph_width <= 0) return glyphs;
  int px = 0, py = 0;
  const int first = kind == PreviewKind::kAscii ? 0x20 : 0x80;
  for (int code = first; code <= 0xFF; ++code) {
    if (kind == PreviewKind::kAscii && code == 0x80) {
      px = 0;
      py += kStripLineHeight;
    }
    if (px + glyph_width > kStripWidth) {
      px = 0;
      py += kStripLineHeight;
    }
    glyphs.push_back({static_cast<uint8_t>(code), px, py});
    px += glyph_width;
  }
  return glyphs;
}

StripRaster RenderPreviewStrip(FontImage& image, PreviewKind kind, uint8_t page, bool nine_by_17) {
  StripRaster strip;
  for (const StripGlyph& g : LayoutPreviewStrip(kind, nine_by_17 ? 9 : 12)) {
    // A glyph missing from a short file is drawn blank rather than as a copy of the previous one.
    const bool read = ReadStripGlyph(image, g.code, page, nine_by_17) == GlyphRead::kLoaded;
    PaintGlyph(image, g.x, g.y, !read, strip);
  }
  return strip;
}

}  // namespace quillon
