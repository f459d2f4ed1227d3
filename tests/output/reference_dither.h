// A deliberately plain rendering of the picture conversion, step by step on a full grey
// array in extended precision, against which the optimised conversion is checked.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace quillon::testing {

inline int32_t RefGrey(uint32_t p) {
  const long double r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return static_cast<int32_t>(0.299L * r + 0.587L * g + 0.114L * b);
}

inline bool RefWhite(uint32_t p) {
  const long double r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return std::nearbyintl(0.3L * r + 0.59L * g + 0.11L * b) > 128;
}

// Opaque pixels only. Returns the packed raster.
inline std::vector<uint8_t> RefRaster(const std::vector<uint32_t>& px, int W, int H, bool conv) {
  std::vector<uint32_t> img = px;
  if (conv) {
    std::vector<long long> gray(px.size());
    for (size_t k = 0; k < px.size(); ++k) gray[k] = RefGrey(px[k]);
    const long long total = static_cast<long long>(W) * H;
    const int di[] = {0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2};
    const int dj[] = {1, 2, -2, -1, 0, 1, 2, -2, -1, 0, 1, 2};
    const int wt[] = {7, 5, 3, 5, 7, 5, 3, 1, 3, 5, 3, 1};
    for (int i = 0; i < H; ++i) {
      for (int j = 0; j < W; ++j) {
        const long long k = static_cast<long long>(i) * W + j;
        const long long g = gray[k];
        const long long e = g > 128 ? g - 255 : g;
        img[k] = g > 128 ? 0xFFFFFFFF : 0xFF000000;
        if (j < 1 || j > W - 2 || i < 1 || i > H - 2) continue;
        for (int t = 0; t < 12; ++t) {
          const long long n = k + di[t] * static_cast<long long>(W) + dj[t];
          if (n < total) gray[n] += static_cast<long long>(std::trunc(e * wt[t] / 48.0L));
        }
      }
    }
  }
  const int bpr = (W + 7) / 8;
  std::vector<uint8_t> out(static_cast<size_t>(bpr) * H, 0);
  for (int i = 0; i < H; ++i) {
    for (int j = 0; j < W; ++j) {
      if (!RefWhite(img[static_cast<size_t>(i) * W + j])) {
        out[static_cast<size_t>(i) * bpr + j / 8] |= static_cast<uint8_t>(0x80 >> (j % 8));
      }
    }
  }
  return out;
}

}  // namespace quillon::testing
