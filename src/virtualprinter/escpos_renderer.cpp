#include "virtualprinter/escpos_renderer.h"

#include <algorithm>

#include "core/ansi_codepage.h"
#include "virtualprinter/escpos/code_pages.h"

namespace quillon::vp {
namespace {

using escpos::Bitmap;
using escpos::CellStyle;
using escpos::GlyphSource;
using escpos::Op;
using escpos::SymbolKind;
using escpos::TextEncoding;
using escpos::Token;

constexpr uint8_t HT = 0x09, LF = 0x0A, VT = 0x0B, FF = 0x0C, CR = 0x0D, CAN = 0x18;
constexpr uint8_t ESC = 0x1B, GS = 0x1D, FS = 0x1C, DLE = 0x10, DC2 = 0x12;
constexpr int kDefaultLine = 24 + EscPosRenderer::kLineGap;
constexpr int kDefaultPageHeight = 1662;
constexpr int kMaxPageHeight = 4000;
constexpr int kAnsiGb = 936;  // the code page whose two-byte codes the GB18030 glyphs cover
constexpr uint8_t kModelId = 0x20, kTypeId = 0x03, kVersionId = 0x10;

size_t Le16(std::span<const uint8_t> b, size_t at) {
  return b[at] + 256u * b[at + 1];
}

// 0/48, 1/49, 2/50: the ESC/POS habit of taking a digit either as a number or as ASCII.
int Digit(uint8_t v) {
  return v >= '0' && v <= '9' ? v - '0' : v;
}

std::string Hex(std::span<const uint8_t> b) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string s;
  for (uint8_t c : b) {
    if (!s.empty()) s += ' ';
    s += kHex[c >> 4];
    s += kHex[c & 15];
  }
  return s;
}

char32_t FirstCodePoint(const std::string& utf8) {
  if (utf8.empty()) return 0;
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  if (s[0] < 0x80) return s[0] == '?' ? 0 : s[0];
  if (s[0] < 0xE0 && utf8.size() >= 2) return (s[0] & 0x1Fu) << 6 | (s[1] & 0x3Fu);
  if (s[0] < 0xF0 && utf8.size() >= 3)
    return (s[0] & 0x0Fu) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3Fu);
  if (utf8.size() >= 4)
    return (s[0] & 0x07u) << 18 | (s[1] & 0x3Fu) << 12 | (s[2] & 0x3Fu) << 6 | (s[3] & 0x3Fu);
  return 0;
}

}  // namespace

int64_t Gb18030GlyphAddress(uint8_t h, uint8_t l) {
  if (h < 0x81 || h > 0xFE || l < 0x40 || l > 0xFE || l == 0x7F) return -1;
  const int index = (h - 0x81) * 190 + (l <= 0x7E ? l - 0x40 : l - 0x41);
  return kGb18030Base + 72 * static_cast<int64_t>(index);
}

EscPosRenderer::EscPosRenderer(Paper& paper, PrinterState& state)
    : paper_(paper), state_(state), composer_(state.flash) {
  Reset();
}

escpos::TextEncoding EscPosRenderer::StartupEncoding() const {
  switch (state_.settings.charset) {
    case 1:
      return TextEncoding::kUtf8;
    case 2:
      return TextEncoding::kUtf16;
    default:
      return TextEncoding::kGb18030;
  }
}

void EscPosRenderer::Reset() {
  composer_.Clear();
  modes_ = escpos::TextModes();
  modes_.encoding = StartupEncoding();
  tabs_.clear();
  for (int c = 8; c < 256; c += 8) tabs_.push_back(c);
  bar_height_ = 162;
  bar_module_ = 3;
  hri_position_ = 0;
  hri_font_ = 0;
  two_d_.clear();
  gb_lead_ = -1;
  utf8_.clear();
  user_chars_[0].clear();
  user_chars_[1].clear();
  downloaded_ = Bitmap();
  graphics_.ClearBuffer();
  page_mode_ = false;
  page_dir_ = 0;
  area_x_ = area_y_ = 0;
  area_w_ = 0;  // the paper's width
  area_h_ = kDefaultPageHeight;
}

// ------------------------------------------------------------------------ the stream ---

size_t EscPosRenderer::Consume(std::span<const uint8_t> in, uint64_t offset) {
  if (in.empty()) return 0;
  if (skip_left_ > 0) {
    const size_t n = std::min(in.size(), skip_left_);
    skip_left_ -= n;
    return n;
  }
  if (raster_rows_left_ > 0) return ConsumeRaster(in);
  const uint8_t b = in[0];
  if (modes_.encoding == TextEncoding::kUtf16 && b != ESC && b != GS && b != FS && b != DLE &&
      b != DC2) {
    // UTF-16 text comes in whole code units; a command still starts at a unit boundary.
    if (in.size() < 2) return 0;
    Utf16Unit(static_cast<uint16_t>(in[0] | in[1] << 8));
    return 2;
  }
  const Token t = escpos::ParseToken(in);
  switch (t.kind) {
    case Token::Kind::kNeedMore:
      return 0;
    case Token::Kind::kText:
      TextBytes(in.first(t.length));
      return t.length;
    case Token::Kind::kControl:
      Control(b);
      return t.length;
    case Token::Kind::kUnknown: {
      ++report_.unknown_count;
      if (report_.unknown.size() < escpos::Report::kMaxListed) {
        report_.unknown.push_back({offset, Hex(in.first(t.length))});
      } else {
        ++report_.dropped;
      }
      return t.length;
    }
    case Token::Kind::kCommand:
      break;
  }
  const std::string name = escpos::TokenName(in, t);
  ++report_.commands[name];
  if (t.streamed > 0 && t.op != Op::kGsv0) {
    // Too large to hold: skipped and said so.
    skip_left_ = t.streamed;
    Note(name + " with " + std::to_string(t.streamed) + " data bytes is too large; skipped", false);
    return t.length;
  }
  FlushPending();
  Execute(t.op, in.first(t.length), in.subspan(t.args_at, t.length - t.args_at), offset);
  return t.length;
}

