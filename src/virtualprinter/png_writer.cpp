#include "virtualprinter/png_writer.h"

#include "core/utf8_path.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "protocol/frame.h"

namespace quillon::vp {
namespace {

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  PutBE32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  PutBE32(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool WriteBilevelPng(const std::string& path, int width, int height,
                     const std::vector<uint8_t>& rows, std::string& error) {
  const size_t stride = static_cast<size_t>(width + 7) / 8;
  if (width <= 0 || height <= 0 || rows.size() < stride * static_cast<size_t>(height)) {
    error = "nothing to write";
    return false;
  }
  // PNG grey level 1 is white, so the dots are inverted; each row starts with filter 0.
  std::vector<uint8_t> raw;
  raw.reserve((stride + 1) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const uint8_t* row = rows.data() + stride * static_cast<size_t>(y);
    for (size_t i = 0; i < stride; ++i) raw.push_back(static_cast<uint8_t>(~row[i]));
  }
  uLongf packed_len = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_len);
  if (compress2(packed.data(), &packed_len, raw.data(), static_cast<uLong>(raw.size()), 6) !=
      Z_OK) {
    error = "compression failed";
    return false;
  }
  packed.resize(packed_len);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutBE32(ihdr, static_cast<uint32_t>(width));
  PutBE32(ihdr, static_cast<uint32_t>(height));
  ihdr.insert(ihdr.end(), {1, 0, 0, 0, 0});  // bit depth 1, greyscale, deflate, no interlace
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", {});

  // Every step is checked, the close too: a small file sits in the stream's buffer until the
  // close, so a full disk shows only there.
  auto failed = [&](const char* step) {
    const int err = errno;
    error = "cannot " + std::string(step) + " " + path +
            (err ? ": " + std::string(std::strerror(err)) : "");
    return false;
  };
  errno = 0;
  std::ofstream f(Utf8Path(path), std::ios::binary | std::ios::trunc);
  if (!f) return failed("create");
  f.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  if (!f) return failed("write");
  f.flush();
  if (!f) return failed("write");
  f.close();
  if (f.fail()) return failed("write");
  return true;
}

}  // namespace quillon::vp
