// Picture conversion: grey values, the 12-neighbour error spreading with its wrap at the
// edge columns, thresholds, bit packing, and the optimised path against a plain one.
#include "output/bitmap_conv.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "reference_dither.h"

namespace quillon {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Grey(uint32_t v) {
  return 0xFF000000u | (v << 16) | (v << 8) | v;
}

Picture Uniform(int w, int h, uint32_t argb) {
  return Picture{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h, argb)};
}

Bytes Raster(const Picture& img, bool conv) {
  Bytes out;
  uint16_t w = 0, h = 0;
  EXPECT_TRUE(BMP_Conv(img, out, w, h, conv));
  EXPECT_EQ(w, img.width);
  EXPECT_EQ(h, img.height);
  return out;
}

TEST(BitmapConv, GreyOfNeutralGreys) {
  for (uint32_t v = 0; v < 256; ++v) {
    const bool one_less = v == 63 || v == 126 || v == 215 || v == 229 || v == 252;
    EXPECT_EQ(GreyValue(Grey(v)), static_cast<int32_t>(v) - (one_less ? 1 : 0)) << v;
  }
}

TEST(BitmapConv, FastGreyAndThresholdMatchExtendedPrecision) {
  // Every red and green value, with blue values spread over the range.
  for (uint32_t r = 0; r < 256; ++r) {
    for (uint32_t g = 0; g < 256; ++g) {
      for (uint32_t b = (r + g) % 7; b < 256; b += 7) {
        const uint32_t p = 0xFF000000u | (r << 16) | (g << 8) | b;
        ASSERT_EQ(GreyValue(p), testing::RefGrey(p)) << r << "," << g << "," << b;
        ASSERT_EQ(IsWhiteAfterThreshold(p), testing::RefWhite(p)) << r << "," << g << "," << b;
      }
    }
  }
  // Sums of exactly 128.5 in the second threshold.
  for (uint32_t r = 0; r < 256; ++r) {
    for (uint32_t g = 0; g < 256; ++g) {
      const int rest = 12850 - 30 * static_cast<int>(r) - 59 * static_cast<int>(g);
      if (rest < 0 || rest % 11 != 0 || rest / 11 > 255) continue;
      const uint32_t p = 0xFF000000u | (r << 16) | (g << 8) | static_cast<uint32_t>(rest / 11);
      ASSERT_EQ(IsWhiteAfterThreshold(p), testing::RefWhite(p));
    }
  }
}

TEST(BitmapConv, TransparentCountsAsWhite) {
  EXPECT_EQ(OnWhite(0x00000000u), 0xFFFFFFFFu);
  EXPECT_EQ(OnWhite(0x80000000u), 0xFF7F7F7Fu);
  EXPECT_EQ(OnWhite(0xFF123456u), 0xFF123456u);
  EXPECT_EQ(Raster(Uniform(9, 2, 0x00000000u), true), Bytes(4, 0x00));
  EXPECT_EQ(Raster(Uniform(9, 2, 0x00000000u), false), Bytes(4, 0x00));
}

TEST(BitmapConv, SpreadingTruncatesTowardZeroAndWrapsAtTheEdges) {
  // 5 x 4, error at (1, 1): the column -2 taps wrap to the last column of rows 1 and 2.
  std::vector<int32_t> g(20, 0);
  JaJuNi(g.data(), 1, 1, 5, 4, 100);
  EXPECT_EQ(
      g, (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, 14, 10, 6, 10, 14, 10, 6, 2, 6, 10, 6, 2, 0}));
  std::fill(g.begin(), g.end(), 0);
  JaJuNi(g.data(), 1, 1, 5, 4, -55);  // -385/48 is -8, not -9
  EXPECT_EQ(g, (std::vector<int32_t>{0,  0,  0,  0,  0,  0,  0,  -8, -5, -3,
                                     -5, -8, -5, -3, -1, -3, -5, -3, -1, 0}));
  // 5 x 4, error at (2, 3): the column +2 taps wrap to column 0 of the next rows; taps
  // at index 20 and beyond are dropped.
  std::fill(g.begin(), g.end(), 0);
  JaJuNi(g.data(), 2, 3, 5, 4, 100);
  EXPECT_EQ(
      g, (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 14, 10, 6, 10, 14, 10}));
  // The outer rows and columns pass on nothing.
  std::fill(g.begin(), g.end(), 0);
  for (auto [i, j] : {std::pair{0, 2}, {3, 2}, {1, 0}, {1, 4}}) JaJuNi(g.data(), i, j, 5, 4, 99);
  EXPECT_EQ(g, std::vector<int32_t>(20, 0));
}

TEST(BitmapConv, DitheredSmallPictures) {
  // 3 x 3, grey 120 around a centre of 100: only the centre spreads (e = 100); the wrap
  // carries shares to (1,2) and (2,0), lifting them and the bottom row above 128.
  Picture p3 = Uniform(3, 3, Grey(120));
  p3.pixels[4] = Grey(100);
  EXPECT_EQ(Raster(p3, true), (Bytes{0xE0, 0xC0, 0x00}));
  Picture d3 = p3;
  baseHandleImg(d3);
  EXPECT_EQ(d3.pixels[5], 0xFFFFFFFFu);
  EXPECT_EQ(d3.pixels[3], 0xFF000000u);

  // 5 x 4 white except (2,3) = 100 and a bottom row and (2,4) of 120: shares reach
  // (2,4), and by the wrap (3,0); (3,1) gets only 6 and stays black.
  Picture p5 = Uniform(5, 4, Grey(255));
  for (int j = 0; j < 5; ++j) p5.pixels[15 + j] = Grey(120);
  p5.pixels[14] = Grey(120);
  p5.pixels[13] = Grey(100);
  EXPECT_EQ(Raster(p5, true), (Bytes{0x00, 0x00, 0x10, 0x40}));
}

