// The preview strip of single-byte glyphs: which glyph goes where on the 595 x 128 strip, and
// the strip drawn as a dot mask that the window colours (blue dots on white).
#pragma once

#include <cstdint>
#include <vector>

#include "fonteditor/font_image.h"

namespace quillon {

inline constexpr int kStripWidth = 595;
inline constexpr int kStripHeight = 128;
inline constexpr int kStripLineHeight = 24;

enum class PreviewKind {
  kAscii,     // codes 20..FF: ASCII below 80, a new line, then the code page
  kCodePage,  // codes 80..FF of the code page
};

// One glyph of the strip: its code and the top-left corner where it is drawn.
struct StripGlyph {
  uint8_t code = 0;
  int x = 0;
  int y = 0;
};

// The places of the strip's glyphs for a glyph width of 12 (12x24) or 9 (9x17). A glyph that
// would pass the strip's right edge starts a new line; "Preview Ascii" also starts one at 80.
std::vector<StripGlyph> LayoutPreviewStrip(PreviewKind kind, int glyph_width);

// The drawn strip: one byte a pixel, rows from the top; 1 = a set dot, 0 = white.
struct StripRaster {
  std::vector<uint8_t> dots = std::vector<uint8_t>(size_t{kStripWidth} * kStripHeight, 0);
  bool At(int x, int y) const { return dots[static_cast<size_t>(y) * kStripWidth + x] != 0; }
};

// Reads each glyph of the layout into image.hzk (ASCII or the page's code page, bank by
// nine_by_17) and paints all 16 bits of each of its 24 rows; the next glyph paints over the
// surplus columns. A glyph that cannot be read is left white. hzk ends with the last glyph.
StripRaster RenderPreviewStrip(FontImage& image, PreviewKind kind, uint8_t page, bool nine_by_17);

}  // namespace quillon
