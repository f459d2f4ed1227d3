// Dithering and packing a long receipt picture (576 x 8000, RGB), decode excluded.
// Reports megapixels per second; compare with pillow_dither.py on the same picture.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "output/bitmap_conv.h"

namespace {

// The same deterministic picture pillow_dither.py builds: a smooth gradient with texture.
quillon::Picture ReceiptPicture() {
  constexpr int kW = 576, kH = 8000;
  quillon::Picture p{kW, kH, std::vector<uint32_t>(static_cast<size_t>(kW) * kH)};
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const uint32_t r = (x * 255 / (kW - 1)) & 0xFF;
      const uint32_t g = ((y % 512) / 2) & 0xFF;
      const uint32_t b = ((x ^ y) & 0xFF);
      p.pixels[static_cast<size_t>(y) * kW + x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  return p;
}

void BM_DitherAndPack(benchmark::State& state) {
  const quillon::Picture p = ReceiptPicture();
  std::vector<uint8_t> ms;
  for (auto _ : state) {
    ms.clear();
    uint16_t w = 0, h = 0;
    quillon::BMP_Conv(p, ms, w, h, state.range(0) != 0);
    benchmark::DoNotOptimize(ms.data());
  }
  const double pixels = static_cast<double>(p.width) * p.height;
  state.counters["MP/s"] =
      benchmark::Counter(pixels * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DitherAndPack)->Arg(1)->ArgName("dither")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DitherAndPack)->Arg(0)->ArgName("dither")->Unit(benchmark::kMillisecond);

// The straightforward in-place dithering on a full grey array, for comparison.
void BM_BaseHandleImg(benchmark::State& state) {
  const quillon::Picture p = ReceiptPicture();
  for (auto _ : state) {
    quillon::Picture copy = p;
    quillon::baseHandleImg(copy);
    benchmark::DoNotOptimize(copy.pixels.data());
  }
  state.counters["MP/s"] =
      benchmark::Counter(static_cast<double>(p.width) * p.height * state.iterations() / 1e6,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BaseHandleImg)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
