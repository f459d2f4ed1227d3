// The virtual paper roll: a strip of dots, 384 or 576 wide, that grows as it is printed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::vp {

class Paper {
 public:
  // Longest strip kept; printing beyond it is cut off (and reported by cut_off()).
  static constexpr int kMaxRows = 200000;

  explicit Paper(int width = 384) : width_(width == 576 ? 576 : 384) {}

  int width() const { return width_; }
  // Rows printed or fed so far; the next output starts at this row.
  int height() const { return height_; }
  bool cut_off() const { return cut_off_; }
  // While stopped (paper out, cover open) nothing is fed or drawn.
  void set_stopped(bool stopped) { stopped_ = stopped; }
  bool stopped() const { return stopped_; }

  // Makes rows [height, height + rows) blank paper and moves the print position past them.
  void Feed(int rows);
  // Sets the dot at (x, y) black, counted from the top of the strip; y may lie below the
  // current end (the strip grows, up to kMaxRows). Dots outside the width are dropped.
  void SetDot(int x, int y);
  bool Dot(int x, int y) const;
  // ORs a packed row (most significant bit leftmost, from x = 0) into row y; bytes past the
  // paper's width are dropped. The fast way to print a composed line or picture strip.
  void OrRow(int y, const uint8_t* bits, int bytes);
  // Starts a fresh roll of the given width (384 or 576).
  void Clear(int width);
  void Clear() { Clear(width_); }

  // Writes the strip as a black-and-white PNG (at least one row high).
  bool SavePng(const std::string& path, std::string& error) const;

 private:
  bool Grow(int rows);
  int stride() const { return width_ / 8; }

  int width_;
  int height_ = 0;     // print position
  int allocated_ = 0;  // rows held in dots_
  bool cut_off_ = false;
  bool stopped_ = false;
  std::vector<uint8_t> dots_;  // packed rows, most significant bit leftmost, 1 = black
};

}  // namespace quillon::vp
