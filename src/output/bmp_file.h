// What the picture decoder must know of a Windows bitmap before stb_image sees it: whether
// the header declares an alpha mask (a plain 32-bit bitmap is opaque, whatever its fourth
// byte holds), and the run-length compressed 4- and 8-bit bitmaps, which stb_image does not
// read and which are decoded here. Every read is checked against the file's end: the bytes
// may come from any file the user picks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "output/bitmap_conv.h"

namespace quillon {

// The fields of a bitmap's file and info headers that decide how it is decoded.
struct BmpInfo {
  uint32_t pixel_offset = 0;  // where the pixel data starts in the file
  uint32_t header_size = 0;   // 12 (core), 40 (info), 52/56 (v2/v3), 108 (v4), 124 (v5)
  int64_t width = 0;
  int64_t height = 0;  // negative: rows stored from the top
  uint16_t bits = 0;
  uint32_t compression = 0;  // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  uint32_t colours_used = 0;
  bool alpha_declared = false;  // the header has an alpha mask and it is not 0
};

inline constexpr uint32_t kBmpRle8 = 1;
inline constexpr uint32_t kBmpRle4 = 2;

// True when data starts with a bitmap's file header and an info header that fits in it.
bool ReadBmpInfo(const uint8_t* data, size_t size, BmpInfo& info);

// A bitmap compressed with RLE8 or RLE4.
inline bool IsRleBmp(const BmpInfo& info) {
  return info.header_size >= 40 && (info.compression == kBmpRle8 || info.compression == kBmpRle4);
}

// Decodes a run-length compressed bitmap into opaque 0xAARRGGBB pixels, top row first.
// Pixels that the data skips (delta moves, rows ended early, data that ends early) take
// colour 0 of the palette, as in a bitmap whose index bytes start at 0; runs past the row's
// end are cut off there. False, with the reason in error and out unchanged, when the
// headers do not describe a decodable picture.
bool DecodeRleBmp(const uint8_t* data, size_t size, const BmpInfo& info, Picture& out,
                  std::string& error);

}  // namespace quillon
