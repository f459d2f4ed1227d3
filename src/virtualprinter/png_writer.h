// A minimal PNG encoder for 1-bit black-and-white pictures (zlib does the compression).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::vp {

// rows: height rows of (width + 7) / 8 bytes, most significant bit leftmost, 1 = black.
// False, with an error that names the file and why, when the file cannot be created or a
// write or its close fails (a full disk): only a file written whole is reported as saved.
bool WriteBilevelPng(const std::string& path, int width, int height,
                     const std::vector<uint8_t>& rows, std::string& error);

}  // namespace quillon::vp