void EscPosRenderer::Control(uint8_t b) {
  FlushPending();
  switch (b) {
    case LF:
      ++report_.commands["LF"];
      PrintLine(-1);
      break;
    case VT:  // without vertical tab stops a vertical tab feeds one line
      ++report_.commands["VT"];
      PrintLine(-1);
      break;
    case CR:
      break;  // the line ends at its LF
    case HT:
      ++report_.commands["HT"];
      Tab();
      break;
    case FF:
      ++report_.commands["FF"];
      if (page_mode_) {
        PrintPage(true);
      } else {
        PrintLine(-1);
      }
      break;
    case CAN:
      ++report_.commands["CAN"];
      if (page_mode_) {
        composer_.Clear();
        area_.Reset(area_.width(), area_.height());
        page_y_ = 0;
      }
      break;
    default:
      break;  // other control bytes do nothing here
  }
}

// ---------------------------------------------------------------------------- text ---

escpos::GlyphSource EscPosRenderer::AsciiGlyph(uint8_t c) const {
  GlyphSource g;
  if (modes_.font == 1) {
    g.addr = kAscii9x17Base + 48u * c;
    g.cols = 9;
    g.rows = 17;
  } else {
    g.addr = kAscii12x24Base + 48u * c;
  }
  return g;
}

escpos::GlyphSource EscPosRenderer::PageGlyph(int page, uint8_t c) const {
  GlyphSource g;
  const uint32_t slot = kCodePageBlock * static_cast<uint32_t>(page) + 48u * (c - 0x80u);
  if (modes_.font == 1) {
    g.addr = kCodePage9x17Base + slot;
    g.cols = 9;
    g.rows = 17;
  } else {
    g.addr = kCodePage12x24Base + slot;
  }
  return g;
}

escpos::CellStyle EscPosRenderer::Style(bool two_byte) const {
  CellStyle s;
  int w = modes_.width_mul, h = modes_.height_mul;
  if (two_byte) {
    if (modes_.kanji_double_width) w = std::max(w, 2);
    if (modes_.kanji_double_height) h = std::max(h, 2);
  }
  s.wmul = static_cast<uint8_t>(w);
  s.hmul = static_cast<uint8_t>(h);
  s.bold = modes_.emphasized || modes_.double_strike;
  s.underline = static_cast<uint8_t>(two_byte && modes_.kanji_underline ? modes_.kanji_underline
                                                                        : modes_.underline);
  s.reverse = modes_.reverse;
  s.rotated = modes_.rotation != 0;
  s.left_space = two_byte ? modes_.kanji_left_space : 0;
  s.right_space =
      (two_byte ? modes_.kanji_right_space : modes_.right_spacing) + (modes_.rotation == 2 ? 1 : 0);
  return s;
}

escpos::LineGeometry EscPosRenderer::Geometry() const {
  escpos::LineGeometry g;
  g.align = page_mode_ ? 0 : modes_.align;
  g.upside_down = !page_mode_ && modes_.upside_down;
  if (page_mode_) {
    g.left = 0;
    g.width = SurfaceWidth();
  } else {
    g.left = std::min(modes_.left_margin, paper_.width() - 1);
    g.width = AreaWidth();
  }
  return g;
}

int EscPosRenderer::AreaWidth() const {
  if (page_mode_) return SurfaceWidth();
  const int left = std::min(modes_.left_margin, paper_.width() - 1);
  const int rest = paper_.width() - left;
  return modes_.print_width > 0 ? std::min(modes_.print_width, rest) : rest;
}

void EscPosRenderer::AddChar(const GlyphSource& g, CellStyle style, char32_t cp) {
  composer_.Start(Geometry());
  if (composer_.AddGlyph(g, style, cp)) return;
  PrintLine(-1);  // the line is full: it prints and the character starts the next
  composer_.Start(Geometry());
  composer_.AddGlyph(g, style, cp);
}

void EscPosRenderer::AddSingleByte(uint8_t c) {
  if (c < 0x80) {
    const auto& user = user_chars_[modes_.font == 1 ? 1 : 0];
    if (modes_.user_chars) {
      const auto it = user.find(c);
      if (it != user.end()) {
        GlyphSource g;
        g.picture = &it->second;
        g.cols = static_cast<uint8_t>(FontWidth());
        g.rows = static_cast<uint8_t>(FontHeight());
        AddChar(g, Style(false), c);
        return;
      }
    }
    const char32_t cp = escpos::InternationalChar(modes_.international, c);
    if (cp != c) {
      AddUnicode(cp);
      return;
    }
    AddChar(AsciiGlyph(c), Style(false), c);
    return;
  }
  const int page = modes_.code_page;
  if (page >= kCodePageSlots) {
    AddChar(AsciiGlyph('?'), Style(false), 0);
    return;
  }
  AddChar(PageGlyph(page, c), Style(false), escpos::CodePageChar(page, c));
}

void EscPosRenderer::AddGb(uint8_t h, uint8_t l) {
  GlyphSource g;
  g.addr = static_cast<uint32_t>(Gb18030GlyphAddress(h, l));
  g.xbyte = 3;
  g.cols = 24;
  g.rows = 24;
  const uint16_t code = static_cast<uint16_t>(h << 8 | l);
  auto it = unicode_of_gb_.find(code);
  if (it == unicode_of_gb_.end()) {
    const char bytes[2] = {static_cast<char>(h), static_cast<char>(l)};
    it = unicode_of_gb_
             .emplace(code, FirstCodePoint(AnsiToUtf8(std::string_view(bytes, 2), kAnsiGb)))
             .first;
  }
  AddChar(g, Style(true), it->second);
}

void EscPosRenderer::AddUnicode(char32_t cp) {
  if (cp >= 0x20 && cp < 0x7F) {
    AddChar(AsciiGlyph(static_cast<uint8_t>(cp)), Style(false), cp);
    return;
  }
  if (const auto pc = escpos::FindInCodePages(cp, modes_.code_page)) {
    AddChar(PageGlyph(pc->page, pc->code), Style(false), cp);
    return;
  }
  auto it = gb_of_unicode_.find(cp);
  if (it == gb_of_unicode_.end()) {
    std::string utf8;
    escpos::AppendUtf8(utf8, cp);
    size_t replaced = 0;
    const std::string gb = Utf8ToAnsi(utf8, kAnsiGb, &replaced);
    int64_t code = -1;
    if (replaced == 0 && gb.size() == 2 &&
        Gb18030GlyphAddress(static_cast<uint8_t>(gb[0]), static_cast<uint8_t>(gb[1])) >= 0) {
      code = static_cast<uint8_t>(gb[0]) << 8 | static_cast<uint8_t>(gb[1]);
    }
    it = gb_of_unicode_.emplace(cp, code).first;
  }
  if (it->second >= 0) {
    AddGb(static_cast<uint8_t>(it->second >> 8), static_cast<uint8_t>(it->second & 0xFF));
    return;
  }
  AddChar(AsciiGlyph('?'), Style(false), 0);  // a character no font here has
}

