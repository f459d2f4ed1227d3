#include "virtualprinter/escpos/bitmap.h"

#include <algorithm>

namespace quillon::vp::escpos {

void Bitmap::Reset(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  stride_ = (width_ + 7) / 8;
  bits_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height_), 0);
}

void Bitmap::Set(int x, int y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  row(y)[x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
}

bool Bitmap::Get(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  return (row(y)[x / 8] & (0x80u >> (x % 8))) != 0;
}

void Bitmap::Fill(int x, int y, int w, int h) {
  const int x0 = std::max(0, x), x1 = std::min(width_, x + w);
  const int y0 = std::max(0, y), y1 = std::min(height_, y + h);
  for (int yy = y0; yy < y1; ++yy) {
    for (int xx = x0; xx < x1; ++xx) row(yy)[xx / 8] |= static_cast<uint8_t>(0x80u >> (xx % 8));
  }
}

void Bitmap::Invert(int x, int y, int w, int h) {
  const int x0 = std::max(0, x), x1 = std::min(width_, x + w);
  const int y0 = std::max(0, y), y1 = std::min(height_, y + h);
  for (int yy = y0; yy < y1; ++yy) {
    for (int xx = x0; xx < x1; ++xx) row(yy)[xx / 8] ^= static_cast<uint8_t>(0x80u >> (xx % 8));
  }
}

void Bitmap::OrBits(int x, int y, uint32_t bits, int n) {
  if (y < 0 || y >= height_ || n <= 0 || bits == 0) return;
  if (n < 32) bits &= ~((1u << (32 - n)) - 1u);  // keep the top n bits only
  if (x < 0) {
    if (x <= -n) return;
    bits <<= -x;
    n += x;
    x = 0;
  }
  uint8_t* r = row(y);
  // Spread the 32 bits over the five bytes they may touch from byte x / 8.
  const int shift = x % 8;
  const uint64_t wide = static_cast<uint64_t>(bits) << (32 - shift);
  for (int i = 0; i < 5; ++i) {
    const int byte = x / 8 + i;
    if (byte >= stride_) break;
    uint8_t v = static_cast<uint8_t>(wide >> (56 - 8 * i));
    if (byte == stride_ - 1 && width_ % 8) v &= static_cast<uint8_t>(0xFF00u >> (width_ % 8));
    r[byte] |= v;
  }
}

void Bitmap::Blit(const Bitmap& src, int x, int y) {
  for (int sy = 0; sy < src.height_; ++sy) {
    const int dy = y + sy;
    if (dy < 0 || dy >= height_) continue;
    const uint8_t* s = src.row(sy);
    for (int sx = 0; sx < src.width_; sx += 32) {
      uint32_t bits = 0;
      for (int b = 0; b < 4 && sx / 8 + b < src.stride_; ++b)
        bits |= static_cast<uint32_t>(s[sx / 8 + b]) << (24 - 8 * b);
      OrBits(x + sx, dy, bits, std::min(32, src.width_ - sx));
    }
  }
}

int Bitmap::UsedHeight() const {
  for (int y = height_ - 1; y >= 0; --y) {
    const uint8_t* r = row(y);
    if (std::any_of(r, r + stride_, [](uint8_t b) { return b != 0; })) return y + 1;
  }
  return 0;
}

Bitmap Bitmap::Rotated180() const {
  Bitmap out(width_, height_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (Get(x, y)) out.Set(width_ - 1 - x, height_ - 1 - y);
    }
  }
  return out;
}

Bitmap Bitmap::RotatedClockwise() const {
  Bitmap out(height_, width_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (Get(x, y)) out.Set(height_ - 1 - y, x);
    }
  }
  return out;
}

Bitmap Bitmap::RotatedCounterClockwise() const {
  Bitmap out(height_, width_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (Get(x, y)) out.Set(y, width_ - 1 - x);
    }
  }
  return out;
}

}  // namespace quillon::vp::escpos
