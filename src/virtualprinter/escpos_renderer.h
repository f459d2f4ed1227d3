// Interprets the raw output the printer consumes (text and ESC/POS) and prints it onto the
// paper. The pieces live in escpos/: the command table that splits the bytes into commands
// (command_parser), the line layout (text_layout), the character tables (code_pages), bar
// codes and 2D symbols (symbols), pictures and stored graphics (graphics) and what is
// reported (report). This class keeps the printer's modes and puts them together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "virtualprinter/escpos/bitmap.h"
#include "virtualprinter/escpos/command_parser.h"
#include "virtualprinter/escpos/graphics.h"
#include "virtualprinter/escpos/report.h"
#include "virtualprinter/escpos/symbols.h"
#include "virtualprinter/escpos/text_layout.h"
#include "virtualprinter/escpos/text_modes.h"
#include "virtualprinter/paper.h"
#include "virtualprinter/printer_state.h"

namespace quillon::vp {

// Where the glyphs lie in the font flash.
inline constexpr uint32_t kGb18030Base = 0x010000;  // 24x24, two-byte codes 81..FE
inline constexpr uint32_t kAscii12x24Base = 0x200000;
inline constexpr uint32_t kAscii9x17Base = 0x201800;
inline constexpr uint32_t kCodePage12x24Base = 0x203000;
inline constexpr uint32_t kCodePage9x17Base = 0x299000;
inline constexpr uint32_t kCodePageBlock = 6144;
inline constexpr int kCodePageSlots = 100;

// Flash address of the 24x24 glyph of a GB18030 two-byte code, or -1 when (h, l) is not one.
int64_t Gb18030GlyphAddress(uint8_t h, uint8_t l);

class EscPosRenderer {
 public:
  static constexpr int kLineGap = 6;  // dots between text lines (24 + 6 = the usual 30)

  EscPosRenderer(Paper& paper, PrinterState& state);

  // Lines the test page (DC2 T) prints; supplied by the printer that owns the renderer.
  std::function<std::vector<std::string>()> test_page_lines;
  // Bytes the printer sends back (status, printer ID, graphics answers).
  std::function<void(std::vector<uint8_t>)> reply;

  // Consumes raw output from the start of in and returns how many bytes it used. 0 means
  // the bytes begin a command that is not complete yet: call again with more. offset: where
  // in the host's stream in begins (for the report).
  size_t Consume(std::span<const uint8_t> in, uint64_t offset = 0);
  // Prints any text still waiting for its line feed.
  void FlushLine();
  // ESC @: modes back to their defaults (the encoding from the charset setting), buffers
  // emptied; stored graphics stay.
  void Reset();
  // True while raster rows, or data too large to hold, are being taken in.
  bool InRaster() const { return raster_rows_left_ > 0 || skip_left_ > 0; }
  // Abandons data whose bytes will not come (the host closed the link).
  void AbortRaster() {
    raster_rows_left_ = 0;
    skip_left_ = 0;
  }
  // Sends the automatic status (GS a) if paper or cover changed since it was last sent.
  void StatusChanged();

  const escpos::TextModes& modes() const { return modes_; }
  bool page_mode() const { return page_mode_; }
  const escpos::Report& report() const { return report_; }
  void ClearReport() { report_.Clear(); }

  // Text modes, visible for tests.
  int align() const { return modes_.align; }
  int width_mul() const { return modes_.width_mul; }
  int height_mul() const { return modes_.height_mul; }

 private:
  struct TwoD {  // settings and stored data of one GS ( k symbol type
    escpos::SymbolRequest request;
    bool stored = false;
  };