TEST(BitmapConv, NarrowAndFlatPicturesAreOnlyThresholded) {
  // Without diffusion, 128 is black and 129 white, alternating here.
  for (auto [w, h] : {std::pair{1, 6}, {2, 6}, {6, 1}, {6, 2}}) {
    Picture p = Uniform(w, h, 0);
    for (size_t k = 0; k < p.pixels.size(); ++k) p.pixels[k] = Grey(k % 2 ? 129 : 128);
    Bytes expect = Raster(p, false);
    EXPECT_EQ(Raster(p, true), expect) << w << "x" << h;
  }
  EXPECT_EQ(Raster(Uniform(2, 1, Grey(128)), true), (Bytes{0xC0}));
  EXPECT_EQ(Raster(Uniform(2, 1, Grey(129)), true), (Bytes{0x00}));
}

TEST(BitmapConv, PlainThresholdAndPacking) {
  EXPECT_EQ(Raster(Uniform(8, 2, Grey(128)), false), Bytes(2, 0xFF));
  EXPECT_EQ(Raster(Uniform(8, 2, Grey(129)), false), Bytes(2, 0x00));
  // Width not a multiple of 8: pad bits are 0; a multiple of 8 keeps all its columns.
  EXPECT_EQ(Raster(Uniform(10, 3, Grey(0)), false), (Bytes{0xFF, 0xC0, 0xFF, 0xC0, 0xFF, 0xC0}));
  EXPECT_EQ(Raster(Uniform(10, 3, Grey(0)), true), (Bytes{0xFF, 0xC0, 0xFF, 0xC0, 0xFF, 0xC0}));
  EXPECT_EQ(Raster(Uniform(16, 1, Grey(0)), true), (Bytes{0xFF, 0xFF}));
  Picture one = Uniform(9, 1, Grey(255));
  one.pixels[0] = one.pixels[8] = Grey(0);
  EXPECT_EQ(Raster(one, false), (Bytes{0x80, 0x80}));
  // A low-contrast picture comes out pure threshold, no pattern.
  EXPECT_EQ(Raster(Uniform(16, 4, Grey(140)), false), Bytes(8, 0x00));
  EXPECT_EQ(Raster(Uniform(16, 4, Grey(110)), false), Bytes(8, 0xFF));
  // Appends to what the stream already holds.
  Bytes ms{0xAA};
  uint16_t w, h;
  ASSERT_TRUE(BMP_Conv(Uniform(3, 1, Grey(0)), ms, w, h, false));
  EXPECT_EQ(ms, (Bytes{0xAA, 0xE0}));
}

TEST(BitmapConv, RefusesPicturesItCannotDescribe) {
  Bytes ms;
  uint16_t w = 0, h = 0;
  std::string error;
  EXPECT_FALSE(BMP_Conv(Picture{}, ms, w, h, true, &error));
  EXPECT_FALSE(error.empty());
  Picture tall{1, 70000, std::vector<uint32_t>(70000, Grey(0))};
  EXPECT_FALSE(BMP_Conv(tall, ms, w, h, true, &error));
  EXPECT_NE(error.find("65535"), std::string::npos);
  Picture broken{4, 4, std::vector<uint32_t>(3)};
  EXPECT_FALSE(BMP_Conv(broken, ms, w, h, false, &error));
  EXPECT_TRUE(ms.empty());
}

TEST(BitmapConv, MatchesThePlainImplementation) {
  std::mt19937 rng(1234);
  const std::pair<int, int> sizes[] = {{3, 3}, {4, 5},   {5, 4},   {7, 9},    {8, 8},
                                       {9, 3}, {17, 30}, {64, 40}, {101, 57}, {3, 50},
                                       {5, 7}, {6, 6},   {4, 9},   {576, 30}};
  for (auto [w, h] : sizes) {
    for (int kind = 0; kind < 3; ++kind) {
      Picture p = Uniform(w, h, 0);
      for (uint32_t& px : p.pixels) {
        const uint32_t v = rng() & 0xFF;
        // Colours, neutral greys (the whole-number grey path) and greys near 128.
        px = kind == 0   ? 0xFF000000u | (rng() & 0xFFFFFF)
             : kind == 1 ? Grey(v)
                         : Grey(120 + v % 16);
      }
      const Bytes ref = testing::RefRaster(p.pixels, w, h, true);
      ASSERT_EQ(Raster(p, true), ref) << w << "x" << h << " kind " << kind;
      ASSERT_EQ(Raster(p, false), testing::RefRaster(p.pixels, w, h, false));
      Picture d = p;
      baseHandleImg(d);
      ASSERT_EQ(Raster(d, false), ref) << w << "x" << h << " kind " << kind;
    }
  }
}

}  // namespace
}  // namespace quillon
