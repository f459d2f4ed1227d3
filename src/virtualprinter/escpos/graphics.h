// Pictures the host sends or stores: column images (ESC *, GS *, FS q), raster images,
// the graphics functions of GS ( L / GS 8 L with their key-coded NV and download stores,
// and the packing of the NV stores into the printer's saved state.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "virtualprinter/escpos/bitmap.h"

namespace quillon::vp::escpos {

// Column format: `columns` columns of `bytes_per_column` bytes, the top dot in the most
// significant bit of each column's first byte; each dot drawn xmul x ymul.
Bitmap ColumnImage(std::span<const uint8_t> data, int columns, int bytes_per_column, int xmul = 1,
                   int ymul = 1);
// Raster format: `height` rows of (width + 7) / 8 bytes.
Bitmap RasterImage(std::span<const uint8_t> data, int width, int height);
// Each dot drawn xmul x ymul.
Bitmap Scaled(const Bitmap& src, int xmul, int ymul);

// What the non-volatile memory holds: key-coded graphics (GS ( L) and the numbered bit
// images of FS q. Kept in the printer state as one byte string.
struct NvStore {
  std::map<uint16_t, Bitmap> graphics;  // key code (kc1 + 256 * kc2) -> picture
  std::vector<Bitmap> bit_images;       // FS q images, number 1 first
  size_t bytes() const;
};
inline constexpr size_t kNvCapacity = 256 * 1024;
inline constexpr size_t kDownloadCapacity = 256 * 1024;
NvStore UnpackNv(std::span<const uint8_t> packed);  // a damaged string yields what is whole
std::vector<uint8_t> PackNv(const NvStore& store);

// What one GS ( L / GS 8 L function asks of the printer.
struct GraphicsResult {
  std::vector<uint8_t> reply;  // bytes to send back
  Bitmap print;                // a picture to print now (at the current position)
  bool print_now = false;
  std::string error;  // the function was refused (bad sizes, memory full)
};

// The graphics functions, given the body after the length field (m fn ...). nv: the packed
// NV store, changed in place when the function defines or deletes NV graphics.
class GraphicsFunctions {
 public:
  GraphicsResult Run(std::span<const uint8_t> body, std::vector<uint8_t>& nv);
  // FS q: replaces every NV bit image. args: the bytes after "FS q".
  std::string DefineBitImages(std::span<const uint8_t> args, std::vector<uint8_t>& nv);
  // ESC @ keeps stored graphics but forgets a picture waiting in the print buffer.
  void ClearBuffer() { buffer_ = Bitmap(); }

 private:
  std::map<uint16_t, Bitmap> download_;
  Bitmap buffer_;  // graphics stored in the print buffer (function 112/113)
};

}  // namespace quillon::vp::escpos