void EscPosRenderer::FlushPending() {
  if (gb_lead_ >= 0) {
    const uint8_t h = static_cast<uint8_t>(gb_lead_);
    gb_lead_ = -1;
    AddSingleByte(h);  // a lead byte without its partner prints on its own
  }
  if (!utf8_.empty()) {
    utf8_.clear();
    AddChar(AsciiGlyph('?'), Style(false), 0);
  }
}

void EscPosRenderer::TextBytes(std::span<const uint8_t> bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    const uint8_t b = bytes[i];
    switch (modes_.encoding) {
      case TextEncoding::kSingleByte:
      case TextEncoding::kUtf16:
        AddSingleByte(b);
        break;
      case TextEncoding::kGb18030:
        if (gb_lead_ >= 0) {
          const uint8_t h = static_cast<uint8_t>(gb_lead_);
          if (Gb18030GlyphAddress(h, b) >= 0) {
            gb_lead_ = -1;
            AddGb(h, b);
            break;
          }
          FlushPending();  // not a pair: the lead prints alone and b is read afresh
        }
        if (b >= 0x81 && b <= 0xFE) {
          gb_lead_ = b;
        } else {
          AddSingleByte(b);
        }
        break;
      case TextEncoding::kUtf8: {
        if (!utf8_.empty() && (b & 0xC0) != 0x80) FlushPending();
        if (utf8_.empty() && b < 0x80) {
          AddSingleByte(b);
          break;
        }
        if (utf8_.empty() && (b < 0xC2 || b > 0xF4)) {
          AddChar(AsciiGlyph('?'), Style(false), 0);
          break;
        }
        utf8_.push_back(b);
        const size_t need = utf8_[0] < 0xE0 ? 2 : utf8_[0] < 0xF0 ? 3 : 4;
        if (utf8_.size() < need) break;
        char32_t cp = utf8_[0] & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
        for (size_t k = 1; k < need; ++k) cp = cp << 6 | (utf8_[k] & 0x3F);
        utf8_.clear();
        AddUnicode(cp);
        break;
      }
    }
  }
}

void EscPosRenderer::Utf16Unit(uint16_t u) {
  if (u < 0x20 || u == 0x7F) {
    Control(static_cast<uint8_t>(u));
    return;
  }
  if (u >= 0xD800 && u <= 0xDFFF) {
    AddChar(AsciiGlyph('?'), Style(false), 0);  // characters beyond the BMP: no glyphs
    return;
  }
  AddUnicode(u);
}

void EscPosRenderer::Tab() {
  composer_.Start(Geometry());
  const int column = (FontWidth() + modes_.right_spacing) * modes_.width_mul;
  for (int stop : tabs_) {
    const int x = stop * column;
    if (x <= composer_.x()) continue;
    if (x >= composer_.geometry().width) break;
    composer_.MoveTo(x, '\t');
    return;
  }
}

// --------------------------------------------------------------------------- lines ---

int EscPosRenderer::SurfaceWidth() const {
  return page_mode_ ? area_.width() : paper_.width();
}

int EscPosRenderer::CursorY() const {
  return page_mode_ ? page_y_ : paper_.height();
}

void EscPosRenderer::PutStrip(const Bitmap& strip, int y) {
  if (page_mode_) {
    area_.Blit(strip, 0, y);
    area_used_ = true;
    return;
  }
  for (int r = 0; r < strip.height(); ++r) paper_.OrRow(y + r, strip.row(r), strip.stride());
}

void EscPosRenderer::Advance(int rows) {
  if (rows <= 0) return;
  if (page_mode_) {
    page_y_ += rows;
  } else {
    paper_.Feed(rows);
  }
}

void EscPosRenderer::PrintLine(int feed) {
  FlushPending();
  const int empty_h = FontHeight() * modes_.height_mul;
  if (!composer_.started()) {
    if (feed >= 0) {
      Advance(feed);
    } else {
      Advance(modes_.line_spacing < 0 ? std::max(kDefaultLine, empty_h + kLineGap)
                                      : modes_.line_spacing);
    }
    return;
  }
  const int h = composer_.Height(empty_h);
  const int y = CursorY();
  std::string text;
  PutStrip(composer_.Compose(SurfaceWidth(), empty_h, text), y);
  if (text.empty()) {
    // a line of pictures only
  } else if (report_.lines.size() < escpos::Report::kMaxListed) {
    report_.lines.push_back({y, std::move(text)});
  } else {
    ++report_.dropped;
  }
  if (feed >= 0) {
    Advance(std::max(feed, h));
  } else {
    Advance(modes_.line_spacing < 0 ? std::max(kDefaultLine, h + kLineGap)
                                    : std::max(modes_.line_spacing, h));
  }
}

void EscPosRenderer::FlushLine() {
  if (composer_.started() || gb_lead_ >= 0 || !utf8_.empty()) PrintLine(-1);
}

void EscPosRenderer::PrintPicture(const Bitmap& pic) {
  if (pic.empty()) return;
  if (composer_.started()) PrintLine(-1);  // the line before it prints first
  const escpos::LineGeometry g = Geometry();
  int x = g.left;
  if (g.align == 1) x += std::max(0, (g.width - pic.width()) / 2);
  if (g.align == 2) x += std::max(0, g.width - pic.width());
  Bitmap strip(SurfaceWidth(), pic.height());
  strip.Blit(pic, x, 0);
  PutStrip(strip, CursorY());
  Advance(pic.height());
}

