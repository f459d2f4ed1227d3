#include "virtualprinter/escpos_renderer.h"

#include <algorithm>

#include "protocol/frame.h"

namespace quillon::vp {
namespace {

constexpr uint8_t LF = 0x0A, CR = 0x0D, HT = 0x09, ESC = 0x1B, GS = 0x1D, DC2 = 0x12, FS = 0x1C;
constexpr int kNormalLine = 24 + EscPosRenderer::kLineGap;
constexpr size_t kMaxNulTerminated = 255;  // GS k forms 0..6 end at NUL, or after this many

}  // namespace

int64_t Gb18030GlyphAddress(uint8_t h, uint8_t l) {
  if (h < 0x81 || h > 0xFE || l < 0x40 || l > 0xFE || l == 0x7F) return -1;
  const int index = (h - 0x81) * 190 + (l <= 0x7E ? l - 0x40 : l - 0x41);
  return kGb18030Base + 72 * static_cast<int64_t>(index);
}

void EscPosRenderer::Reset() {
  align_ = 0;
  wmul_ = hmul_ = 1;
  font_ = 0;
  bar_height_ = 162;
  bar_module_ = 3;
  line_.clear();
  line_width_ = 0;
  lead_byte_ = -1;
}

EscPosRenderer::Glyph EscPosRenderer::SingleByteGlyph(uint8_t c) const {
  Glyph g;
  g.wmul = static_cast<uint8_t>(wmul_);
  g.hmul = static_cast<uint8_t>(hmul_);
  if (c >= 0x80) {
    g.addr = kCodePage12x24Base + 48u * (c - 0x80u);  // code page 0
  } else if (font_ == 1) {
    g.addr = kAscii9x17Base + 48u * c;
    g.cols = 9;
    g.rows = 17;
  } else {
    g.addr = kAscii12x24Base + 48u * c;
  }
  return g;
}

void EscPosRenderer::AddGlyph(Glyph g) {
  if (g.width() > paper_.width()) return;  // cannot fit even on an empty line
  if (line_width_ + g.width() > paper_.width()) FlushLine();
  line_.push_back(g);
  line_width_ += g.width();
}

void EscPosRenderer::AddByte(uint8_t b) {
  if (lead_byte_ >= 0) {
    const uint8_t h = static_cast<uint8_t>(lead_byte_);
    lead_byte_ = -1;
    const int64_t addr = Gb18030GlyphAddress(h, b);
    if (addr >= 0) {
      Glyph g;
      g.addr = static_cast<uint32_t>(addr);
      g.xbyte = 3;
      g.cols = 24;
      g.wmul = static_cast<uint8_t>(wmul_);
      g.hmul = static_cast<uint8_t>(hmul_);
      AddGlyph(g);
      return;
    }
    AddGlyph(SingleByteGlyph(h));  // not a pair: both bytes print on their own
  }
  if (b >= 0x81 && b <= 0xFE) {
    lead_byte_ = b;
    return;
  }
  AddGlyph(SingleByteGlyph(b));
}

int EscPosRenderer::AlignedX(int line_width, int align) const {
  if (align == 1) return std::max(0, (paper_.width() - line_width) / 2);
  if (align == 2) return std::max(0, paper_.width() - line_width);
  return 0;
}

void EscPosRenderer::DrawGlyph(const Glyph& g, int x, int y) {
  if (g.blank) return;
  const auto bits = flash_.Read(g.addr, static_cast<uint32_t>(g.xbyte) * 24u);
  for (int row = 0; row < g.rows; ++row) {
    for (int col = 0; col < g.cols; ++col) {
      const size_t i = static_cast<size_t>(row * g.xbyte + col / 8);
      if (i >= bits.size() || !(bits[i] & (0x80 >> (col % 8)))) continue;
      FillRect(x + col * g.wmul, y + row * g.hmul, g.wmul, g.hmul);
    }
  }
}

void EscPosRenderer::FillRect(int x, int y, int w, int h) {
  for (int dy = 0; dy < h; ++dy) {
    for (int dx = 0; dx < w; ++dx) paper_.SetDot(x + dx, y + dy);
  }
}

void EscPosRenderer::FlushLine() {
  if (lead_byte_ >= 0) {
    const uint8_t h = static_cast<uint8_t>(lead_byte_);
    lead_byte_ = -1;
    AddGlyph(SingleByteGlyph(h));
  }
  if (line_.empty()) return;
  int line_height = 0;
  for (const Glyph& g : line_) line_height = std::max(line_height, g.height());
  const int top = paper_.height();
  int x = AlignedX(line_width_, align_);
  for (const Glyph& g : line_) {
    DrawGlyph(g, x, top + line_height - g.height());  // glyphs stand on a common baseline
    x += g.width();
  }
  Feed(line_height + kLineGap);
  line_.clear();
  line_width_ = 0;
}

void EscPosRenderer::PrintTextLine(const std::string& text, int align) {
  const int saved_align = align_, saved_w = wmul_, saved_h = hmul_, saved_font = font_;
  FlushLine();
  align_ = align;
  wmul_ = hmul_ = 1;
  font_ = 0;
  for (char c : text) AddByte(static_cast<uint8_t>(c));
  if (line_.empty() && lead_byte_ < 0) {
    Feed(kNormalLine);
  } else {
    FlushLine();
  }
  align_ = saved_align;
  wmul_ = saved_w;
  hmul_ = saved_h;
  font_ = saved_font;
}

size_t EscPosRenderer::Consume(std::span<const uint8_t> in) {
  if (in.empty()) return 0;
  if (InRaster()) return ConsumeRaster(in);
  const uint8_t b = in[0];
  switch (b) {
    case LF:
      if (line_.empty() && lead_byte_ < 0) {
        Feed(kNormalLine * hmul_ - kLineGap * (hmul_ - 1));
      } else {
        FlushLine();
      }
      return 1;
    case CR:
      return 1;  // the line ends at its LF
    case HT: {
      Glyph g = SingleByteGlyph(' ');
      g.blank = true;
      AddGlyph(g);
      return 1;
    }
    case ESC:
    case GS:
    case DC2:
    case FS:
      return ConsumeCommand(in);
    default:
      if (b < 0x20 || b == 0x7F) return 1;  // other control bytes do nothing here
      AddByte(b);
      return 1;
  }
}

size_t EscPosRenderer::ConsumeCommand(std::span<const uint8_t> in) {
  if (in.size() < 2) return 0;
  const uint8_t a = in[0], c = in[1];
  auto need = [&](size_t n) { return in.size() >= n; };
  if (a == DC2 && c == 'T') {
    PrintTestPage();
    return 2;
  }
  if (a == ESC) {
    switch (c) {
      case '@':
        Reset();
        return 2;
      case 'a':
        if (!need(3)) return 0;
        FlushLine();
        align_ = (in[2] == 1 || in[2] == '1') ? 1 : (in[2] == 2 || in[2] == '2') ? 2 : 0;
        return 3;
      case 'd':
        if (!need(3)) return 0;
        FlushLine();
        Feed(in[2] * kNormalLine);
        return 3;
      case 'p':
        if (!need(5)) return 0;
        DrawDrawerMark(in[2], in[3], in[4]);
        return 5;
      case 'Z': {
        if (!need(7)) return 0;
        const size_t len = GetLE16(&in[5]);
        if (!need(7 + len)) return 0;
        DrawQr(std::vector<uint8_t>(in.begin() + 7, in.begin() + 7 + static_cast<long>(len)));
        return 7 + len;
      }
      default:
        return 2;  // a command this printer does not know: skipped
    }
  }
  if (a == GS) {
    switch (c) {
      case '!':
        if (!need(3)) return 0;
        wmul_ = ((in[2] >> 4) & 7) + 1;
        hmul_ = (in[2] & 7) + 1;
        return 3;
      case 'f':
        if (!need(3)) return 0;
        font_ = (in[2] == 1 || in[2] == '1') ? 1 : 0;
        return 3;
      case 'h':
        if (!need(3)) return 0;
        bar_height_ = std::max<int>(1, in[2]);
        return 3;
      case 'w':
        if (!need(3)) return 0;
        bar_module_ = std::clamp<int>(in[2], 1, 6);
        return 3;
      case 'S':
        DrawCutMark();
        return 2;
      case 'k': {
        if (!need(3)) return 0;
        const uint8_t system = in[2];
        if (system >= 65) {
          if (!need(4)) return 0;
          const size_t len = in[3];
          if (!need(4 + len)) return 0;
          DrawBarcode(
              std::vector<uint8_t>(in.begin() + 4, in.begin() + 4 + static_cast<long>(len)));
          return 4 + len;
        }
        // Forms 0..6 end at a NUL byte (or after kMaxNulTerminated data bytes).
        const size_t limit = std::min(in.size(), 3 + kMaxNulTerminated);
        const auto stop = in.begin() + static_cast<std::ptrdiff_t>(limit);
        const auto end = std::find(in.begin() + 3, stop, uint8_t{0});
        const bool found = end != stop;
        if (!found && limit < 3 + kMaxNulTerminated) return 0;
        DrawBarcode(std::vector<uint8_t>(in.begin() + 3, end));
        return static_cast<size_t>(end - in.begin()) + (found ? 1 : 0);
      }
      case 'v':
        if (!need(8)) return 0;
        if (in[2] != '0') return 3;
        FlushLine();
        raster_bytes_per_row_ = GetLE16(&in[4]);
        raster_rows_left_ = raster_bytes_per_row_ > 0 ? GetLE16(&in[6]) : 0;
        raster_wmul_ = (in[3] & 1) ? 2 : 1;
        raster_hmul_ = (in[3] & 2) ? 2 : 1;
        raster_y_ = paper_.height();
        return 8;
      default:
        return 2;
    }
  }
  return 2;  // FS and DC2 commands other than the test page
}

size_t EscPosRenderer::ConsumeRaster(std::span<const uint8_t> in) {
  const size_t bpr = static_cast<size_t>(raster_bytes_per_row_);
  const size_t rows = std::min<size_t>(in.size() / bpr, static_cast<size_t>(raster_rows_left_));
  if (rows == 0) return 0;
  for (size_t r = 0; r < rows; ++r) {
    const uint8_t* row = in.data() + r * bpr;
    for (size_t i = 0; i < bpr; ++i) {
      if (!row[i]) continue;
      for (int bit = 0; bit < 8; ++bit) {
        if (!(row[i] & (0x80 >> bit))) continue;
        const int x = static_cast<int>(i * 8) + bit;
        FillRect(x * raster_wmul_, raster_y_, raster_wmul_, raster_hmul_);
      }
    }
    raster_y_ += raster_hmul_;
    Feed(raster_y_ - paper_.height());
  }
  raster_rows_left_ -= static_cast<int>(rows);
  return rows * bpr;
}

void EscPosRenderer::DrawBarcode(const std::vector<uint8_t>& data) {
  FlushLine();
  // A placeholder: start bars, then each data byte as eight modules, then stop bars.
  std::vector<bool> modules = {true, true, false, true, false};
  for (uint8_t d : data) {
    for (int bit = 7; bit >= 0; --bit) modules.push_back((d >> bit) & 1);
  }
  for (bool m : {true, true, false, false, true, true, true}) modules.push_back(m);
  int module = bar_module_;
  while (module > 1 && static_cast<int>(modules.size()) * module > paper_.width()) --module;
  const int width = std::min(paper_.width(), static_cast<int>(modules.size()) * module);
  const int x0 = AlignedX(width, align_);
  const int top = paper_.height();
  for (size_t i = 0; i < modules.size(); ++i) {
    if (modules[i]) FillRect(x0 + static_cast<int>(i) * module, top, module, bar_height_);
  }
  Feed(bar_height_ + 4);
  PrintTextLine(std::string(data.begin(), data.end()), align_);
}

void EscPosRenderer::DrawQr(const std::vector<uint8_t>& data) {
  FlushLine();
  // A placeholder symbol: 21 x 21 modules with the three finder squares and a pattern
  // derived from the data, so different data looks different.
  constexpr int kModules = 21, kDots = 6;
  const int size = kModules * kDots;
  const int x0 = AlignedX(size, align_);
  const int top = paper_.height();
  uint32_t h = 2166136261u;
  for (uint8_t d : data) h = (h ^ d) * 16777619u;
  auto finder = [&](int mx, int my) {
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 7; ++x) {
        const bool ring = x == 0 || y == 0 || x == 6 || y == 6;
        const bool core = x >= 2 && x <= 4 && y >= 2 && y <= 4;
        if (ring || core) FillRect(x0 + (mx + x) * kDots, top + (my + y) * kDots, kDots, kDots);
      }
    }
  };
  finder(0, 0);
  finder(kModules - 7, 0);
  finder(0, kModules - 7);
  for (int y = 0; y < kModules; ++y) {
    for (int x = 0; x < kModules; ++x) {
      const bool in_finder =
          (x < 8 && y < 8) || (x >= kModules - 8 && y < 8) || (x < 8 && y >= kModules - 8);
      if (in_finder) continue;
      h = h * 1103515245u + 12345u;
      if ((h >> 16) & 1) FillRect(x0 + x * kDots, top + y * kDots, kDots, kDots);
    }
  }
  Feed(size + 4);
  PrintTextLine(std::string(data.begin(), data.end()), align_);
}

