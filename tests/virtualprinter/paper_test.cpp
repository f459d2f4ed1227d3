// Raw output on the virtual paper: raster bands dot for dot, text from the flash glyphs,
// sizes and alignment, packets mixed into the stream, and the PNG file.

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>

#include "protocol/printer_status.h"
#include "virtualprinter/escpos_renderer.h"
#include "vp_rig.h"

namespace quillon::vp::testing {
namespace {

// A 12x24 glyph with a dot in column 0 and one on a diagonal, so rows differ.
bool Pattern12(int x, int y) {
  return x == 0 || x == y % 12;
}

std::vector<uint8_t> Glyph12() {
  std::vector<uint8_t> g(48, 0);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 12; ++x) {
      if (Pattern12(x, y))
        g[static_cast<size_t>(y * 2 + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return g;
}

// Downloads one glyph the way the font page does: erase its sector, write the bytes.
void PutGlyph(VpRig& rig, uint32_t addr, const std::vector<uint8_t>& glyph) {
  rig.link.OpenUsb();
  ASSERT_TRUE(rig.esc.cmd_flash_erase(addr & ~0xFFFu, 1));
  ASSERT_TRUE(rig.esc.cmd_flash_write(addr, static_cast<uint32_t>(glyph.size()), glyph.data()));
  rig.link.CloseUSB();
}

// Checks the dots of a box of the paper against an expectation.
void ExpectDots(const Paper& paper, int x0, int y0, int w, int h,
                const std::function<bool(int, int)>& want) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(paper.Dot(x0 + x, y0 + y), want(x, y)) << "dot " << x0 + x << "," << y0 + y;
    }
  }
}

TEST(VirtualPaper, ARasterBandLandsDotForDot) {
  VpRig rig;
  const std::vector<uint8_t> rows = {0x80, 0x01, 0xFF, 0x00, 0x00, 0xFF};
  std::vector<uint8_t> cmd = {0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x03, 0x00};
  cmd.insert(cmd.end(), rows.begin(), rows.end());
  // Sent in two writes, cut inside the second row: that row waits for its last byte.
  rig.SendRaw(std::span<const uint8_t>(cmd.data(), 11));
  EXPECT_EQ(rig.printer.paper().height(), 1);
  rig.link.OpenUsb();
  rig.link.SendAndRecv(cmd.data() + 11, static_cast<int32_t>(cmd.size() - 11), {}, 0, 0);
  rig.link.CloseUSB();

  const Paper& paper = rig.printer.paper();
  EXPECT_EQ(paper.height(), 3);
  ExpectDots(paper, 0, 0, paper.width(), 3, [&](int x, int y) {
    if (x >= 16) return false;
    return ((rows[static_cast<size_t>(y * 2 + x / 8)] >> (7 - x % 8)) & 1) != 0;
  });
}

TEST(VirtualPaper, TextIsDrawnWithTheGlyphsInTheFlash) {
  VpRig rig;
  PutGlyph(rig, kAscii12x24Base + 48 * 'A', Glyph12());
  rig.SendRaw("A\n");
  const Paper& paper = rig.printer.paper();
  ExpectDots(paper, 0, 0, 40, 24, [](int x, int y) { return x < 12 && Pattern12(x, y); });
  EXPECT_EQ(paper.height(), 24 + EscPosRenderer::kLineGap);

  // A GB18030 character uses its 24x24 glyph.
  std::vector<uint8_t> hz(72, 0);
  for (int y = 0; y < 24; ++y)
    hz[static_cast<size_t>(y * 3 + y / 8)] = static_cast<uint8_t>(0x80 >> (y % 8));
  PutGlyph(rig, static_cast<uint32_t>(Gb18030GlyphAddress(0xB0, 0xA1)), hz);
  const int top = paper.height();
  rig.SendRaw(std::string("\xB0\xA1\n"));
  ExpectDots(paper, 0, top, 30, 24, [](int x, int y) { return x == y; });
}

TEST(VirtualPaper, SizesAndAlignmentApplyToTheGlyphs) {
  VpRig rig;
  PutGlyph(rig, kAscii12x24Base + 48 * 'A', Glyph12());
  const Paper& paper = rig.printer.paper();

  rig.SendRaw(
      std::string("\x1D\x21\x10"
                  "A\n",
                  5));  // double width
  ExpectDots(paper, 0, 0, 30, 24, [](int x, int y) { return x < 24 && Pattern12(x / 2, y); });

  int top = paper.height();
  rig.SendRaw(
      std::string("\x1D\x21\x01"
                  "A\n",
                  5));  // double height
  ExpectDots(paper, 0, top, 14, 48, [](int x, int y) { return x < 12 && Pattern12(x, y / 2); });

  top = paper.height();
  rig.SendRaw(
      std::string("\x1D\x21\x00\x1B\x61\x02"
                  "A\n",
                  8));  // right
  ExpectDots(paper, paper.width() - 14, top, 14, 24,
             [](int x, int y) { return x >= 2 && Pattern12(x - 2, y); });

  top = paper.height();
  rig.SendRaw(
      std::string("\x1B\x61\x01"
                  "A\n",
                  5));  // centre
  const int centre = (paper.width() - 12) / 2;
  ExpectDots(paper, centre - 1, top, 14, 24,
             [](int x, int y) { return x >= 1 && x < 13 && Pattern12(x - 1, y); });

  top = paper.height();
  rig.SendRaw(
      std::string("\x1B\x40"
                  "A\n",
                  4));  // ESC @ brings back left, normal size
  ExpectDots(paper, 0, top, 14, 24, [](int x, int y) { return x < 12 && Pattern12(x, y); });
}

TEST(VirtualPaper, PacketsInsideRawOutputAreAnsweredAndNotPrinted) {
  VpRig rig;  // erased flash: every glyph is a solid 12x24 block
  rig.printer.state().settings.language = 4;
  std::vector<uint8_t> stream = {'A', 'B'};
  const auto query = MakeFrame(kKindOrdinary, 0xA1, 0, {});
  stream.insert(stream.end(), query.begin(), query.end());
  stream.insert(stream.end(), {'C', '\n'});
  const auto reply = Exchange(rig.printer, stream);
  ASSERT_EQ(reply.size(), 8u);
  EXPECT_EQ(reply[6], 4);
  EXPECT_TRUE(rig.printer.paper().Dot(35, 10));
  EXPECT_FALSE(rig.printer.paper().Dot(36, 10));  // three glyphs, no more

  // A packet split over two writes is answered once it is whole.
  rig.printer.Receive(query.data(), 3);
  uint8_t buf[16];
  EXPECT_EQ(rig.printer.TakeReply(buf, sizeof buf), 0u);
  rig.printer.Receive(query.data() + 3, query.size() - 3);
  EXPECT_EQ(rig.printer.TakeReply(buf, sizeof buf), 8u);
}

TEST(VirtualPaper, OtherCommandsLeaveMarksAndThePngHoldsThePaper) {
  VpRig rig;
  const std::string marks[] = {std::string("\x1D\x68\x32\x1D\x77\x02\x1D\x6B\x49\x0A"
                                           "1234667890",
                                           20),
                               std::string("\x1B\x5A\x01\x01\x02\x0A\x00"
                                           "1234667890",
                                           17),
                               std::string("\x1B\x70\x00\x00\x00", 5), std::string("\x12\x54"),
                               std::string("\x1D\x53")};
  for (const std::string& m : marks) {
    const int before = rig.printer.paper().height();
    rig.SendRaw(m);
    EXPECT_GT(rig.printer.paper().height(), before) << "no mark for " << m.size() << " bytes";
  }

  const std::string path = ::testing::TempDir() + "vp_paper.png";
  std::string error;
  ASSERT_TRUE(rig.printer.SavePng(path, error)) << error;
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> png((std::istreambuf_iterator<char>(f)), {});
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1A\n", 8));
  auto be32 = [&](size_t at) {
    return uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 | uint32_t{png[at + 2]} << 8 |
           png[at + 3];
  };
  EXPECT_EQ(be32(16), 384u);
  const uint32_t height = be32(20);
  EXPECT_EQ(height, static_cast<uint32_t>(rig.printer.paper().height()));
  // Unpack the picture and compare every row with the paper (PNG 0 = black).
  const uint32_t idat_len = be32(33);
  ASSERT_EQ(0, std::memcmp(png.data() + 37, "IDAT", 4));
  std::vector<uint8_t> raw(height * 49);
  uLongf raw_len = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &raw_len, png.data() + 41, idat_len), Z_OK);
  ASSERT_EQ(raw_len, raw.size());
  for (uint32_t y = 0; y < height; ++y) {
    for (int x = 0; x < 384; ++x) {
      const bool black = !((raw[y * 49 + 1 + static_cast<uint32_t>(x / 8)] >> (7 - x % 8)) & 1);
      ASSERT_EQ(black, rig.printer.paper().Dot(x, static_cast<int>(y))) << x << "," << y;
    }
  }
  std::remove(path.c_str());
}

