#include "virtualprinter/escpos/text_layout.h"

#include <algorithm>

#include "core/text_conv.h"

namespace quillon::vp::escpos {

void AppendUtf8(std::string& out, char32_t cp) {
  quillon::AppendUtf8(out, cp == 0 ? char32_t{0xFFFD} : cp);  // a NUL never stands in a line
}

bool LineComposer::AddGlyph(const GlyphSource& g, const CellStyle& s, char32_t cp) {
  const int gw = s.rotated ? g.rows : g.cols, gh = s.rotated ? g.cols : g.rows;
  const int w = s.left_space + gw * s.wmul + s.right_space * s.wmul;
  if (w > geometry_.width) return true;  // can never fit: dropped
  if (x_ + w > geometry_.width) return false;
  cells_.push_back({Kind::kGlyph, x_, w, gh * s.hmul, g, s, cp, -1});
  x_ += w;
  return true;
}

bool LineComposer::AddPicture(Bitmap picture) {
  const int w = picture.width();
  if (w > geometry_.width) return true;
  if (x_ + w > geometry_.width) return false;
  pictures_.push_back(std::move(picture));
  cells_.push_back({Kind::kPicture,
                    x_,
                    w,
                    pictures_.back().height(),
                    {},
                    {},
                    0,
                    static_cast<int>(pictures_.size() - 1)});
  x_ += w;
  return true;
}

void LineComposer::MoveTo(int x, char mark) {
  x_ = std::clamp(x, 0, geometry_.width);
  if (mark) cells_.push_back({Kind::kMark, x_, 0, 0, {}, {}, static_cast<char32_t>(mark), -1});
}

int LineComposer::Height(int empty_height) const {
  int h = 0;
  for (const Cell& c : cells_) h = std::max(h, c.h);
  return h > 0 ? h : empty_height;
}

void LineComposer::DrawGlyph(Bitmap& dst, int x, int y, const Cell& c) const {
  const GlyphSource& g = c.glyph;
  const CellStyle& s = c.style;
  const auto& flash = flash_.bytes();
  auto row_bits = [&](int row) -> uint32_t {
    if (g.picture) {
      uint32_t bits = 0;
      for (int col = 0; col < g.cols && col < 32; ++col) {
        if (g.picture->Get(col, row)) bits |= 0x80000000u >> col;
      }
      return bits;
    }
    const size_t at = g.addr + static_cast<size_t>(row) * g.xbyte;
    uint32_t bits = 0;
    for (int b = 0; b < g.xbyte && b < 4; ++b) {
      if (at + b < flash.size()) bits |= static_cast<uint32_t>(flash[at + b]) << (24 - 8 * b);
    }
    return bits;
  };
  const int strikes = s.bold ? 2 : 1;
  if (!s.rotated && s.wmul == 1 && s.hmul == 1) {
    for (int row = 0; row < g.rows; ++row) {
      const uint32_t bits = row_bits(row);
      for (int k = 0; k < strikes; ++k) dst.OrBits(x + k, y + row, bits, g.cols);
    }
    return;
  }
  Bitmap glyph(g.cols, g.rows);
  for (int row = 0; row < g.rows; ++row) glyph.OrBits(0, row, row_bits(row), g.cols);
  if (s.rotated) glyph = glyph.RotatedClockwise();
  for (int row = 0; row < glyph.height(); ++row) {
    for (int col = 0; col < glyph.width(); ++col) {
      if (!glyph.Get(col, row)) continue;
      for (int k = 0; k < strikes; ++k)
        dst.Fill(x + col * s.wmul + k, y + row * s.hmul, s.wmul, s.hmul);
    }
  }
}

Bitmap LineComposer::Compose(int paper_width, int empty_height, std::string& text) {
  const int h = Height(empty_height);
  Bitmap line(paper_width, h);
  int extent = x_;
  for (const Cell& c : cells_) extent = std::max(extent, c.x + c.w);
  int shift = 0;
  if (geometry_.align == 1) shift = std::max(0, (geometry_.width - extent) / 2);
  if (geometry_.align == 2) shift = std::max(0, geometry_.width - extent);
  const int base = geometry_.left + shift;
  for (const Cell& c : cells_) {
    const int x = base + c.x, y = h - c.h;  // cells stand on a common baseline
    switch (c.kind) {
      case Kind::kMark:
        AppendUtf8(text, c.cp);
        break;
      case Kind::kPicture:
        line.Blit(pictures_[static_cast<size_t>(c.picture)], x, y);
        break;
      case Kind::kGlyph:
        DrawGlyph(line, x + c.style.left_space, y, c);
        if (c.style.reverse) line.Invert(x, y, c.w, c.h);
        if (c.style.underline && !c.style.reverse)
          line.Fill(x, h - c.style.underline, c.w, c.style.underline);
        AppendUtf8(text, c.cp);
        break;
    }
  }
  if (geometry_.upside_down) line = line.Rotated180();
  Clear();
  return line;
}

void LineComposer::Clear() {
  cells_.clear();
  pictures_.clear();
  x_ = 0;
}

}  // namespace quillon::vp::escpos
