#include "symbol_reader.h"

#define ZX_USE_UTF8 1  // results as UTF-8 text
#include <ZXing/ReadBarcode.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace quillon::vp::testing {

bool ReadPaperPng(const std::string& path, Grey& out, std::string& error) {
  std::ifstream f(path, std::ios::binary);
  const std::vector<uint8_t> png((std::istreambuf_iterator<char>(f)), {});
  auto be32 = [&](size_t at) {
    return uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 | uint32_t{png[at + 2]} << 8 |
           png[at + 3];
  };
  if (png.size() < 45 || png[1] != 'P' || png[25] != 0 || png[24] != 1) {
    error = path + " is not a paper PNG";
    return false;
  }
  const int w = static_cast<int>(be32(16)), h = static_cast<int>(be32(20));
  std::vector<uint8_t> idat;
  for (size_t at = 8; at + 8 <= png.size();) {
    const uint32_t len = be32(at);
    if (at + 12 + len > png.size()) break;
    if (std::equal(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8,
                   "IDAT"))
      idat.insert(idat.end(), png.begin() + static_cast<long>(at) + 8,
                  png.begin() + static_cast<long>(at + 8 + len));
    at += 12 + len;
  }
  const size_t stride = static_cast<size_t>(w + 7) / 8 + 1;
  std::vector<uint8_t> raw(stride * static_cast<size_t>(h));
  uLongf raw_len = raw.size();
  if (uncompress(raw.data(), &raw_len, idat.data(), idat.size()) != Z_OK || raw_len != raw.size()) {
    error = path + ": picture data damaged";
    return false;
  }
  out.width = w;
  out.height = h;
  out.dots.assign(static_cast<size_t>(w) * h, 255);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool white = (raw[y * stride + 1 + static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1;
      if (!white) out.dots[static_cast<size_t>(y) * w + x] = 0;
    }
  }
  return true;
}

std::string ReadSymbol(const Grey& paper, int x, int y, int w, int h, std::string* format) {
  constexpr int kQuiet = 40;
  const int cw = w + 2 * kQuiet, ch = h + 2 * kQuiet;
  std::vector<uint8_t> crop(static_cast<size_t>(cw) * ch, 255);
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      const int px = x + c, py = y + r;
      if (px < 0 || py < 0 || px >= paper.width || py >= paper.height) continue;
      crop[static_cast<size_t>(r + kQuiet) * cw + c + kQuiet] =
          paper.dots[static_cast<size_t>(py) * paper.width + px];
    }
  }
  ZXing::DecodeHints hints;
  hints.setTryHarder(true);
  hints.setReturnCodabarStartEnd(true);
  for (bool pure : {false, true}) {
    hints.setIsPure(pure);
    const auto result =
        ZXing::ReadBarcode(ZXing::ImageView(crop.data(), cw, ch, ZXing::ImageFormat::Lum), hints);
    if (result.isValid()) {
      if (format) *format = ZXing::ToString(result.format());
      return result.text();
    }
  }
  return {};
}

}  // namespace quillon::vp::testing