TEST(VirtualPaper, StatusFollowsPaperAndCoverAndPaperOutStopsPrinting) {
  VpRig rig;
  EXPECT_TRUE(QueryPrinterStatus(rig.link).ready());
  rig.printer.state().paper = PaperLevel::kNearEnd;
  PrinterStatus st = QueryPrinterStatus(rig.link);
  EXPECT_TRUE(st.ready() && st.paper_near_end && !st.paper_out);

  rig.printer.state().paper = PaperLevel::kOut;
  st = QueryPrinterStatus(rig.link);
  EXPECT_EQ(st.reply, (std::array<std::optional<uint8_t>, 4>{0x1A, 0x32, 0x12, 0x7E}));
  rig.SendRaw(
      "\x1b"
      "d\x05");  // feed five lines: nothing moves without paper
  EXPECT_EQ(rig.printer.paper().height(), 0);
  rig.printer.state().paper = PaperLevel::kPresent;
  rig.printer.state().cover_open = true;
  EXPECT_EQ(QueryPrinterStatus(rig.link).NotReadyReason(), "cover open");
  rig.printer.state().cover_open = false;
  rig.SendRaw(
      "\x1b"
      "d\x05");
  EXPECT_GT(rig.printer.paper().height(), 0);

  // A status byte later than the per-request wait counts as no reply.
  Faults late;
  late.delay_ms = kStatusReplyWaitMs + 100;
  late.fault_code = 0x04;
  rig.printer.SetFaults(late);
  EXPECT_EQ(QueryPrinterStatus(rig.link).NotReadyReason(), "no status reply");
  uint8_t v = 0;
  EXPECT_TRUE(rig.esc.cmd_language(0, v));  // other replies are not delayed
}

}  // namespace
}  // namespace quillon::vp::testing
