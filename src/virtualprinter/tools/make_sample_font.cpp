// Builds the sample font library (an 8 MiB font flash image) from a Unifont .hex file,
// run by the build: 16-dot Unifont glyphs are scaled by 3/2 into the 24-dot glyph cells.
// Usage: make_sample_font UNIFONT.hex OUTPUT.bin

#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "virtualprinter/escpos/code_pages.h"

namespace {

constexpr size_t kImageSize = 8u * 1024u * 1024u;
constexpr uint32_t kGb18030 = 0x010000, kAscii12 = 0x200000, kAscii9 = 0x201800, kPage12 = 0x203000,
                   kPage9 = 0x299000, kBig5 = 0x32F000, kEucKr = 0x4249E8, kShiftJis = 0x4BFF08;

// A Unifont glyph: 16 rows of 8 or 16 dots, most significant bit leftmost.
struct Glyph {
  int width = 8;
  std::array<uint16_t, 16> rows{};  // 8-dot glyphs use the high byte
  bool Dot(int x, int y) const { return (rows[y] >> (15 - x)) & 1; }
};

std::vector<std::optional<Glyph>> ReadUnifont(const char* path) {
  std::vector<std::optional<Glyph>> font(0x10000);
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const unsigned long cp = std::stoul(line.substr(0, colon), nullptr, 16);
    const std::string hex = line.substr(colon + 1);
    if (cp >= font.size() || (hex.size() != 32 && hex.size() != 64)) continue;
    Glyph g;
    g.width = hex.size() == 32 ? 8 : 16;
    const int digits = g.width / 4;
    for (int y = 0; y < 16; ++y) {
      const unsigned long v = std::stoul(
          hex.substr(static_cast<size_t>(y * digits), static_cast<size_t>(digits)), nullptr, 16);
      g.rows[static_cast<size_t>(y)] = static_cast<uint16_t>(g.width == 8 ? v << 8 : v);
    }
    font[cp] = g;
  }
  return font;
}

void SetBit(std::vector<uint8_t>& img, uint32_t addr, int xbyte, int x, int y) {
  img[addr + static_cast<uint32_t>(y * xbyte + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

// Scales the glyph by 3/2 into a cell of cols x 24 dots with xbyte bytes a row.
void PutScaled(std::vector<uint8_t>& img, uint32_t addr, int xbyte, int cols, const Glyph& g) {
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < cols; ++x) {
      const int sx = x * 2 / 3, sy = y * 2 / 3;
      if (sx < g.width && g.Dot(sx, sy)) SetBit(img, addr, xbyte, x, y);
    }
  }
}

// Copies the glyph unscaled into a 9x17 cell (two bytes a row).
void Put9x17(std::vector<uint8_t>& img, uint32_t addr, const Glyph& g) {
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 8; ++x) {
      if (g.Dot(x, y)) SetBit(img, addr, 2, x, y);
    }
  }
}

// Converts one character of a legacy code to a Unicode code point (0 when unmapped).
class Decoder {
 public:
  explicit Decoder(const char* charset) : cd_(iconv_open("UTF-32LE", charset)) {}
  ~Decoder() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  uint32_t operator()(const char* bytes, size_t len) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char in[4];
    for (size_t i = 0; i < len; ++i) in[i] = bytes[i];
    char out[16];
    char* ip = in;
    char* op = out;
    size_t il = len, ol = sizeof out;
    if (iconv(cd_, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0 ||
        sizeof out - ol != 4) {
      return 0;
    }
    return static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(out[2])) << 16;
  }

 private:
  iconv_t cd_;
};

using Font = std::vector<std::optional<Glyph>>;

// Fills a two-byte section: index(h, l) gives the glyph index or -1 for codes outside it.
template <typename Index>
int FillTwoByte(std::vector<uint8_t>& img, const Font& font, const char* charset, uint32_t base,
                Index index) {
  Decoder decode(charset);
  if (!decode.ok()) {
    std::fprintf(stderr, "make_sample_font: no converter for %s, section left blank\n", charset);
    return 0;
  }
  int placed = 0;
  for (int h = 0x81; h <= 0xFE; ++h) {
    for (int l = 0x40; l <= 0xFE; ++l) {
      const int i = index(h, l);
      if (i < 0) continue;
      const char code[2] = {static_cast<char>(h), static_cast<char>(l)};
      const uint32_t cp = decode(code, 2);
      if (cp == 0 || cp >= font.size() || !font[cp]) continue;
      PutScaled(img, base + 72u * static_cast<uint32_t>(i), 3, 24, *font[cp]);
      ++placed;
    }
  }
  return placed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s UNIFONT.hex OUTPUT.bin\n", argv[0]);
    return 2;
  }
  const Font font = ReadUnifont(argv[1]);
  if (!font['A']) {
    std::fprintf(stderr, "make_sample_font: %s holds no usable glyphs\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> img(kImageSize, 0);

  for (int c = 0x20; c < 0x7F; ++c) {
    if (!font[static_cast<size_t>(c)]) continue;
    PutScaled(img, kAscii12 + 48u * static_cast<uint32_t>(c), 2, 12, *font[static_cast<size_t>(c)]);
    Put9x17(img, kAscii9 + 48u * static_cast<uint32_t>(c), *font[static_cast<size_t>(c)]);
  }
  // The code pages, each in the slot of its ESC t number, from the printer's own tables.
  for (size_t t = 0; t < quillon::vp::escpos::kCodePageTableCount; ++t) {
    const auto& table = quillon::vp::escpos::kCodePageTables[t];
    if (table.number >= 100) continue;
    const uint32_t slot = 6144u * table.number;
    for (int c = 0x80; c <= 0xFF; ++c) {
      const uint32_t cp = table.upper[c - 0x80];
      if (cp == 0 || cp >= font.size() || !font[cp]) continue;
      PutScaled(img, kPage12 + slot + 48u * static_cast<uint32_t>(c - 0x80), 2, 12, *font[cp]);
      Put9x17(img, kPage9 + slot + 48u * static_cast<uint32_t>(c - 0x80), *font[cp]);
    }
  }

  const int gb = FillTwoByte(img, font, "GB18030", kGb18030, [](int h, int l) {
    if (l == 0x7F || l == 0xFF) return -1;
    return (h - 0x81) * 190 + (l <= 0x7E ? l - 0x40 : l - 0x41);
  });
  const int big5 = FillTwoByte(img, font, "BIG5", kBig5, [](int h, int l) {
    if (h < 0xA1 || h > 0xF9 || (l > 0x7E && l < 0xA1) || l == 0xFF) return -1;
    return (h - 0xA1) * 157 + (l <= 0x7E ? l - 0x40 : l - 0x62);
  });
  const int kr = FillTwoByte(img, font, "EUC-KR", kEucKr, [](int h, int l) {
    if (h < 0xA1 || l < 0xA1 || l > 0xFE) return -1;
    return (h - 0xA1) * 94 + (l - 0xA1);
  });
  const int sjis = FillTwoByte(img, font, "SHIFT_JIS", kShiftJis, [](int h, int l) {
    if ((h > 0x9F && h < 0xE0) || h > 0xEF || l == 0x7F || l > 0xFC) return -1;
    return ((h <= 0x9F ? h - 0x81 : h - 0xC1) * 188) + (l <= 0x7E ? l - 0x40 : l - 0x41);
  });

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(img.size()));
  if (!out) {
    std::fprintf(stderr, "make_sample_font: cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("sample font: %d GB18030, %d BIG5, %d EUC-KR, %d Shift_JIS glyphs\n", gb, big5, kr,
              sjis);
  return 0;
}