void EscPosRenderer::PrintPlainLine(const std::string& text, int align, int font) {
  const escpos::TextModes saved = modes_;
  modes_ = escpos::TextModes();
  modes_.encoding = TextEncoding::kSingleByte;
  modes_.align = align;
  modes_.font = font;
  modes_.left_margin = saved.left_margin;
  modes_.print_width = saved.print_width;
  for (char c : text) AddSingleByte(static_cast<uint8_t>(c));
  const int y = CursorY();
  const int empty_h = FontHeight();
  const int h = composer_.Height(empty_h);
  std::string ignored;
  if (composer_.started()) PutStrip(composer_.Compose(SurfaceWidth(), empty_h, ignored), y);
  Advance(std::max(kDefaultLine, h + kLineGap));
  modes_ = saved;
}

void EscPosRenderer::Note(const std::string& text, bool rule) {
  if (report_.notes.size() < escpos::Report::kMaxListed) report_.notes.push_back(text);
  if (!rule) return;
  const Bitmap bar = [&] {
    Bitmap b(SurfaceWidth(), 2);
    b.Fill(0, 0, b.width(), 2);
    return b;
  }();
  PutStrip(bar, CursorY());
  Advance(2 + kLineGap);
  PrintPlainLine(text, 1);
  PutStrip(bar, CursorY());
  Advance(2 + kLineGap);
}

void EscPosRenderer::DrawCutMark(bool partial) {
  PrintLine(composer_.started() ? -1 : 0);
  Advance(kLineGap);
  Bitmap dashes(SurfaceWidth(), 2);
  for (int x = 0; x < dashes.width(); x += 12) dashes.Fill(x, 0, partial ? 4 : 8, 2);
  PutStrip(dashes, CursorY());
  Advance(2 + kLineGap);
  const std::string text = partial ? "- - - partial cut - - -" : "- - - cut - - -";
  if (report_.notes.size() < escpos::Report::kMaxListed) report_.notes.push_back(text);
  PrintPlainLine(text, 1);
}

void EscPosRenderer::PrintTestPage() {
  FlushLine();
  const int w = SurfaceWidth();
  Bitmap bar(w, 4);
  bar.Fill(0, 0, w, 4);
  PutStrip(bar, CursorY());
  Advance(4 + kLineGap);
  std::vector<std::string> lines = {"*** TEST PAGE ***"};
  if (test_page_lines) {
    for (std::string& l : test_page_lines()) lines.push_back(std::move(l));
  }
  for (size_t i = 0; i < lines.size(); ++i) PrintPlainLine(lines[i], i == 0 ? 1 : 0);
  std::string ascii;
  for (int c = 0x20; c < 0x7F; ++c) {
    ascii.push_back(static_cast<char>(c));
    if (static_cast<int>(ascii.size()) * 12 >= w) {
      PrintPlainLine(ascii, 0);
      ascii.clear();
    }
  }
  if (!ascii.empty()) PrintPlainLine(ascii, 0);
  // A density ramp: blocks of growing darkness.
  Bitmap ramp(w, 24);
  for (int x = 0; x < w; ++x) {
    const int level = x * 8 / w;
    for (int y = 0; y < 24; ++y) {
      if (((x + y) % 8) < level) ramp.Set(x, y);
    }
  }
  PutStrip(ramp, CursorY());
  Advance(24 + kLineGap);
  PutStrip(bar, CursorY());
  Advance(4 + kLineGap);
  report_.notes.push_back("test page");
}

// ------------------------------------------------------------------------ page mode ---

void EscPosRenderer::EnterPageMode() {
  FlushLine();
  page_mode_ = true;  // the area set by ESC W (in either mode) holds
  area_x_ = std::min(area_x_, paper_.width() - 1);
  area_w_ =
      area_w_ > 0 ? std::clamp(area_w_, 1, paper_.width() - area_x_) : paper_.width() - area_x_;
  page_.Reset(paper_.width(), 0);
  const bool sideways = page_dir_ == 1 || page_dir_ == 3;
  area_.Reset(sideways ? area_h_ : area_w_, sideways ? area_w_ : area_h_);
  page_y_ = 0;
  area_used_ = false;
}

void EscPosRenderer::CommitPageArea() {
  if (!page_mode_) return;
  if (composer_.started()) PrintLine(0);
  if (area_used_) {
    Bitmap turned = page_dir_ == 1   ? area_.RotatedCounterClockwise()
                    : page_dir_ == 2 ? area_.Rotated180()
                    : page_dir_ == 3 ? area_.RotatedClockwise()
                                     : area_;
    const int need = std::min(kMaxPageHeight, area_y_ + turned.height());
    if (page_.height() < need) {
      Bitmap grown(paper_.width(), need);
      grown.Blit(page_, 0, 0);
      page_ = std::move(grown);
    }
    page_.Blit(turned, area_x_, area_y_);
  }
  const bool sideways = page_dir_ == 1 || page_dir_ == 3;
  area_.Reset(sideways ? area_h_ : area_w_, sideways ? area_w_ : area_h_);
  page_y_ = 0;
  area_used_ = false;
}

void EscPosRenderer::PrintPage(bool leave) {
  CommitPageArea();
  const int used = page_.UsedHeight();
  if (used > 0) {
    const int y = paper_.height();  // the page goes onto the paper
    for (int r = 0; r < used; ++r) paper_.OrRow(y + r, page_.row(r), page_.stride());
    paper_.Feed(used);
  }
  page_.Reset(paper_.width(), 0);
  if (leave) page_mode_ = false;
}

// ------------------------------------------------------------------------- symbols ---

