// Windows bitmap headers and the run-length decoder.
#include "output/bmp_file.h"

#include <algorithm>
#include <vector>

#include "output/picture_decode.h"

namespace quillon {
namespace {

uint32_t Le16(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8;
}
uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

constexpr size_t kFileHeader = 14;
constexpr size_t kAlphaMaskAt = kFileHeader + 52;  // in v3, v4 and v5 headers

}  // namespace

bool ReadBmpInfo(const uint8_t* data, size_t size, BmpInfo& info) {
  if (size < kFileHeader + 4 || data[0] != 'B' || data[1] != 'M') return false;
  BmpInfo b;
  b.pixel_offset = Le32(data + 10);
  b.header_size = Le32(data + kFileHeader);
  const uint8_t* h = data + kFileHeader;
  if (b.header_size == 12) {
    if (size < kFileHeader + 12) return false;
    b.width = Le16(h + 4);
    b.height = Le16(h + 6);
    b.bits = static_cast<uint16_t>(Le16(h + 10));
  } else if (b.header_size >= 40) {
    if (size < kFileHeader + 40) return false;
    b.width = static_cast<int32_t>(Le32(h + 4));
    b.height = static_cast<int32_t>(Le32(h + 8));
    b.bits = static_cast<uint16_t>(Le16(h + 14));
    b.compression = Le32(h + 16);
    b.colours_used = Le32(h + 32);
    b.alpha_declared =
        b.header_size >= 56 && size >= kAlphaMaskAt + 4 && Le32(data + kAlphaMaskAt) != 0;
  } else {
    return false;
  }
  info = b;
  return true;
}

bool DecodeRleBmp(const uint8_t* data, size_t size, const BmpInfo& info, Picture& out,
                  std::string& error) {
  const bool rle8 = info.compression == kBmpRle8;
  if (!IsRleBmp(info) || info.bits != (rle8 ? 8 : 4)) {
    error = "the picture is damaged: run-length compression with " + std::to_string(info.bits) +
            " bits a pixel";
    return false;
  }
  const int64_t width = info.width;
  const int64_t height = info.height < 0 ? -info.height : info.height;
  if (width <= 0 || height <= 0) {
    error = "the picture is damaged: it has no pixels";
    return false;
  }
  if (width * height > kMaxPicturePixels) {
    error = "the picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
            " pixels)";
    return false;
  }
  // The colour table follows the info header: as many entries as the header says are used,
  // at most one per index, and no more than the file holds.
  const uint64_t table = kFileHeader + uint64_t{info.header_size};
  uint64_t colours = uint64_t{1} << info.bits;
  if (info.colours_used != 0) colours = std::min<uint64_t>(colours, info.colours_used);
  if (table < size)
    colours = std::min<uint64_t>(colours, (size - table) / 4);
  else
    colours = 0;
  if (colours == 0) {
    error = "the picture is damaged: it has no colour table";
    return false;
  }
  if (info.pixel_offset >= size) {
    error = "the picture is damaged: it has no pixel data";
    return false;
  }
  uint32_t palette[256] = {};
  for (uint64_t i = 0; i < colours; ++i) {
    const uint8_t* e = data + table + i * 4;  // blue, green, red, unused
    palette[i] = uint32_t{e[2]} << 16 | uint32_t{e[1]} << 8 | e[0];
  }
  for (uint32_t& p : palette) p |= 0xFF000000u;  // indexes past the table are black

  Picture p;
  p.width = static_cast<int>(width);
  p.height = static_cast<int>(height);
  p.pixels.assign(static_cast<size_t>(width * height), palette[0]);
  const bool bottom_up = info.height > 0;
  int64_t x = 0, y = 0;  // position in the stream's order: rows from the first stored
  auto put = [&](uint8_t index) {
    if (x < width && y < height) {
      const int64_t row = bottom_up ? height - 1 - y : y;
      p.pixels[static_cast<size_t>(row * width + x)] = palette[index];
    }
    ++x;
  };
  // The index of pixel i of a group stored one by one from byte from; -1 past the file's end.
  auto index_at = [&](size_t from, unsigned i) -> int {
    const size_t at = from + (rle8 ? i : i / 2);
    if (at >= size) return -1;
    if (rle8) return data[at];
    return i % 2 == 0 ? data[at] >> 4 : data[at] & 0x0F;
  };

  size_t pos = info.pixel_offset;
  while (pos + 1 < size && y < height) {
    const uint8_t count = data[pos];
    const uint8_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {  // a run: one index (RLE8) or two alternating ones (RLE4)
      for (unsigned i = 0; i < count && x < width; ++i) {
        put(rle8 ? value : static_cast<uint8_t>(i % 2 == 0 ? value >> 4 : value & 0x0F));
      }
      continue;
    }
    if (value == 0) {  // end of the row
      x = 0;
      ++y;
    } else if (value == 1) {  // end of the picture
      break;
    } else if (value == 2) {  // move right and down
      if (pos + 1 >= size) break;
      x += data[pos];
      y += data[pos + 1];
      pos += 2;
    } else {  // value indexes stored one by one, padded to a 16-bit boundary
      const size_t bytes = rle8 ? value : (value + 1u) / 2;
      for (unsigned i = 0; i < value && x < width; ++i) {
        const int index = index_at(pos, i);
        if (index < 0) break;
        put(static_cast<uint8_t>(index));
      }
      pos += bytes + (bytes & 1);
    }
  }
  out = std::move(p);
  return true;
}

}  // namespace quillon