  void Execute(escpos::Op op, std::span<const uint8_t> cmd, std::span<const uint8_t> args,
               uint64_t offset);
  void Control(uint8_t b);
  void TextBytes(std::span<const uint8_t> bytes);
  void Utf16Unit(uint16_t u);
  void AddChar(const escpos::GlyphSource& g, escpos::CellStyle style, char32_t cp);
  void AddSingleByte(uint8_t c);
  void AddUnicode(char32_t cp);
  void AddGb(uint8_t h, uint8_t l);
  void FlushPending();
  escpos::GlyphSource AsciiGlyph(uint8_t c) const;
  escpos::GlyphSource PageGlyph(int page, uint8_t c) const;
  escpos::CellStyle Style(bool two_byte) const;
  escpos::LineGeometry Geometry() const;
  int FontHeight() const { return modes_.font == 1 ? 17 : 24; }
  int FontWidth() const { return modes_.font == 1 ? 9 : 12; }
  escpos::TextEncoding StartupEncoding() const;

  // Prints the line; feed < 0 advances by the line spacing, else by max(feed, line height).
  void PrintLine(int feed);
  int AreaWidth() const;
  int SurfaceWidth() const;
  int CursorY() const;
  void PutStrip(const escpos::Bitmap& strip, int y);
  void Advance(int rows);
  // Prints a picture across the print area at the current position (aligned).
  void PrintPicture(const escpos::Bitmap& pic);
  void PrintSymbol(escpos::SymbolRequest request, uint64_t offset);
  void PrintTwoD(uint8_t cn, uint64_t offset);
  void SymbolFunction(std::span<const uint8_t> body, uint64_t offset);
  void GraphicsFunction(std::span<const uint8_t> body, const std::string& name);
  void Tab();
  // A line the printer makes up itself (notes, the test page): drawn, not reported as text.
  void PrintPlainLine(const std::string& text, int align, int font = 0);
  void Note(const std::string& text, bool rule);
  void DrawCutMark(bool partial);
  void PrintTestPage();
  void EnterPageMode();
  void CommitPageArea();
  void PrintPage(bool leave);
  void Send(std::vector<uint8_t> bytes);
  std::vector<uint8_t> AutoStatus() const;
  std::vector<uint8_t> PrinterId(uint8_t n) const;

  size_t ConsumeRaster(std::span<const uint8_t> in);

  Paper& paper_;
  PrinterState& state_;
  escpos::LineComposer composer_;
  escpos::TextModes modes_;
  std::vector<int> tabs_;  // tab stops in character columns
  escpos::Report report_;
  escpos::GraphicsFunctions graphics_;
  escpos::Bitmap downloaded_;                    // GS * image
  std::map<int, escpos::Bitmap> user_chars_[2];  // ESC & characters of font A and B

  // Bar codes.
  int bar_height_ = 162;
  int bar_module_ = 3;
  int hri_position_ = 0;  // 0 none, 1 above, 2 below, 3 both
  int hri_font_ = 0;
  std::map<uint8_t, TwoD> two_d_;  // by GS ( k cn

  // Multi-byte text waiting for its next byte.
  int gb_lead_ = -1;
  std::vector<uint8_t> utf8_;

  // Page mode.
  bool page_mode_ = false;
  int page_dir_ = 0;  // ESC T
  int area_x_ = 0, area_y_ = 0, area_w_ = 0, area_h_ = 0;
  escpos::Bitmap page_;  // the whole page, as it will print
  escpos::Bitmap area_;  // the current area, in its print direction
  int page_y_ = 0;       // next line's top within the area
  bool area_used_ = false;

  // GS v 0 rows being received, and data being skipped.
  int raster_bytes_per_row_ = 0;
  int raster_rows_left_ = 0;
  int raster_wmul_ = 1;
  int raster_hmul_ = 1;
  int raster_x_ = 0;
  size_t skip_left_ = 0;

  // Automatic status back.
  uint8_t asb_mask_ = 0;
  std::vector<uint8_t> asb_last_;

  // Glyphs found for Unicode text, and Unicode of GB codes, looked up once.
  mutable std::unordered_map<char32_t, int64_t> gb_of_unicode_;
  mutable std::unordered_map<uint16_t, char32_t> unicode_of_gb_;
};

}  // namespace quillon::vp
