// Pictures to packed 1-bit rasters: grey values, error-diffusion dithering with the
// 12-neighbour kernel (divisor 48), the plain threshold, and bit packing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// A decoded picture: width x height pixels 0xAARRGGBB (blue in the low byte), rows from
// the top. Transparent pixels count as white (partly transparent ones are blended onto
// white).
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// Grey value of a pixel: 0.299 R + 0.587 G + 0.114 B in extended precision, truncated.
int32_t GreyValue(uint32_t argb);
// The second threshold: 0.3 R + 0.59 G + 0.11 B in extended precision, rounded half to
// even; white when above 128.
bool IsWhiteAfterThreshold(uint32_t argb);
// The pixel with its transparency blended onto white; opaque pixels are unchanged.
uint32_t OnWhite(uint32_t argb);

// Spreads the error e of pixel (i, j) over its twelve neighbours in the grey array of a
// width x height picture. Neighbours are addressed on the linear index i*width + j, so at
// the edge columns the kernel wraps into the neighbouring rows; those at index
// width*height or beyond are dropped. The outer rows and columns pass on nothing.
void JaJuNi(int32_t* gray, int i, int j, int width, int height, int32_t e);
// Dithers the picture in place to pure black (RGB 0) and white (all channels 255).
Picture& baseHandleImg(Picture& img);

// Bytes of one packed raster row.
inline size_t RasterBytesPerRow(int width) {
  return (static_cast<size_t>(width) + 7) / 8;
}

// The picture as a packed raster appended to MS: rows from the top, ceil(W/8) bytes a
// row, leftmost pixel in the most significant bit, 1 = black, pad bits 0. With conv the
// picture is dithered first, otherwise only the second threshold applies. w and h receive
// the size. False, with error set, for a picture whose size the raster cannot describe.
bool BMP_Conv(const Picture& img, std::vector<uint8_t>& MS, uint16_t& w, uint16_t& h, bool conv,
              std::string* error = nullptr);

}  // namespace quillon
