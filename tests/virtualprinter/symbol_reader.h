// Reads printed symbols back with an independent decoder (ZXing-C++), as a scanner would:
// the symbol's box is cut from the paper with a white quiet zone around it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::vp::testing {

// A paper picture, one byte a dot: 0 black, 255 white.
struct Grey {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> dots;
};

// Reads a PNG written by the virtual printer (1-bit grey, one IDAT chunk, filter 0).
bool ReadPaperPng(const std::string& path, Grey& out, std::string& error);

// Decodes the symbol in the box (x, y, w, h); empty text when nothing could be read.
// format: ZXing's name of what it found ("QRCode", "EAN-13", ...).
std::string ReadSymbol(const Grey& paper, int x, int y, int w, int h,
                       std::string* format = nullptr);

}  // namespace quillon::vp::testing
