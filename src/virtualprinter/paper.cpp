#include "virtualprinter/paper.h"

#include <algorithm>

#include "virtualprinter/png_writer.h"

namespace quillon::vp {

bool Paper::Grow(int rows) {
  if (rows <= allocated_) return true;
  if (rows > kMaxRows) {
    cut_off_ = true;
    rows = kMaxRows;
    if (rows <= allocated_) return false;
  }
  // Grow in steps so a long print does not reallocate for every band.
  const int want = std::min(kMaxRows, std::max(rows, allocated_ + allocated_ / 2 + 256));
  dots_.resize(static_cast<size_t>(want) * static_cast<size_t>(stride()), 0);
  allocated_ = want;
  return true;
}

void Paper::Feed(int rows) {
  if (rows <= 0 || stopped_) return;
  const int end = std::min(kMaxRows, height_ + rows);
  if (height_ + rows > kMaxRows) cut_off_ = true;
  Grow(end);
  height_ = std::max(height_, end);
}

void Paper::SetDot(int x, int y) {
  if (x < 0 || x >= width_ || y < 0 || stopped_) return;
  if (y >= kMaxRows) {
    cut_off_ = true;
    return;
  }
  if (!Grow(y + 1)) return;
  dots_[static_cast<size_t>(y) * static_cast<size_t>(stride()) + static_cast<size_t>(x / 8)] |=
      static_cast<uint8_t>(0x80u >> (x % 8));
}

void Paper::OrRow(int y, const uint8_t* bits, int bytes) {
  if (y < 0 || stopped_) return;
  if (y >= kMaxRows) {
    cut_off_ = true;
    return;
  }
  const int n = std::min(bytes, stride());
  if (n <= 0 || std::all_of(bits, bits + n, [](uint8_t b) { return b == 0; })) return;
  if (!Grow(y + 1)) return;
  uint8_t* row = dots_.data() + static_cast<size_t>(y) * static_cast<size_t>(stride());
  for (int i = 0; i < n; ++i) row[i] |= bits[i];
}

bool Paper::Dot(int x, int y) const {
  if (x < 0 || x >= width_ || y < 0 || y >= allocated_) return false;
  return (dots_[static_cast<size_t>(y) * static_cast<size_t>(stride()) +
                static_cast<size_t>(x / 8)] &
          (0x80u >> (x % 8))) != 0;
}

void Paper::Clear(int width) {
  width_ = width == 576 ? 576 : 384;
  height_ = 0;
  allocated_ = 0;
  cut_off_ = false;
  dots_.clear();
}

bool Paper::SavePng(const std::string& path, std::string& error) const {
  // Dots drawn below the print position (a tall glyph not yet fed past) are kept too.
  int rows = height_;
  for (int y = allocated_ - 1; y >= rows; --y) {
    const auto* row = dots_.data() + static_cast<size_t>(y) * static_cast<size_t>(stride());
    if (std::any_of(row, row + stride(), [](uint8_t b) { return b != 0; })) {
      rows = y + 1;
      break;
    }
  }
  rows = std::max(rows, 1);
  std::vector<uint8_t> strip(static_cast<size_t>(rows) * static_cast<size_t>(stride()), 0);
  const size_t have = std::min(strip.size(), dots_.size());
  std::copy_n(dots_.begin(), have, strip.begin());
  return WriteBilevelPng(path, width_, rows, strip, error);
}

}  // namespace quillon::vp
