// Bar codes and 2D symbols as a scanner reads them: each kind, at module widths 2 and 3,
// decodes to its data; the test buttons' bar code and QR code decode to "1234667890"; data
// a printer refuses prints nothing and is reported.

#include <gtest/gtest.h>

#include "symbol_reader.h"
#include "virtualprinter/escpos_renderer.h"
#include "vp_rig.h"

namespace quillon::vp::testing {
namespace {

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

std::string GsK(int m, const std::string& data) {
  return B({0x1D, 'k', m, static_cast<int>(data.size())}) + data;
}

// GS ( k: store data for symbol type cn, then print it, after the given settings.
std::string TwoD(int cn, const std::string& settings, const std::string& data) {
  const int len = static_cast<int>(data.size()) + 3;
  return settings + B({0x1D, '(', 'k', len & 0xFF, len >> 8, cn, 'P', '0'}) + data +
         B({0x1D, '(', 'k', 3, 0, cn, 'Q', '0'});
}

std::string Fn(int cn, int fn, int n) {
  return B({0x1D, '(', 'k', 3, 0, cn, fn, n});
}

struct Printed {
  Grey paper;
  escpos::Report report;
};

Printed Print(const std::string& bytes) {
  VirtualPrinter::Options o = BlankFlash();
  o.paper_width = 576;
  VirtualPrinter printer(o);
  printer.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  Printed out;
  printer.WithRenderer([&](EscPosRenderer& r) {
    r.FlushLine();
    out.report = r.report();
  });
  const Paper& p = printer.paper();
  out.paper.width = p.width();
  out.paper.height = std::max(1, p.height());
  out.paper.dots.assign(static_cast<size_t>(out.paper.width) * out.paper.height, 255);
  for (int y = 0; y < out.paper.height; ++y) {
    for (int x = 0; x < out.paper.width; ++x) {
      if (p.Dot(x, y)) out.paper.dots[static_cast<size_t>(y) * out.paper.width + x] = 0;
    }
  }
  return out;
}

TEST(EscPosSymbols, EveryKindDecodesToItsDataAtModuleWidthsTwoAndThree) {
  struct Case {
    std::string name, want;
    std::function<std::string(int module)> bytes;
  };
  auto linear = [](int m, std::string data) {
    return [m, data](int module) { return B({0x1D, 'w', module, 0x1D, 'h', 80}) + GsK(m, data); };
  };
  const std::vector<Case> cases = {
      {"UPC-A", "012345678905", linear(65, "01234567890")},
      {"UPC-E", "01234565",
       [](int module) {
         return B({0x1D, 'w', module}) + B({0x1D, 'k', 1}) + "0123456" + B({0});  // form A
       }},
      {"EAN13", "3130630574613", linear(67, "313063057461")},
      {"EAN8", "90311017", linear(68, "90311017")},
      {"CODE39", "ABC-123", linear(69, "ABC-123")},
      {"ITF", "12345678", linear(70, "12345678")},
      {"CODABAR", "A40156B", linear(71, "A40156B")},
      {"CODE93", "CODE93", linear(72, "CODE93")},
      {"CODE128 B", "Shop-42", linear(73, "{BShop-42")},
      {"CODE128 C", "123456", linear(73, B({'{', 'C', 12, 34, 56}))},
      {"QR", "https://example.com/q?1",
       [](int module) { return TwoD(49, Fn(49, 'C', module), "https://example.com/q?1"); }},
      {"PDF417", "Quillon PDF417",
       [](int module) { return TwoD(48, Fn(48, 'C', module), "Quillon PDF417"); }},
      {"DataMatrix", "Quillon DM",
       [](int module) { return TwoD(54, Fn(54, 'C', module), "Quillon DM"); }},
      {"Aztec", "Quillon Aztec",
       [](int module) { return TwoD(53, Fn(53, 'C', module), "Quillon Aztec"); }},
      // The test buttons, as they are sent (module 2), and at module 3.
      {"test button bar code", "1234667890",
       [](int module) {
         return B({0x1D, 'h', 50, 0x1D, 'w', module}) + GsK(73, "1234667890");
       }},
      {"test button QR code", "1234667890",
       [](int module) {
         return B({0x1B, 'Z', 1, 1, module, 10, 0}) + "1234667890";
       }},
  };
  for (const Case& c : cases) {
    for (int module : {2, 3}) {
      const Printed p = Print(c.bytes(module));
      ASSERT_EQ(p.report.symbols.size(), 1u) << c.name;
      const auto& s = p.report.symbols[0];
      ASSERT_TRUE(s.printed) << c.name << ": " << s.error;
      EXPECT_EQ(ReadSymbol(p.paper, s.x, s.y, s.w, s.h), c.want) << c.name << " module " << module;
    }
  }
}

TEST(EscPosSymbols, DataAPrinterRefusesPrintsNothingAndIsReported) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {GsK(67, "4126570807191"), "check digit"},  // EAN-13 whose check digit is wrong
      {GsK(67, "41265A080719"), "digits"},        // a letter in EAN-13
      {GsK(65, "123"), "digits"},                 // UPC-A too short
      {GsK(66, "12345678901"), "UPC-E"},          // UPC-A without a UPC-E form
      {GsK(69, "abc"), "CODE39"},                 // lower case in CODE39
      {GsK(70, "123"), "even"},                   // odd ITF
      {GsK(71, "12345"), "CODABAR"},              // CODABAR without start and stop
      {GsK(73, B({'{', 'C', 150})), "0..99"},     // code set C value out of range
      {B({0x1D, 'w', 6}) + GsK(73, "{B" + std::string(60, 'x')), "dots wide"},  // too wide
      {B({0x1D, '(', 'k', 3, 0, 49, 'Q', '0'}), "no data"},  // QR printed with nothing stored
  };
  for (const auto& [bytes, reason] : cases) {
    const Printed p = Print(bytes);
    ASSERT_EQ(p.report.symbols.size(), 1u) << reason;
    EXPECT_FALSE(p.report.symbols[0].printed) << reason;
    EXPECT_NE(p.report.symbols[0].error.find(reason), std::string::npos)
        << p.report.symbols[0].error;
    EXPECT_TRUE(std::all_of(p.paper.dots.begin(), p.paper.dots.end(), [](uint8_t d) {
      return d == 255;
    })) << reason;
  }
}

TEST(EscPosSymbols, TheHumanReadableTextShowsTheDataWithoutCodeSetPrefixes) {
  // GS H 2: text below the bars, with the 12x24 font (blank flash: every glyph a block).
  const Printed p =
      Print(B({0x1D, 'H', 2, 0x1D, 'h', 40, 0x1D, 'w', 2}) + GsK(73, "{B4126570807191"));
  ASSERT_EQ(p.report.symbols.size(), 1u);
  const auto& s = p.report.symbols[0];
  ASSERT_TRUE(s.printed);
  int dark_columns = 0;  // glyph blocks in the text row under the bars
  const int row = s.y + s.h + 2 + 12;
  for (int x = 0; x < p.paper.width; ++x)
    dark_columns += p.paper.dots[static_cast<size_t>(row) * p.paper.width + x] == 0;
  EXPECT_EQ(dark_columns, 13 * 12);  // "4126570807191": 13 characters, no "{B"
}

}  // namespace
}  // namespace quillon::vp::testing