void EscPosRenderer::DrawCutMark() {
  FlushLine();
  Feed(kLineGap);
  const int top = paper_.height();
  for (int x = 0; x < paper_.width(); x += 12) FillRect(x, top, 8, 2);
  Feed(2 + kLineGap);
  PrintTextLine("- - - cut - - -", 1);
}

void EscPosRenderer::DrawDrawerMark(uint8_t pin, uint8_t on, uint8_t off) {
  FlushLine();
  const std::string text = "drawer pulse pin " + std::to_string((pin & 1) ? 5 : 2) + " " +
                           std::to_string(on * 2) + "/" + std::to_string(off * 2) + " ms";
  const int top = paper_.height();
  const int w = paper_.width();
  FillRect(0, top, w, 2);
  Feed(2 + kLineGap);
  PrintTextLine(text, 1);
  FillRect(0, paper_.height(), w, 2);
  Feed(2 + kLineGap);
}

void EscPosRenderer::PrintTestPage() {
  FlushLine();
  const int w = paper_.width();
  FillRect(0, paper_.height(), w, 4);
  Feed(4 + kLineGap);
  std::vector<std::string> lines = {"*** TEST PAGE ***"};
  if (test_page_lines) {
    for (std::string& l : test_page_lines()) lines.push_back(std::move(l));
  }
  for (const std::string& l : lines) PrintTextLine(l, lines.front() == l ? 1 : 0);
  std::string ascii;
  for (int c = 0x20; c < 0x7F; ++c) {
    ascii.push_back(static_cast<char>(c));
    if (static_cast<int>(ascii.size()) * 12 >= w) {
      PrintTextLine(ascii, 0);
      ascii.clear();
    }
  }
  if (!ascii.empty()) PrintTextLine(ascii, 0);
  // A density ramp: blocks of growing darkness.
  const int top = paper_.height();
  for (int x = 0; x < w; ++x) {
    const int level = x * 8 / w;
    for (int y = 0; y < 24; ++y) {
      if (((x + y) % 8) < level) paper_.SetDot(x, top + y);
    }
  }
  Feed(24 + kLineGap);
  FillRect(0, paper_.height(), w, 4);
  Feed(4 + kLineGap);
}

}  // namespace quillon::vp
