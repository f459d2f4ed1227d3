// Timings of the font editor's heavy steps on an 8 MiB font file: open, 1000 glyph queries,
// the two preview strips, and the atomic save. QUILLON_FONT_FILE names a real font file to
// use; otherwise a synthetic one is written next to the program.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fonteditor/font_file_io.h"
#include "fonteditor/font_image.h"
#include "fonteditor/preview_strip.h"

namespace quillon {
namespace {

constexpr size_t kImageSize = 8 * 1024 * 1024;

std::filesystem::path WorkFolder() {
  static const std::filesystem::path folder = [] {
    auto p = std::filesystem::current_path() / "fonteditor_bench_files";
    std::filesystem::create_directories(p);
    return p;
  }();
  return folder;
}

std::string FontFile() {
  if (const char* given = std::getenv("QUILLON_FONT_FILE")) return given;
  static const std::string path = [] {
    const auto p = WorkFolder() / "synthetic_font.bin";
    std::vector<char> bytes(kImageSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + (i >> 9));
    std::ofstream(p, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(kImageSize));
    return p.string();
  }();
  return path;
}

FontImage LoadedImage() {
  std::vector<uint8_t> bytes;
  if (!ReadFontFile(FontFile(), bytes).ok) std::abort();
  FontImage image;
  image.Assign(std::move(bytes));
  return image;
}

void BM_OpenFontFile(benchmark::State& state) {
  const std::string path = FontFile();
  for (auto _ : state) {
    std::vector<uint8_t> bytes;
    if (!ReadFontFile(path, bytes).ok) state.SkipWithError("cannot read the font file");
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_OpenFontFile)->Unit(benchmark::kMillisecond);

// 1000 queries spread over the four two-byte sections and both single-byte banks.
void BM_Query1000Glyphs(benchmark::State& state) {
  FontImage image = LoadedImage();
  std::vector<GlyphKey> keys;
  for (int i = 0; keys.size() < 1000; ++i) {
    const auto h = static_cast<uint16_t>(0xA1 + i % 0x4F),
               l = static_cast<uint16_t>(0xA1 + i % 0x5E);
    keys.push_back({static_cast<FontSection>(i % 5), static_cast<uint16_t>(h << 8 | l),
                    static_cast<uint8_t>(i % 100), (i & 1) != 0});
  }
  for (auto _ : state) {
    for (const GlyphKey& key : keys) benchmark::DoNotOptimize(image.ReadGlyph(key));
    benchmark::DoNotOptimize(image.hzk.data());
  }
}
BENCHMARK(BM_Query1000Glyphs)->Unit(benchmark::kMicrosecond);

void BM_PreviewStrip(benchmark::State& state) {
  FontImage image = LoadedImage();
  const auto kind = state.range(0) == 0 ? PreviewKind::kAscii : PreviewKind::kCodePage;
  for (auto _ : state) {
    StripRaster strip = RenderPreviewStrip(image, kind, 7, state.range(1) != 0);
    benchmark::DoNotOptimize(strip.dots.data());
  }
}
BENCHMARK(BM_PreviewStrip)
    ->ArgNames({"codepage", "9x17"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMicrosecond);

// Temporary file, write, fsync, rename: what "Save FontFile" does.
void BM_SaveFontFile(benchmark::State& state) {
  const FontImage image = LoadedImage();
  const std::string target = (WorkFolder() / "saved_font.bin").string();
  for (auto _ : state) {
    if (!SaveFileAtomically(target, image.bytes()).ok) state.SkipWithError("cannot save");
  }
}
BENCHMARK(BM_SaveFontFile)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
