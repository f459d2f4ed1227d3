// ESC/POS as point-of-sale software sends it: every command takes exactly its parameters
// (nothing of them reaches the paper), the modes each text command sets, code pages and
// encodings, unknown commands, and the replies the printer sends back.

#include <gtest/gtest.h>

#include <functional>

#include "virtualprinter/escpos_renderer.h"
#include "vp_rig.h"

namespace quillon::vp::testing {
namespace {

using escpos::TextEncoding;
using escpos::TextModes;

struct Printout {
  std::vector<std::string> lines;
  escpos::Report report;
  TextModes modes;
  std::vector<uint8_t> replies;
};

Printout Print(const std::string& bytes, uint8_t charset = 0) {
  VirtualPrinter printer(BlankFlash());
  printer.state().settings.charset = charset;
  printer.WithRenderer([](EscPosRenderer& r) { r.Reset(); });
  printer.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  Printout out;
  printer.WithRenderer([&](EscPosRenderer& r) {
    r.FlushLine();
    out.report = r.report();
    out.modes = r.modes();
  });
  for (const auto& l : out.report.lines) out.lines.push_back(l.text);
  out.replies.resize(256);
  out.replies.resize(printer.TakeReply(out.replies.data(), out.replies.size()));
  return out;
}

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

TEST(EscPos, EveryCommandTakesExactlyItsParameters) {
  // Parameters are printable where they can be, so one taken too few shows up as text.
  const std::string qr_store = B({0x1D, '(', 'k', 8, 0, '1', 'P', '0'}) + "HELLO";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ESC SP", B({0x1B, ' ', 'A'})},
      {"ESC !", B({0x1B, '!', 'A'})},
      {"ESC $", B({0x1B, '$', 'A', 0})},
      {"ESC %", B({0x1B, '%', 'A'})},
      {"ESC &", B({0x1B, '&', 3, 'A', 'B', 2, 'a', 'a', 'a', 'a', 'a', 'a', 1, 'b', 'b', 'b'})},
      {"ESC ( A", B({0x1B, '(', 'A', 3, 0, 'A', 'A', 'A'})},
      {"ESC *", B({0x1B, '*', 33, 2, 0, 'A', 'A', 'A', 'A', 'A', 'A'})},
      {"ESC -", B({0x1B, '-', '1'})},
      {"ESC 3", B({0x1B, '3', 'A'})},
      {"ESC =", B({0x1B, '=', 'A'})},
      {"ESC ?", B({0x1B, '?', 'A'})},
      {"ESC B", B({0x1B, 'B', 'A', 'A'})},
      {"ESC D", B({0x1B, 'D', 'A', 'B', 0})},
      {"ESC E", B({0x1B, 'E', 'A'})},
      {"ESC G", B({0x1B, 'G', 'A'})},
      {"ESC J", B({0x1B, 'J', 'A'})},
      {"ESC K", B({0x1B, 'K', 'A'})},
      {"ESC M", B({0x1B, 'M', 'A'})},
      {"ESC R", B({0x1B, 'R', 'A'})},
      {"ESC T", B({0x1B, 'T', 'A'})},
      {"ESC U", B({0x1B, 'U', 'A'})},
      {"ESC V", B({0x1B, 'V', 'A'})},
      {"ESC W", B({0x1B, 'W', 'A', 0, 'A', 0, 'A', 0, 'A', 0})},
      {"ESC \\", B({0x1B, '\\', 'A', 0})},
      {"ESC a", B({0x1B, 'a', 'A'})},
      {"ESC c", B({0x1B, 'c', '5', 'A'})},
      {"ESC d", B({0x1B, 'd', 'A'})},
      {"ESC e", B({0x1B, 'e', 'A'})},
      {"ESC p", B({0x1B, 'p', 'A', 'A', 'A'})},
      {"ESC r", B({0x1B, 'r', 'A'})},
      {"ESC t", B({0x1B, 't', 'A'})},
      {"ESC u", B({0x1B, 'u', 'A'})},
      {"ESC {", B({0x1B, '{', 'A'})},
      {"ESC Z", B({0x1B, 'Z', 0, 'A', 'A', 5, 0}) + "HELLO"},
      {"GS !", B({0x1D, '!', 'A'})},
      {"GS $", B({0x1D, '$', 'A', 0})},
      {"GS ( k", qr_store + B({0x1D, '(', 'k', 3, 0, '1', 'Q', '0'})},
      {"GS ( L", B({0x1D, '(', 'L', 4, 0, '0', '1', 'A', 'A'})},
      {"GS *", B({0x1D, '*', 1, 1, 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A', 0x1D, '/', '0'})},
      {"GS 8 L", B({0x1D, '8', 'L', 4, 0, 0, 0, '0', '1', 'A', 'A'})},
      {"GS B", B({0x1D, 'B', 'A'})},
      {"GS E", B({0x1D, 'E', 'A'})},
      {"GS H", B({0x1D, 'H', 'A'})},
      {"GS L", B({0x1D, 'L', 'A', 0})},
      {"GS P", B({0x1D, 'P', 'A', 'A'})},
      {"GS T", B({0x1D, 'T', 'A'})},
      {"GS V", B({0x1D, 'V', 'A', 'A'})},
      {"GS W", B({0x1D, 'W', 'A', 1})},
      {"GS \\", B({0x1D, '\\', 'A', 'A'})},
      {"GS ^", B({0x1D, '^', 'A', 'A', 'A'})},
      {"GS a", B({0x1D, 'a', 'A'})},
      {"GS b", B({0x1D, 'b', 'A'})},
      {"GS f", B({0x1D, 'f', 'A'})},
      {"GS g", B({0x1D, 'g', '0', 'A', 'A', 'A'})},
      {"GS h", B({0x1D, 'h', 'A'})},
      {"GS j", B({0x1D, 'j', 'A'})},
      {"GS k", B({0x1D, 'k', 4}) + "ABC" + B({0})},
      {"GS k", B({0x1D, 'k', 73, 5}) + "{BABC"},
      {"GS r", B({0x1D, 'r', 'A'})},
      {"GS v 0", B({0x1D, 'v', '0', '0', 1, 0, 2, 0, 'A', 'A'})},
      {"GS w", B({0x1D, 'w', 'A'})},
      {"GS z", B({0x1D, 'z', '0', 'A', 'A'})},
      {"FS !", B({0x1C, '!', 'A'})},
      {"FS ( A", B({0x1C, '(', 'A', 2, 0, 'A', 'A'})},
      {"FS -", B({0x1C, '-', 'A'})},
      {"FS 2", B({0x1C, '2', 0xFE, 0xA1}) + std::string(72, 'A')},
      {"FS C", B({0x1C, 'C', 'A'})},
      {"FS S", B({0x1C, 'S', 'A', 'A'})},
      {"FS W", B({0x1C, 'W', 'A'})},
      {"FS ?", B({0x1C, '?', 'A', 'A'})},
      {"FS p", B({0x1C, 'p', 'A', 'A'})},
      {"FS q", B({0x1C, 'q', 1, 1, 0, 1, 0, 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A'})},
      {"DLE ENQ", B({0x10, 0x05, 'A'})},
      {"DLE DC4", B({0x10, 0x14, 1, 'A', 'A'})},
      {"DLE DC4", B({0x10, 0x14, 8, 'A', 'A', 'A', 'A', 'A', 'A', 'A'})},
  };
  for (const auto& [name, bytes] : cases) {
    // ESC @ first and last, so settings such as an upside-down line do not matter.
    const Printout p = Print(bytes + B({0x1B, '@'}) + "Z\n");
    EXPECT_EQ(p.report.unknown_count, 0u) << name;
    EXPECT_GE(p.report.commands.count(name), 1u) << name;
    ASSERT_FALSE(p.lines.empty()) << name;
    EXPECT_EQ(p.lines.back(), "Z") << name;
    for (size_t i = 0; i + 1 < p.lines.size(); ++i) EXPECT_EQ(p.lines[i], "") << name;
  }
}

TEST(EscPos, TextCommandsSetTheModes) {
  using Set = std::function<void(TextModes&)>;
  const std::vector<std::pair<std::string, Set>> cases = {
      {B({0x1B, '!', 0x01}), [](TextModes& m) { m.font = 1; }},
      {B({0x1B, '!', 0x08}), [](TextModes& m) { m.emphasized = true; }},
      {B({0x1B, '!', 0x10}), [](TextModes& m) { m.height_mul = 2; }},
      {B({0x1B, '!', 0x20}), [](TextModes& m) { m.width_mul = 2; }},
      {B({0x1B, '!', 0x80}), [](TextModes& m) { m.underline = 1; }},
      {B({0x1D, '!', 0x11, 0x1B, '!', 0}), [](TextModes&) {}},  // ESC ! resets the sizes
      {B({0x1D, '!', 0x37}), [](TextModes& m) { m.width_mul = 4, m.height_mul = 8; }},
      {B({0x1B, 'E', 1}), [](TextModes& m) { m.emphasized = true; }},
      {B({0x1B, 'G', 1}), [](TextModes& m) { m.double_strike = true; }},
      {B({0x1B, '-', 2}), [](TextModes& m) { m.underline = 2; }},
      {B({0x1B, '-', '1'}), [](TextModes& m) { m.underline = 1; }},
      {B({0x1D, 'B', 1}), [](TextModes& m) { m.reverse = true; }},
      {B({0x1B, '{', 1}), [](TextModes& m) { m.upside_down = true; }},
      {B({0x1B, 'V', 1}), [](TextModes& m) { m.rotation = 1; }},
      {B({0x1B, 'M', '1'}), [](TextModes& m) { m.font = 1; }},
      {B({0x1B, ' ', 5}), [](TextModes& m) { m.right_spacing = 5; }},
      {B({0x1B, '3', 64}), [](TextModes& m) { m.line_spacing = 64; }},
      {B({0x1B, '3', 64, 0x1B, '2'}), [](TextModes&) {}},
      {B({0x1B, 'a', '2'}), [](TextModes& m) { m.align = 2; }},
      {B({0x1D, 'L', 16, 0}), [](TextModes& m) { m.left_margin = 16; }},
      {B({0x1D, 'W', 0, 1}), [](TextModes& m) { m.print_width = 256; }},
      {B({0x1B, 't', 18}),
       [](TextModes& m) { m.code_page = 18, m.encoding = TextEncoding::kSingleByte; }},
      {B({0x1B, 'R', 2}), [](TextModes& m) { m.international = 2; }},
      {B({0x1C, '.'}), [](TextModes& m) { m.encoding = TextEncoding::kSingleByte; }},
      {B({0x1C, '.', 0x1C, '&'}), [](TextModes&) {}},
      {B({0x1C, '!', 0x8C}),
       [](TextModes& m) {
         m.kanji_double_width = m.kanji_double_height = true, m.kanji_underline = 1;
       }},
      {B({0x1B, '%', 1}), [](TextModes& m) { m.user_chars = true; }},
      {B({0x1B, '!', 0xB9, 0x1D, 'B', 1, 0x1B, 't', 2, 0x1B, '@'}), [](TextModes&) {}},
  };
  for (const auto& [bytes, set] : cases) {
    TextModes want;
    set(want);
    EXPECT_TRUE(Print(bytes).modes == want) << escpos::EscapeBytes(bytes);
  }
}

TEST(EscPos, ModesChangeTheDots) {
  // A glyph of one column (x = 0): each mode leaves its own mark.
  const uint32_t addr = kAscii12x24Base + 48 * 'I';
  struct Case {
    std::string bytes;
    std::function<bool(int x, int y)> want;  // within the first 24 x 24 dots
  };
  const std::vector<Case> cases = {
      {"I\n", [](int x, int) { return x == 0; }},
      {B({0x1B, 'E', 1}) + "I\n", [](int x, int) { return x <= 1; }},
      {B({0x1B, '-', 2}) + "I\n", [](int x, int y) { return x == 0 || (y >= 22 && x < 12); }},
      {B({0x1D, 'B', 1}) + "I\n", [](int x, int) { return x >= 1 && x < 12; }},
      {B({0x1D, '!', 0x10}) + "I\n", [](int x, int) { return x <= 1; }},
      {B({0x1B, 'V', 1}) + "I\n", [](int x, int y) { return y == 0 && x < 24; }},
  };
  for (const Case& c : cases) {
    VirtualPrinter printer(BlankFlash());
    printer.state().flash.EraseSector(addr & ~0xFFFu);
    std::vector<uint8_t> glyph(48, 0);
    for (int y = 0; y < 24; ++y) glyph[static_cast<size_t>(2 * y)] = 0x80;
    // The sector holds other glyphs too: all of them are blank now, only this one is drawn.
    printer.state().flash.Write(addr, glyph);
    printer.Receive(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
    const Paper& paper = printer.paper();
    const int top = c.bytes.find('V') != std::string::npos ? 12 : 0;  // a turned glyph is 12 high
    for (int y = 0; y < 24 - top; ++y) {
      for (int x = 0; x < 24; ++x) {
        ASSERT_EQ(paper.Dot(x, y), c.want(x, y))
            << escpos::EscapeBytes(c.bytes) << " " << x << "," << y;
      }
    }
  }
  // Upside down, the line is turned over: the column lands at the right edge, bottom up.
  VirtualPrinter printer(BlankFlash());
  printer.state().flash.EraseSector(addr & ~0xFFFu);
  std::vector<uint8_t> glyph(48, 0);
  glyph[0] = 0x80;  // one dot, top left
  printer.state().flash.Write(addr, glyph);
  const std::string bytes = B({0x1B, '{', 1}) + "I\n";
  printer.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  EXPECT_TRUE(printer.paper().Dot(383, 23));
  EXPECT_FALSE(printer.paper().Dot(0, 0));
}

TEST(EscPos, CodePagesAndEncodingsGiveTheRightCharacters) {
  const std::vector<std::tuple<uint8_t, std::string, std::string>> cases = {
      {0, "\xD6\xD0\xCE\xC4", "中文"},                             // Chinese mode at start-up
      {0, B({0x1B, 't', 18, 0xAC, 0x9F}), "Čč"},                   // PC852
      {0, B({0x1B, 't', 17, 0x8F, 0xE0}), "Пр"},                   // PC866
      {0, B({0x1B, 't', 16, 0x80, 0xE9}), "€é"},                   // WPC1252
      {0, B({0x1B, 't', 19, 0xD5}), "€"},                          // PC858
      {0, B({0x1B, 't', 1, 0xB1, 0xDD}), "ｱﾝ"},                    // Katakana
      {0, B({0x1B, 't', 2, 0x9B, 0x1C, '&', 0xD6, 0xD0}), "ø中"},  // PC850, then FS &
      {0, B({0x1C, '.', 0xC9, 0xCD, 0xBB}), "╔═╗"},                // FS .: PC437
      {0, B({0x1B, 'R', 2, '@', '[', '~'}), "§Äß"},                // ESC R: Germany
      {1, "中é\xE2\x82\xAC", "中é€"},                              // charset 1: UTF-8
      {1, B({0x1B, '@'}) + "é", "é"},                              // ESC @ keeps it
      {2, B({'A', 0, 0x2D, 0x4E, 0xE9, 0, '\n', 0}), "A中é"},      // charset 2: UTF-16
  };
  for (const auto& [charset, bytes, want] : cases) {
    const Printout p = Print(bytes, charset);
    ASSERT_EQ(p.lines.size(), 1u) << want;
    EXPECT_EQ(p.lines[0], want);
  }

  // A code page character is drawn from its page's slot in the font flash.
  VirtualPrinter printer(BlankFlash());
  const uint32_t slot = kCodePage12x24Base + 18 * kCodePageBlock + 48 * (0xAC - 0x80);
  printer.state().flash.EraseSector(slot & ~0xFFFu);
  printer.state().flash.Write(slot, std::vector<uint8_t>{0x40});  // one dot at x = 1
  const std::string bytes = B({0x1B, 't', 18, 0xAC, '\n'});
  printer.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  EXPECT_TRUE(printer.paper().Dot(1, 0));
  EXPECT_FALSE(printer.paper().Dot(0, 0));
}

TEST(EscPos, UnknownCommandsAreSkippedAndReportedWithTheirOffsets) {
  const Printout p = Print("AB" + B({0x1B, 0x8F}) + "C" + B({0x1D, 'Y', 0x1C, 0x7E}) + "D\n");
  EXPECT_EQ(p.lines, std::vector<std::string>{"ABCD"});
  ASSERT_EQ(p.report.unknown.size(), 3u);
  EXPECT_EQ(p.report.unknown[0].offset, 2u);
  EXPECT_EQ(p.report.unknown[0].bytes, "1B 8F");
  EXPECT_EQ(p.report.unknown[1].offset, 5u);
  EXPECT_EQ(p.report.unknown[2].bytes, "1C 7E");
  const std::string json = p.report.ToJson();
  EXPECT_NE(json.find("{\"offset\": 2, \"bytes\": \"1B 8F\"}"), std::string::npos) << json;
}

TEST(EscPos, PageModePrintsThePageWhole) {
  // Two lines placed by GS $ in page mode, printed at FF; nothing prints before it.
  VirtualPrinter printer(BlankFlash());
  const std::string page =
      B({0x1B, 'L', 0x1D, '$', 100, 0}) + "B" + B({0x1D, '$', 0, 0}) + "A" + B({0x1B, 'J', 0});
  printer.Receive(reinterpret_cast<const uint8_t*>(page.data()), page.size());
  EXPECT_EQ(printer.paper().height(), 0);
  printer.Receive(std::vector<uint8_t>{0x0C, 'C', '\n'});
  const Paper& paper = printer.paper();
  EXPECT_TRUE(paper.Dot(0, 0));    // A at the top
  EXPECT_TRUE(paper.Dot(0, 100));  // B 100 dots down
  EXPECT_FALSE(paper.Dot(0, 50));
  EXPECT_TRUE(paper.Dot(0, 125));  // then standard mode again: C below the page
  EXPECT_GT(paper.height(), 130);
}

TEST(EscPos, StatusAndIdentityAreAnswered) {
  VirtualPrinter printer(BlankFlash());
  printer.state().paper = PaperLevel::kNearEnd;
  printer.Receive(std::vector<uint8_t>{0x1D, 'r', 1, 0x1D, 'I', 67, 0x1D, 'I', 65});
  std::vector<uint8_t> got(128);
  got.resize(printer.TakeReply(got.data(), got.size()));
  std::vector<uint8_t> want = {0x03, 0x5F};
  for (char c : std::string("Quillon virtual printer")) want.push_back(static_cast<uint8_t>(c));
  want.insert(want.end(), {0, 0x5F, 'V', 'P', '-', '1', '.', '0', 0});
  EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace quillon::vp::testing