void EscPosRenderer::PrintSymbol(escpos::SymbolRequest request, uint64_t offset) {
  FlushLine();
  const int area = AreaWidth();
  escpos::Symbol sym = escpos::MakeSymbol(request, area);
  escpos::Report::SymbolEntry entry{offset, escpos::SymbolKindName(request.kind),
                                    escpos::EscapeBytes(request.data), sym.ok(), sym.error};
  if (!sym.ok()) {
    if (report_.symbols.size() < escpos::Report::kMaxListed) report_.symbols.push_back(entry);
    return;
  }
  const escpos::LineGeometry g = Geometry();
  int x = g.left;
  if (g.align == 1) x += std::max(0, (g.width - sym.picture.width()) / 2);
  if (g.align == 2) x += std::max(0, g.width - sym.picture.width());
  // The human readable text of a linear code, centred on the bars, above and/or below.
  const bool linear = escpos::IsLinear(request.kind);
  const bool above = linear && !sym.placeholder && (hri_position_ & 1);
  const bool below = linear && !sym.placeholder && (hri_position_ & 2);
  auto hri = [&] {
    const int font = hri_font_ == 1 ? 1 : 0;
    const int cw = font == 1 ? 9 : 12;
    const int text_w = static_cast<int>(sym.text.size()) * cw;
    const int left = x + (sym.picture.width() - text_w) / 2 - g.left;
    const int saved_align = modes_.align;
    const int saved_margin = modes_.left_margin;
    modes_.left_margin = std::max(0, g.left + left);
    PrintPlainLine(sym.text, 0, font);
    modes_.left_margin = saved_margin;
    modes_.align = saved_align;
  };
  if (sym.placeholder) {
    // No symbol library here: the data is written inside the frame, 12 dots a character.
    const auto& flash = state_.flash.bytes();
    const int per_line = std::max(1, (sym.picture.width() - 22) / 12);
    for (size_t i = 0; i < sym.text.size(); ++i) {
      const GlyphSource gl = AsciiGlyph(static_cast<uint8_t>(sym.text[i]) & 0x7F);
      const int cx = 11 + static_cast<int>(i) % per_line * 12;
      const int cy = 11 + static_cast<int>(i) / per_line * 30;
      for (int r = 0; r < 24; ++r) {
        const size_t at = gl.addr + static_cast<size_t>(r) * 2;
        if (at + 1 >= flash.size()) break;
        sym.picture.OrBits(
            cx, cy + r,
            static_cast<uint32_t>(flash[at]) << 24 | static_cast<uint32_t>(flash[at + 1]) << 16,
            12);
      }
    }
  }
  if (above) hri();
  entry.x = x;
  entry.y = CursorY();
  entry.w = sym.picture.width();
  entry.h = sym.picture.height();
  Bitmap strip(SurfaceWidth(), sym.picture.height());
  strip.Blit(sym.picture, x, 0);
  PutStrip(strip, CursorY());
  Advance(sym.picture.height());
  if (below) {
    Advance(2);
    hri();
  }
  if (report_.symbols.size() < escpos::Report::kMaxListed) {
    report_.symbols.push_back(entry);
  } else {
    ++report_.dropped;
  }
}

void EscPosRenderer::PrintTwoD(uint8_t cn, uint64_t offset) {
  auto it = two_d_.find(cn);
  if (it == two_d_.end() || !it->second.stored) {
    escpos::SymbolRequest empty;
    switch (cn) {
      case 48:
        empty.kind = SymbolKind::kPdf417;
        break;
      case 50:
        empty.kind = SymbolKind::kMaxiCode;
        break;
      case 53:
        empty.kind = SymbolKind::kAztec;
        break;
      case 54:
        empty.kind = SymbolKind::kDataMatrix;
        break;
      default:
        empty.kind = SymbolKind::kQr;
        break;
    }
    PrintSymbol(empty, offset);  // reported: nothing stored
    return;
  }
  PrintSymbol(it->second.request, offset);
}

void EscPosRenderer::SymbolFunction(std::span<const uint8_t> body, uint64_t offset) {
  // cn fn [parameters]
  if (body.size() < 2) return;
  const uint8_t cn = body[0], fn = body[1];
  if (cn != 48 && cn != 49 && cn != 50 && cn != 53 && cn != 54) {
    Note("GS ( k symbol type " + std::to_string(cn) + " is not supported", false);
    return;
  }
  TwoD& t = two_d_[cn];
  escpos::SymbolRequest& r = t.request;
  switch (cn) {
    case 48:
      r.kind = SymbolKind::kPdf417;
      break;
    case 49:
      if (r.kind != SymbolKind::kMicroQr) r.kind = SymbolKind::kQr;
      break;
    case 50:
      r.kind = SymbolKind::kMaxiCode;
      break;
    case 53:
      r.kind = SymbolKind::kAztec;
      break;
    case 54:
      r.kind = SymbolKind::kDataMatrix;
      break;
    default:
      break;
  }
  const uint8_t p = body.size() > 2 ? body[2] : 0;
  const uint8_t q = body.size() > 3 ? body[3] : 0;
  if (fn == 80) {  // store: m d1..dk
    r.data.assign(body.begin() + std::min<size_t>(3, body.size()), body.end());
    t.stored = true;
    return;
  }
  if (fn == 81) {
    PrintTwoD(cn, offset);
    return;
  }
  if (fn == 82) return;  // size information: this printer does not send it
  switch (cn) {
    case 49:  // QR
      if (fn == 65) r.kind = p == 51 ? SymbolKind::kMicroQr : SymbolKind::kQr;
      if (fn == 67) r.module = std::clamp<int>(p, 1, 16);
      if (fn == 69) r.ec_level = std::clamp(Digit(p), 0, 3);
      break;
    case 48:  // PDF417
      if (fn == 65) r.columns = std::min<int>(p, 30);
      if (fn == 66) r.rows = p == 0 || (p >= 3 && p <= 90) ? p : r.rows;
      if (fn == 67) r.module = std::clamp<int>(p, 2, 8);
      if (fn == 68) r.row_height = std::clamp<int>(p, 2, 8);
      if (fn == 69) {
        if (p == 48) r.ec_level = std::clamp(q - 48, 0, 8), r.ec_percent = 0;
        if (p == 49) r.ec_percent = std::clamp<int>(q, 1, 40) * 10, r.ec_level = -1;
      }
      if (fn == 70) r.truncated = Digit(p) == 1;
      break;
    case 50:  // MaxiCode
      if (fn == 65) r.maxicode_mode = std::clamp(p >= 48 ? p - 48 : static_cast<int>(p), 2, 6);
      break;
    case 53:  // Aztec
      if (fn == 66) r.layers = Digit(p) == 1 ? -std::max<int>(1, q) : q;
      if (fn == 67) r.module = std::clamp<int>(p, 2, 16);
      if (fn == 69) r.ec_percent = std::clamp<int>(p, 5, 95);
      break;
    case 54:  // Data Matrix
      if (fn == 66) r.rectangular = Digit(p) == 1;
      if (fn == 67) r.module = std::clamp<int>(p, 2, 16);
      break;
    default:
      break;
  }
}

