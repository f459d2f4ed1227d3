// A small 1-bit picture (rows of packed bytes, most significant bit leftmost, 1 = black):
// the scratch surface on which a text line, a symbol or a page is composed before it goes
// onto the paper.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon::vp::escpos {

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height) { Reset(width, height); }

  // A blank picture of the given size (negative sizes count as 0).
  void Reset(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  bool empty() const { return width_ == 0 || height_ == 0; }
  const uint8_t* row(int y) const { return bits_.data() + static_cast<size_t>(y) * stride_; }
  uint8_t* row(int y) { return bits_.data() + static_cast<size_t>(y) * stride_; }

  // Dots outside the picture are ignored.
  void Set(int x, int y);
  bool Get(int x, int y) const;
  void Fill(int x, int y, int w, int h);
  // Inverts a box (reverse printing).
  void Invert(int x, int y, int w, int h);
  // ORs the top n bits of `bits` (n <= 32) into row y from column x: the fast path of
  // drawing one glyph row.
  void OrBits(int x, int y, uint32_t bits, int n);
  // ORs src onto this picture with its top-left corner at (x, y).
  void Blit(const Bitmap& src, int x, int y);
  // The lowest row holding a black dot, plus one (0 for a blank picture).
  int UsedHeight() const;

  Bitmap Rotated180() const;
  // A quarter turn clockwise (the picture's top row becomes its right column).
  Bitmap RotatedClockwise() const;
  Bitmap RotatedCounterClockwise() const;

 private:
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  std::vector<uint8_t> bits_;
};

}  // namespace quillon::vp::escpos
