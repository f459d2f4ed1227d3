// Dithering and packing of pictures into 1-bit rasters. The grey values and thresholds are
// computed in integers where that gives exactly the extended-precision results, and the
// dithering of BMP_Conv keeps only four rows of grey values.
#include "output/bitmap_conv.h"

#include <array>
#include <cmath>
#include <cstring>

namespace quillon {
namespace {

constexpr int32_t kThreshold = 128;

inline uint32_t Red(uint32_t p) {
  return (p >> 16) & 0xFF;
}
inline uint32_t Green(uint32_t p) {
  return (p >> 8) & 0xFF;
}
inline uint32_t Blue(uint32_t p) {
  return p & 0xFF;
}

int32_t GreyExtended(uint32_t r, uint32_t g, uint32_t b) {
  const long double v = 0.299L * r + 0.587L * g + 0.114L * b;
  return static_cast<int32_t>(v);
}

// Neutral greys are the common case of a whole-number weighted sum; their extended results
// (one less for 63, 126, 215, 229 and 252) are worked out once.
const std::array<int32_t, 256>& NeutralGreys() {
  static const std::array<int32_t, 256> table = [] {
    std::array<int32_t, 256> t{};
    for (uint32_t v = 0; v < 256; ++v) t[v] = GreyExtended(v, v, v);
    return t;
  }();
  return table;
}

// Grey of an opaque pixel. The exact value is s/1000; when it is not a whole number it
// lies at least 0.001 from one and the extended sum truncates to s/1000. Whole numbers
// can come out one less in extended precision, so they take the extended path.
inline int32_t GreyOpaque(uint32_t p) {
  const uint32_t r = Red(p), g = Green(p), b = Blue(p);
  const uint32_t s = 299 * r + 587 * g + 114 * b;
  const uint32_t q = s / 1000;
  if (s != q * 1000) return static_cast<int32_t>(q);
  if (r == g && g == b) return NeutralGreys()[r];
  return GreyExtended(r, g, b);
}

inline int32_t GreyAny(uint32_t p) {
  return GreyOpaque(p >= 0xFF000000u ? p : OnWhite(p));
}

// One row of grey values; rows beyond the picture are zero (their shares are dropped).
void LoadGreyRow(const Picture& img, int row, int32_t* out) {
  if (row >= img.height) {
    std::memset(out, 0, sizeof(int32_t) * static_cast<size_t>(img.width));
    return;
  }
  const uint32_t* px = img.pixels.data() + static_cast<size_t>(row) * img.width;
  // A branch-free pass the compiler can vectorise, then the few pixels it cannot settle
  // (whole-number sums, transparency) again one by one.
  uint32_t unsettled = 0;
  for (int j = 0; j < img.width; ++j) {
    const uint32_t p = px[j];
    const uint32_t s = 299 * Red(p) + 587 * Green(p) + 114 * Blue(p);
    const uint32_t q = s / 1000;
    out[j] = static_cast<int32_t>(q);
    unsettled |= static_cast<uint32_t>(s == q * 1000) | static_cast<uint32_t>(p < 0xFF000000u);
  }
  if (!unsettled) return;
  for (int j = 0; j < img.width; ++j) {
    const uint32_t p = px[j];
    const uint32_t s = 299 * Red(p) + 587 * Green(p) + 114 * Blue(p);
    if (s % 1000 == 0 || p < 0xFF000000u) out[j] = GreyAny(p);
  }
}

// The kernel: row offset, column offset, weight.
struct Tap {
  int di, dj, weight;
};
constexpr Tap kKernel[] = {{0, 1, 7}, {0, 2, 5},  {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5},
                           {1, 2, 3}, {2, -2, 1}, {2, -1, 3}, {2, 0, 5},  {2, 1, 3}, {2, 2, 1}};

inline int32_t Share(int32_t e, int weight) {
  return e * weight / 48;
}

// Grey values during the dithering stay within [-255, 510]: a pixel starts in 0..255 and
// receives at most the largest error so far (the weights add up to 48/48, truncation only
// shrinks), while every error lies within [-255, 255]. So the decision and the four shares
// (weights 7, 5, 3 and 1 out of 48, truncated toward zero) come from one table indexed by
// the grey value.
constexpr int32_t kLowestGrey = -255;
constexpr int32_t kHighestGrey = 510;

struct Shares {
  int8_t s7, s5, s3, s1;
};

const Shares* SharesByGrey() {
  static const std::array<Shares, kHighestGrey - kLowestGrey + 1> table = [] {
    std::array<Shares, kHighestGrey - kLowestGrey + 1> t{};
    for (int32_t g = kLowestGrey; g <= kHighestGrey; ++g) {
      const int32_t e = g > kThreshold ? g - 255 : g;
      t[static_cast<size_t>(g - kLowestGrey)] = {
          static_cast<int8_t>(e * 7 / 48), static_cast<int8_t>(e * 5 / 48),
          static_cast<int8_t>(e / 16), static_cast<int8_t>(e / 48)};
    }
    return t;
  }();
  return table.data() - kLowestGrey;  // indexed by the grey value itself
}

// Packs the decisions of one row of grey values without diffusion.
void ThresholdRow(const int32_t* c, int W, uint8_t* o) {
  uint32_t acc = 0;
  for (int j = 0; j < W; ++j) {
    acc = (acc << 1) | static_cast<uint32_t>(c[j] <= kThreshold);
    if ((j & 7) == 7) {
      o[j >> 3] = static_cast<uint8_t>(acc);
      acc = 0;
    }
  }
  if (W & 7) o[W >> 3] = static_cast<uint8_t>(acc << (8 - (W & 7)));
}

// One inner row of a picture at least 5 wide. The two right-hand shares of the current
// row are carried in registers (a1, a2), so the chain from one pixel to the next is a
// table load and an add. The edge pixels j = 1 and j = W - 2 spread on the linear index:
// their outer taps land in the last column of the rows above or the first column of the
// rows below (rows past the picture are scratch rows nobody reads).
void DitherRow(int32_t* c, int32_t* n1, int32_t* n2, int32_t* n3, int W, uint8_t* o,
               const Shares* table) {
  uint32_t acc = 0;
  int32_t a1 = 0, a2 = 0;
  auto emit = [&](int j, int32_t g) {
    acc = (acc << 1) | static_cast<uint32_t>(g <= kThreshold);
    if ((j & 7) == 7) {
      o[j >> 3] = static_cast<uint8_t>(acc);
      acc = 0;
    }
  };
  emit(0, c[0]);  // the first column passes on nothing

  {  // j = 1: column -2 wraps to column W - 1 of this row and the next.
    const int32_t g = c[1];
    emit(1, g);
    const Shares& s = table[g];
    a1 = s.s7;
    a2 = s.s5;
    c[W - 1] += s.s3;
    n1[0] += s.s5;
    n1[1] += s.s7;
    n1[2] += s.s5;
    n1[3] += s.s3;
    n1[W - 1] += s.s1;
    n2[0] += s.s3;
    n2[1] += s.s5;
    n2[2] += s.s3;
    n2[3] += s.s1;
  }
  // The shares for the two rows below are gathered in registers too: q* for the next row,
  // r* for the one after, each for columns j - 2 ... j + 1 before pixel j spreads; one
  // column of each is final per pixel and added to memory once.
  int32_t q0 = 0, q1 = 0, q2 = 0, q3 = 0;
  int32_t r0 = 0, r1 = 0, r2 = 0, r3 = 0;
  int32_t g = c[2] + a1;
  for (int j = 2; j <= W - 3; ++j) {
    emit(j, g);
    const Shares& s = table[g];
    const int32_t next = c[j + 1] + a2;  // ready before the table load is
    a2 = s.s5;
    n1[j - 2] += q0 + s.s3;
    q0 = q1 + s.s5;
    q1 = q2 + s.s7;
    q2 = q3 + s.s5;
    q3 = s.s3;
    n2[j - 2] += r0 + s.s1;
    r0 = r1 + s.s3;
    r1 = r2 + s.s5;
    r2 = r3 + s.s3;
    r3 = s.s1;
    g = next + s.s7;
  }
  // Columns W - 4 ... W - 1 still hold gathered shares.
  n1[W - 4] += q0;
  n1[W - 3] += q1;
  n1[W - 2] += q2;
  n1[W - 1] += q3;
  n2[W - 4] += r0;
  n2[W - 3] += r1;
  n2[W - 2] += r2;
  n2[W - 1] += r3;
  {  // j = W - 2: column +2 wraps to column 0 of the next three rows.
    const int j = W - 2;
    emit(j, g);
    const Shares& s = table[g];
    a1 = a2 + s.s7;
    n1[0] += s.s5;
    n1[j - 2] += s.s3;
    n1[j - 1] += s.s5;
    n1[j] += s.s7;
    n1[j + 1] += s.s5;
    n2[0] += s.s3;
    n2[j - 2] += s.s1;
    n2[j - 1] += s.s3;
    n2[j] += s.s5;
    n2[j + 1] += s.s3;
    n3[0] += s.s1;
  }
  emit(W - 1, c[W - 1] + a1);  // the last column passes on nothing
  if (W & 7) o[W >> 3] = static_cast<uint8_t>(acc << (8 - (W & 7)));
}

// Dithers and packs in one pass, keeping four rows of grey values: the kernel reaches no
// further than three rows down (the wrap at the last column of its bottom row).
void DitherAndPack(const Picture& img, uint8_t* out) {
  const int W = img.width, H = img.height;
  const size_t bpr = RasterBytesPerRow(W);
  std::vector<int32_t> ring(static_cast<size_t>(W) * 4);
  auto row_of = [&](int r) { return ring.data() + static_cast<size_t>(r & 3) * W; };
  for (int r = 0; r < 4; ++r) LoadGreyRow(img, r, row_of(r));
  const Shares* table = SharesByGrey();
  const int64_t total = static_cast<int64_t>(W) * H;

  for (int i = 0; i < H; ++i) {
    int32_t* c = row_of(i);
    uint8_t* o = out + static_cast<size_t>(i) * bpr;
    if (i == 0 || i == H - 1 || W < 3) {
      ThresholdRow(c, W, o);
    } else if (W >= 5) {
      DitherRow(c, row_of(i + 1), row_of(i + 2), row_of(i + 3), W, o, table);
    } else {
      // Three or four wide: the taps overlap, so spread each error tap by tap.
      for (int j = 0; j < W; ++j) {
        const int32_t g = c[j];
        if (j < 1 || j > W - 2) continue;
        const int32_t e = g > kThreshold ? g - 255 : g;
        const int64_t base = static_cast<int64_t>(i) * W + j;
        for (const Tap& t : kKernel) {
          const int64_t idx = base + static_cast<int64_t>(t.di) * W + t.dj;
          if (idx < total) row_of(static_cast<int>(idx / W))[idx % W] += Share(e, t.weight);
        }
      }
      ThresholdRow(c, W, o);
    }
    LoadGreyRow(img, i + 4, c);  // slot i & 3 now holds row i + 4
  }
}

void ThresholdAndPack(const Picture& img, uint8_t* out) {
  const int W = img.width, H = img.height;
  const size_t bpr = RasterBytesPerRow(W);
  for (int i = 0; i < H; ++i) {
    const uint32_t* px = img.pixels.data() + static_cast<size_t>(i) * W;
    uint8_t* o = out + static_cast<size_t>(i) * bpr;
    for (int j = 0; j < W; ++j) {
      if (!IsWhiteAfterThreshold(px[j])) o[j >> 3] |= static_cast<uint8_t>(0x80 >> (j & 7));
    }
  }
}

}  // namespace

uint32_t OnWhite(uint32_t p) {
  const uint32_t a = p >> 24;
  if (a == 0xFF) return p;
  auto blend = [a](uint32_t c) { return (c * a + 255 * (255 - a) + 127) / 255; };
  return 0xFF000000u | (blend(Red(p)) << 16) | (blend(Green(p)) << 8) | blend(Blue(p));
}

int32_t GreyValue(uint32_t argb) {
  return GreyAny(argb);
}

bool IsWhiteAfterThreshold(uint32_t argb) {
  const uint32_t p = OnWhite(argb);
  const uint32_t r = Red(p), g = Green(p), b = Blue(p);
  // The exact value is s/100; only 128.5 itself is close enough to the rounding boundary
  // for the extended-precision sum to matter.
  const uint32_t s = 30 * r + 59 * g + 11 * b;
  if (s != 12850) return s > 12850;
  const long double v = 0.3L * r + 0.59L * g + 0.11L * b;
  return std::nearbyintl(v) > kThreshold;  // the default rounding mode: half to even
}

void JaJuNi(int32_t* gray, int i, int j, int width, int height, int32_t e) {
  if (j < 1 || j > width - 2 || i < 1 || i > height - 2) return;
  const int64_t total = static_cast<int64_t>(width) * height;
  const int64_t base = static_cast<int64_t>(i) * width + j;
  for (const Tap& t : kKernel) {
    const int64_t idx = base + static_cast<int64_t>(t.di) * width + t.dj;
    if (idx < total) gray[idx] += Share(e, t.weight);
  }
}

Picture& baseHandleImg(Picture& img) {
  const int W = img.width, H = img.height;
  std::vector<int32_t> gray(img.pixels.size());
  for (size_t k = 0; k < gray.size(); ++k) gray[k] = GreyAny(img.pixels[k]);
  for (int i = 0; i < H; ++i) {
    for (int j = 0; j < W; ++j) {
      const size_t k = static_cast<size_t>(i) * W + j;
      const int32_t g = gray[k];
      const bool white = g > kThreshold;
      JaJuNi(gray.data(), i, j, W, H, white ? g - 255 : g);
      img.pixels[k] = white ? 0xFFFFFFFFu : 0xFF000000u;  // opaque, so black stays black
    }
  }
  return img;
}

bool BMP_Conv(const Picture& img, std::vector<uint8_t>& MS, uint16_t& w, uint16_t& h, bool conv,
              std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (img.width <= 0 || img.height <= 0) return fail("The picture is empty.");
  if (img.width > 0xFFFF || img.height > 0xFFFF) {
    return fail("The picture is " + std::to_string(img.width) + " x " + std::to_string(img.height) +
                " pixels; at most 65535 x 65535 can be converted.");
  }
  if (img.pixels.size() != static_cast<size_t>(img.width) * img.height) {
    return fail("The picture's pixel data does not match its size.");
  }
  const size_t start = MS.size();
  MS.resize(start + RasterBytesPerRow(img.width) * img.height, 0);
  // A dithered picture is pure black and white, which the second threshold passes
  // unchanged, so the dithering packs its decisions directly.
  if (conv) {
    DitherAndPack(img, MS.data() + start);
  } else {
    ThresholdAndPack(img, MS.data() + start);
  }
  w = static_cast<uint16_t>(img.width);
  h = static_cast<uint16_t>(img.height);
  return true;
}

}  // namespace quillon