// ------------------------------------------------------------------------ graphics ---

void EscPosRenderer::GraphicsFunction(std::span<const uint8_t> body, const std::string& name) {
  escpos::GraphicsResult r = graphics_.Run(body, state_.nv_graphics);
  if (!r.error.empty()) Note(name + ": " + r.error, false);
  if (!r.reply.empty()) Send(std::move(r.reply));
  if (r.print_now) PrintPicture(r.print);
}

size_t EscPosRenderer::ConsumeRaster(std::span<const uint8_t> in) {
  const size_t bpr = static_cast<size_t>(raster_bytes_per_row_);
  const size_t rows = std::min<size_t>(in.size() / bpr, static_cast<size_t>(raster_rows_left_));
  if (rows == 0) return 0;
  Bitmap strip(SurfaceWidth(), static_cast<int>(rows) * raster_hmul_);
  for (size_t r = 0; r < rows; ++r) {
    const uint8_t* row = in.data() + r * bpr;
    for (size_t i = 0; i < bpr; ++i) {
      if (!row[i]) continue;
      for (int bit = 0; bit < 8; ++bit) {
        if (!(row[i] & (0x80 >> bit))) continue;
        const int x = static_cast<int>(i * 8) + bit;
        strip.Fill(raster_x_ + x * raster_wmul_, static_cast<int>(r) * raster_hmul_, raster_wmul_,
                   raster_hmul_);
      }
    }
  }
  PutStrip(strip, CursorY());
  Advance(strip.height());
  raster_rows_left_ -= static_cast<int>(rows);
  return rows * bpr;
}

// ---------------------------------------------------------------------- the replies ---

void EscPosRenderer::Send(std::vector<uint8_t> bytes) {
  if (reply && !bytes.empty()) reply(std::move(bytes));
}

std::vector<uint8_t> EscPosRenderer::AutoStatus() const {
  const bool out = state_.paper == PaperLevel::kOut;
  const bool near = state_.paper != PaperLevel::kPresent;
  uint8_t b1 = 0x10;
  if (state_.stopped()) b1 |= 0x08;  // off-line
  if (state_.cover_open) b1 |= 0x20;
  uint8_t b3 = 0;
  if (near) b3 |= 0x03;
  if (out) b3 |= 0x0C;
  return {b1, 0x00, b3, 0x00};
}

void EscPosRenderer::StatusChanged() {
  if (!asb_mask_) return;
  std::vector<uint8_t> now = AutoStatus();
  if (now == asb_last_) return;
  asb_last_ = now;
  Send(std::move(now));
}

std::vector<uint8_t> EscPosRenderer::PrinterId(uint8_t n) const {
  // The printer information reads "<model>, firmware <version>".
  const std::string& info = state_.sys_info;
  const size_t comma = info.find(',');
  const std::string model = info.substr(0, comma);
  const size_t fw = info.find("firmware ");
  const std::string version = fw == std::string::npos ? info : info.substr(fw + 9);
  auto text = [](const std::string& s) {
    std::vector<uint8_t> r = {0x5F};
    r.insert(r.end(), s.begin(), s.end());
    r.push_back(0);
    return r;
  };
  switch (n) {
    case 1:
    case 49:
      return {kModelId};
    case 2:
    case 50:
      return {kTypeId};
    case 3:
    case 51:
      return {kVersionId};
    case 65:
      return text(version);
    case 66:
      return text("Quillon");
    case 67:
      return text(model);
    case 68:
      return text(state_.serial_number);
    case 69:
      return text(StartupEncoding() == TextEncoding::kGb18030 ? "CHINA GB18030" : "UNICODE");
    default:
      return {};
  }
}

// ------------------------------------------------------------------------ commands ---

