// Picture files (Windows bitmaps, PNG, JPEG, GIF) decoded into the pixels the raster
// conversion takes. The window and quillon-cli both load pictures here, so both send the
// same bytes for the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "output/bitmap_conv.h"

namespace quillon {

// Largest picture we decode: 64 million pixels (256 MB of pixels). Far beyond any printer's
// width times any sensible length, and small enough to allocate on an ordinary PC.
inline constexpr int64_t kMaxPicturePixels = int64_t{1} << 26;
// Largest picture file we read into memory.
inline constexpr uint64_t kMaxPictureFileBytes = uint64_t{256} << 20;

// Decodes a file image held in memory into 0xAARRGGBB pixels (transparency kept: the
// conversion counts it as white; a GIF gives its first frame). False, with the reason in
// error, when the bytes are not a picture of a supported format or it is too large.
bool DecodePicture(const uint8_t* data, size_t size, Picture& out, std::string& error);

// Reads and decodes the file at the UTF-8 path. False, with a message for the user in
// error that names the file, when it cannot be read as a picture.
bool LoadPictureFile(const std::string& path, Picture& out, std::string& error);

}  // namespace quillon
