// Interprets the raw output the printer consumes (text and the ESC/POS subset the tool
// sends) and prints it onto the paper, drawing text with the glyphs in the font flash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "virtualprinter/nor_flash.h"
#include "virtualprinter/paper.h"

namespace quillon::vp {

// Where the glyphs lie in the font flash.
inline constexpr uint32_t kGb18030Base = 0x010000;  // 24x24, two-byte codes 81..FE
inline constexpr uint32_t kAscii12x24Base = 0x200000;
inline constexpr uint32_t kAscii9x17Base = 0x201800;
inline constexpr uint32_t kCodePage12x24Base = 0x203000;
inline constexpr uint32_t kCodePageBlock = 6144;

// Flash address of the 24x24 glyph of a GB18030 two-byte code, or -1 when (h, l) is not one.
int64_t Gb18030GlyphAddress(uint8_t h, uint8_t l);

class EscPosRenderer {
 public:
  static constexpr int kLineGap = 6;  // dots between text lines (24 + 6 = the usual 30)

  EscPosRenderer(Paper& paper, const NorFlash& flash) : paper_(paper), flash_(flash) {}

  // Lines the test page (DC2 T) prints; supplied by the printer that owns the renderer.
  std::function<std::vector<std::string>()> test_page_lines;

  // Consumes raw output from the start of in and returns how many bytes it used. 0 means
  // the bytes begin a command that is not complete yet: call again with more.
  size_t Consume(std::span<const uint8_t> in);
  // Prints any text still waiting for its line feed.
  void FlushLine();
  // ESC @: modes back to their defaults and the line buffer emptied.
  void Reset();
  // True while the bytes of a raster band are being taken in.
  bool InRaster() const { return raster_rows_left_ > 0; }
  // Abandons a raster band whose bytes will not come (the host closed the link).
  void AbortRaster() { raster_rows_left_ = 0; }

  // Text modes, visible for tests.
  int align() const { return align_; }
  int width_mul() const { return wmul_; }
  int height_mul() const { return hmul_; }

 private:
  struct Glyph {
    uint32_t addr = 0;  // first byte of the glyph in the flash
    uint8_t xbyte = 2;  // bytes per glyph row
    uint8_t cols = 12;  // dots drawn per row
    uint8_t rows = 24;  // rows drawn
    uint8_t wmul = 1;
    uint8_t hmul = 1;
    bool blank = false;  // a space-like advance (tab) with nothing drawn
    int width() const { return cols * wmul; }
    int height() const { return rows * hmul; }
  };

  size_t ConsumeCommand(std::span<const uint8_t> in);
  size_t ConsumeRaster(std::span<const uint8_t> in);
  void AddGlyph(Glyph g);
  void AddByte(uint8_t b);
  Glyph SingleByteGlyph(uint8_t c) const;
  void DrawGlyph(const Glyph& g, int x, int y);
  // Prints one line of 8-bit text at normal size with the given alignment.
  void PrintTextLine(const std::string& text, int align);
  int AlignedX(int line_width, int align) const;
  void Feed(int rows) { paper_.Feed(rows); }
  void DrawBarcode(const std::vector<uint8_t>& data);
  void DrawQr(const std::vector<uint8_t>& data);
  void DrawCutMark();
  void DrawDrawerMark(uint8_t pin, uint8_t on, uint8_t off);
  void PrintTestPage();
  void FillRect(int x, int y, int w, int h);

  Paper& paper_;
  const NorFlash& flash_;
  int align_ = 0;  // 0 left, 1 centre, 2 right
  int wmul_ = 1;
  int hmul_ = 1;
  int font_ = 0;  // 0 standard 12x24/24x24, 1 compressed (ASCII 9x17)
  int bar_height_ = 162;
  int bar_module_ = 3;
  std::vector<Glyph> line_;
  int line_width_ = 0;
  int lead_byte_ = -1;  // first byte of a two-byte code waiting for its second
  // GS v 0 band being received.
  int raster_bytes_per_row_ = 0;
  int raster_rows_left_ = 0;
  int raster_y_ = 0;
  int raster_wmul_ = 1;
  int raster_hmul_ = 1;
};

}  // namespace quillon::vp