void EscPosRenderer::Execute(Op op, std::span<const uint8_t> cmd, std::span<const uint8_t> a,
                             uint64_t offset) {
  const uint8_t n = a.empty() ? 0 : a[0];
  switch (op) {
    // Text modes.
    case Op::kEscBang:
      modes_.font = n & 0x01;
      modes_.emphasized = n & 0x08;
      modes_.height_mul = (n & 0x10) ? 2 : 1;
      modes_.width_mul = (n & 0x20) ? 2 : 1;
      modes_.underline = (n & 0x80) ? 1 : 0;
      break;
    case Op::kGsBang:
      modes_.width_mul = ((n >> 4) & 7) + 1;
      modes_.height_mul = (n & 7) + 1;
      break;
    case Op::kEscE:
      modes_.emphasized = n & 1;
      break;
    case Op::kEscG:
      modes_.double_strike = n & 1;
      break;
    case Op::kEscMinus:
      modes_.underline = std::clamp(Digit(n), 0, 2);
      break;
    case Op::kGsB:
      modes_.reverse = n & 1;
      break;
    case Op::kEscBrace:
      modes_.upside_down = n & 1;
      break;
    case Op::kEscV:
      modes_.rotation = std::clamp(Digit(n), 0, 2);
      break;
    case Op::kEscM:
      modes_.font = Digit(n) == 0 ? 0 : 1;
      break;
    case Op::kEscSp:
      modes_.right_spacing = n;
      break;
    case Op::kEsc2:
      modes_.line_spacing = -1;
      break;
    case Op::kEsc3:
      modes_.line_spacing = n;
      break;
    case Op::kEsca:
      modes_.align = std::clamp(Digit(n), 0, 2);
      break;
    case Op::kGsL:
      modes_.left_margin = static_cast<int>(Le16(a, 0));
      break;
    case Op::kGsW:
      modes_.print_width = static_cast<int>(Le16(a, 0));
      break;
    case Op::kEscD: {
      tabs_.clear();
      for (uint8_t s : a) {
        if (s == 0 || (!tabs_.empty() && s <= tabs_.back())) break;
        tabs_.push_back(s);
      }
      break;
    }
    case Op::kEscDollar:
      composer_.Start(Geometry());
      if (static_cast<int>(Le16(a, 0)) < composer_.geometry().width)
        composer_.MoveTo(static_cast<int>(Le16(a, 0)), 0);
      break;
    case Op::kEscBackslash: {
      composer_.Start(Geometry());
      const int x = composer_.x() + static_cast<int16_t>(Le16(a, 0));
      if (x >= 0 && x < composer_.geometry().width) composer_.MoveTo(x, 0);
      break;
    }
    // Characters.
    case Op::kEsct:
      modes_.code_page = n;
      modes_.encoding = TextEncoding::kSingleByte;  // code-page text from here on
      break;
    case Op::kEscR:
      modes_.international = n < escpos::kInternationalSets ? n : 0;
      break;
    case Op::kFsAmp:
      modes_.encoding = TextEncoding::kGb18030;
      break;
    case Op::kFsDot:
      modes_.encoding = TextEncoding::kSingleByte;
      break;
    case Op::kFsBang:
      modes_.kanji_double_width = n & 0x04;
      modes_.kanji_double_height = n & 0x08;
      modes_.kanji_underline = (n & 0x80) ? 1 : 0;
      break;
    case Op::kFsMinus:
      modes_.kanji_underline = std::clamp(Digit(n), 0, 2);
      break;
    case Op::kFsW:
      modes_.kanji_double_width = modes_.kanji_double_height = n & 1;
      break;
    case Op::kFsS:
      modes_.kanji_left_space = a[0];
      modes_.kanji_right_space = a[1];
      break;
    case Op::kEscPercent:
      modes_.user_chars = n & 1;
      break;
    case Op::kEscAmp: {
      // y c1 c2 [x d1..d(y*x)]...: columns of y bytes.
      FlushLine();
      const int y = a[0];
      size_t at = 3;
      auto& fonts = user_chars_[modes_.font == 1 ? 1 : 0];
      for (int c = a[1]; c <= a[2] && at < a.size(); ++c) {
        const int x = a[at++];
        const size_t len = static_cast<size_t>(x) * y;
        if (at + len > a.size()) break;
        if (c >= 0x20 && c < 0x7F) {
          fonts[c] = escpos::ColumnImage(a.subspan(at, len), x, y);
        }
        at += len;
      }
      break;
    }
    case Op::kEscQuestion:
      FlushLine();
      user_chars_[0].erase(n);
      user_chars_[1].erase(n);
      break;
    // Printing and feeding.
    case Op::kEscJ:
      PrintLine(n);
      break;
    case Op::kEscd:
      PrintLine(n * (modes_.line_spacing < 0 ? kDefaultLine : modes_.line_spacing));
      break;
    case Op::kEscK:
    case Op::kEsce:
      FlushLine();  // paper does not run backwards here
      if (page_mode_) page_y_ = std::max(0, page_y_ - n);
      break;
    case Op::kEscAt:
      FlushLine();
      Reset();
      break;
    case Op::kEscL:
      if (!page_mode_) EnterPageMode();
      break;
    case Op::kEscS:
      if (page_mode_) {
        composer_.Clear();
        page_mode_ = false;
        page_ = Bitmap();
      }
      break;
    case Op::kEscFF:
      if (page_mode_) PrintPage(false);
      break;
    case Op::kEscT:
      if (page_mode_) CommitPageArea();
      page_dir_ = Digit(n) & 3;
      if (page_mode_) CommitPageArea();
      break;
    case Op::kEscW:
      area_x_ = std::min(static_cast<int>(Le16(a, 0)), paper_.width() - 1);
      area_y_ = std::min(static_cast<int>(Le16(a, 2)), kMaxPageHeight - 1);
      area_w_ = std::clamp(static_cast<int>(Le16(a, 4)), 1, paper_.width() - area_x_);
      area_h_ = std::clamp(static_cast<int>(Le16(a, 6)), 1, kMaxPageHeight - area_y_);
      if (page_mode_) CommitPageArea();
      break;
    case Op::kGsDollar:
      if (page_mode_) {
        if (composer_.started()) PrintLine(0);
        page_y_ = static_cast<int>(Le16(a, 0));
      }
      break;
    case Op::kGsBackslash:
      if (page_mode_) {
        if (composer_.started()) PrintLine(0);
        page_y_ = std::max(0, page_y_ + static_cast<int16_t>(Le16(a, 0)));
      }
      break;
    // Pictures.
    case Op::kEscStar: {
      const int m = a[0];
      const int cols = static_cast<int>(Le16(a, 1));
      const bool dots24 = m & 0x20;
      const bool single = !(m & 1);
      Bitmap pic =
          escpos::ColumnImage(a.subspan(3), cols, dots24 ? 3 : 1, single ? 2 : 1, dots24 ? 1 : 3);
      composer_.Start(Geometry());
      if (!composer_.AddPicture(pic)) {
        PrintLine(-1);
        composer_.Start(Geometry());
        composer_.AddPicture(std::move(pic));
      }
      break;
    }
    case Op::kGsv0: {
      FlushLine();
      raster_bytes_per_row_ = static_cast<int>(Le16(a, 1));
      const int rows = static_cast<int>(Le16(a, 3));
      raster_rows_left_ = raster_bytes_per_row_ > 0 ? rows : 0;
      raster_wmul_ = (Digit(a[0]) & 1) ? 2 : 1;
      raster_hmul_ = (Digit(a[0]) & 2) ? 2 : 1;
      const escpos::LineGeometry g = Geometry();
      const int w = raster_bytes_per_row_ * 8 * raster_wmul_;
      raster_x_ = g.left + (g.align == 1   ? std::max(0, (g.width - w) / 2)
                            : g.align == 2 ? std::max(0, g.width - w)
                                           : 0);
      if (raster_bytes_per_row_ == 0) skip_left_ = 0;
      break;
    }
    case Op::kGsStar:
      downloaded_ = escpos::ColumnImage(a.subspan(2), a[0] * 8, a[1]);
      break;
    case Op::kGsSlash: {
      const int m = Digit(n);
      composer_.Start(Geometry());
      Bitmap pic = escpos::Scaled(downloaded_, (m & 1) ? 2 : 1, (m & 2) ? 2 : 1);
      if (!pic.empty() && !composer_.AddPicture(pic)) {
        PrintLine(-1);
        composer_.Start(Geometry());
        composer_.AddPicture(std::move(pic));
      }
      break;
    }
    case Op::kGsParen: {
      const std::string name = escpos::TokenName(cmd, {Token::Kind::kCommand, cmd.size(), op});
      const auto body = a.subspan(3);  // fn pL pH, then the body
      if (a[0] == 'k') SymbolFunction(body, offset);
      if (a[0] == 'L') GraphicsFunction(body, name);
      break;
    }
    case Op::kGs8L:
      GraphicsFunction(a.subspan(4), "GS 8 L");
      break;
    case Op::kFsq: {
      const std::string error = graphics_.DefineBitImages(a, state_.nv_graphics);
      if (!error.empty()) Note("FS q: " + error, false);
      break;
    }
    case Op::kFsp: {
      const escpos::NvStore nv = escpos::UnpackNv(state_.nv_graphics);
      const size_t i = a[0];
      if (i < 1 || i > nv.bit_images.size()) {
        Note("FS p: no NV bit image " + std::to_string(i), false);
        break;
      }
      const int m = Digit(a[1]);
      FlushLine();
      PrintPicture(escpos::Scaled(nv.bit_images[i - 1], (m & 1) ? 2 : 1, (m & 2) ? 2 : 1));
      break;
    }
    // Symbols.
    case Op::kGsh:
      if (n > 0) bar_height_ = n;
      break;
    case Op::kGsw:
      if (n >= 1 && n <= 6) bar_module_ = n;
      break;
    case Op::kGsH:
      hri_position_ = Digit(n) & 3;
      break;
    case Op::kGsf:
      hri_font_ = Digit(n) == 1 ? 1 : 0;
      break;
    case Op::kGsk: {
      const uint8_t m = a[0];
      escpos::SymbolRequest r;
      r.module = bar_module_;
      r.height = bar_height_;
      if (m <= 6) {
        r.kind = static_cast<SymbolKind>(m);
        r.data.assign(a.begin() + 1, a.end());
        if (!r.data.empty() && r.data.back() == '\0') r.data.pop_back();
      } else if (m >= 65 && m <= 73) {
        r.kind = static_cast<SymbolKind>(m - 65);
        r.data.assign(a.begin() + 2, a.end());
      } else {
        FlushLine();
        report_.symbols.push_back({offset, "GS k " + std::to_string(m), "", false,
                                   "bar code system " + std::to_string(m) + " is not supported"});
        break;
      }
      PrintSymbol(std::move(r), offset);
      break;
    }
    case Op::kEscZ: {
      escpos::SymbolRequest r;
      r.kind = SymbolKind::kQr;
      r.version = a[0] <= 40 ? a[0] : 0;
      const uint8_t ec = a[1];
      r.ec_level = ec == 'L'   ? 0
                   : ec == 'M' ? 1
                   : ec == 'Q' ? 2
                   : ec == 'H' ? 3
                               : std::min<int>(ec, 3);
      r.module = std::clamp<int>(a[2], 1, 16);
      r.data.assign(a.begin() + 5, a.end());
      PrintSymbol(std::move(r), offset);
      break;
    }
    // Paper handling, drawer, buzzer.
    case Op::kGsV: {
      const uint8_t m = a[0];
      if (a.size() > 1) PrintLine(a[1]);  // feed, then cut
      DrawCutMark(m == 1 || m == 49 || m == 66 || m == 98 || m == 104);
      break;
    }
    case Op::kGsS:
      DrawCutMark(false);
      break;
    case Op::kEsci:
      DrawCutMark(true);
      break;
    case Op::kEscm:
      DrawCutMark(true);
      break;
    case Op::kEscp:
      FlushLine();
      Note("drawer pulse pin " + std::to_string((a[0] & 1) ? 5 : 2) + " " +
               std::to_string(a[1] * 2) + "/" + std::to_string(a[2] * 2) + " ms",
           true);
      break;
    case Op::kEscB:
      FlushLine();
      Note("beep " + std::to_string(a[0]) + " x " + std::to_string(a[1] * 50) + " ms", true);
      break;
    case Op::kDc2T:
      PrintTestPage();
      break;
    // Status.
    case Op::kGsr:
      if (Digit(n) == 1) {
        const uint8_t near = state_.paper != PaperLevel::kPresent ? 0x03 : 0;
        const uint8_t out = state_.paper == PaperLevel::kOut ? 0x0C : 0;
        Send({static_cast<uint8_t>(near | out)});
      } else if (Digit(n) == 2 || Digit(n) == 4) {
        Send({0x00});  // drawer closed; no ink to run out
      }
      break;
    case Op::kEscv: {
      const uint8_t near = state_.paper != PaperLevel::kPresent ? 0x03 : 0;
      const uint8_t out = state_.paper == PaperLevel::kOut ? 0x0C : 0;
      Send({static_cast<uint8_t>(near | out)});
      break;
    }
    case Op::kEscu:
      Send({0x00});
      break;
    case Op::kGsa:
      asb_mask_ = n;
      asb_last_.clear();
      StatusChanged();  // enabling sends the status at once
      break;
    case Op::kGsI:
      Send(PrinterId(n));
      break;
    case Op::kDleDc4:
      if (a[0] == 1)
        Note("drawer pulse (real-time) pin " + std::to_string((a[1] & 1) ? 5 : 2), false);
      if (a[0] == 8) composer_.Clear();  // clear the buffers
      break;
    case Op::kDleEot:
    case Op::kDleEnq:
      break;  // real-time requests: the status ones are answered before the renderer
    // Settings this printer takes and has no use for.
    case Op::kEscLess:
    case Op::kEscEqual:
    case Op::kEscU:
    case Op::kEscc:
    case Op::kEscr:
    case Op::kEscParen:
    case Op::kGsColon:
    case Op::kGsE:
    case Op::kGsP:
    case Op::kGsT:
    case Op::kGsCaret:
    case Op::kGsb:
    case Op::kGsc:
    case Op::kGsg:
    case Op::kGsj:
    case Op::kGsz:
    case Op::kFsParen:
    case Op::kFs2:
    case Op::kFsC:
    case Op::kFsQuestion:
    case Op::kCount:
      break;
  }
}

}  // namespace quillon::vp
