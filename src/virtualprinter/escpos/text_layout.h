// One line of print being put together: glyph cells (with their size, emphasis, underline,
// reverse and rotation), pictures of ESC * and GS /, tab and position gaps. When the line
// is printed it becomes one picture the width of the paper, aligned within the print area
// (and turned over in upside-down mode), plus the text it shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "virtualprinter/escpos/bitmap.h"
#include "virtualprinter/nor_flash.h"

namespace quillon::vp::escpos {

// Where a glyph's dots come from: a glyph of the font flash (rows of xbyte bytes), or a
// picture (a user-defined character).
struct GlyphSource {
  uint32_t addr = 0;
  uint8_t xbyte = 2;
  uint8_t cols = 12;
  uint8_t rows = 24;
  const Bitmap* picture = nullptr;
};

struct CellStyle {
  uint8_t wmul = 1;
  uint8_t hmul = 1;
  bool bold = false;
  uint8_t underline = 0;  // dots
  bool reverse = false;
  bool rotated = false;  // 90 degrees clockwise
  int left_space = 0;    // dots before the glyph
  int right_space = 0;   // dots after it
};

// The line's place across the paper, fixed when its first cell comes.
struct LineGeometry {
  int left = 0;   // left margin, dots
  int width = 0;  // print area width, dots
  int align = 0;  // 0 left, 1 centre, 2 right
  bool upside_down = false;
};

class LineComposer {
 public:
  explicit LineComposer(const NorFlash& flash) : flash_(flash) {}

  bool empty() const { return cells_.empty(); }
  // The position of the next cell from the line's start, in dots.
  int x() const { return x_; }
  // Geometry for a line that has not started yet (ignored once it has).
  void Start(const LineGeometry& g) {
    if (cells_.empty() && x_ == 0) geometry_ = g;
  }
  const LineGeometry& geometry() const { return geometry_; }
  bool started() const { return !cells_.empty() || x_ > 0; }

  // Adds a glyph; false when it does not fit on what is left of the line (print the line
  // and add it again). A glyph wider than the whole print area is dropped (true).
  bool AddGlyph(const GlyphSource& g, const CellStyle& style, char32_t cp);
  // Adds a picture that sits on the line like a character.
  bool AddPicture(Bitmap picture);
  // Moves the position to x (a tab or ESC $); text gets `mark` ('\t' for a tab) unless 0.
  void MoveTo(int x, char mark);

  // The height of the line: its tallest cell, or empty_height for a line without cells.
  int Height(int empty_height) const;
  // Draws the line onto a strip paper_width wide and Height() high and returns it; text
  // receives what the line shows (UTF-8). The composer is empty afterwards.
  Bitmap Compose(int paper_width, int empty_height, std::string& text);
  void Clear();

 private:
  enum class Kind : uint8_t { kGlyph, kPicture, kMark };
  struct Cell {
    Kind kind;
    int x, w, h;
    GlyphSource glyph;
    CellStyle style;
    char32_t cp;
    int picture;  // index into pictures_
  };
  void DrawGlyph(Bitmap& dst, int x, int y, const Cell& c) const;

  const NorFlash& flash_;
  LineGeometry geometry_;
  std::vector<Cell> cells_;
  std::vector<Bitmap> pictures_;
  int x_ = 0;
};

// Appends code point cp to a UTF-8 string (0 and invalid points become U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace quillon::vp::escpos
