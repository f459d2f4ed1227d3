// Picture printing in GS v 0 bands and the screen boot logo, captured on a scripted printer.
#include "output/raster_print.h"

#include <gtest/gtest.h>

#include <vector>

#include "output/oem_logo.h"
#include "output_fixture.h"
#include "protocol/frame.h"

namespace quillon {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Grey(uint32_t v) {
  return 0xFF000000u | (v << 16) | (v << 8) | v;
}
Picture Uniform(int w, int h, uint32_t argb) {
  return Picture{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h, argb)};
}
Bytes Head(const Bytes& b) {
  return Bytes(b.begin(), b.begin() + 8);
}

TEST(RasterPrint, WorkedExampleGivesThreeBands) {
  testing::LinkFixture f;
  testing::RecordingFlowUi ui;
  // Black with one white column at the right, so each row ends in 0xFE.
  Picture p = Uniform(384, 50, Grey(0));
  for (int i = 0; i < 50; ++i) p.pixels[static_cast<size_t>(i) * 384 + 383] = Grey(255);
  ASSERT_TRUE(PrintPicture(f.link, p, ui));
  ASSERT_EQ(f.usb.writes.size(), 3u);
  EXPECT_EQ(Head(f.usb.writes[0]), (Bytes{0x1D, 0x76, 0x30, 0x00, 0x30, 0x00, 0x18, 0x00}));
  EXPECT_EQ(Head(f.usb.writes[1]), (Bytes{0x1D, 0x76, 0x30, 0x00, 0x30, 0x00, 0x18, 0x00}));
  EXPECT_EQ(Head(f.usb.writes[2]), (Bytes{0x1D, 0x76, 0x30, 0x00, 0x30, 0x00, 0x02, 0x00}));
  EXPECT_EQ(f.usb.writes[0].size(), 8u + 1152);
  EXPECT_EQ(f.usb.writes[1].size(), 8u + 1152);
  EXPECT_EQ(f.usb.writes[2].size(), 8u + 96);
  // The bands put together are the picture's raster.
  Bytes joined;
  for (const Bytes& w : f.usb.writes) joined.insert(joined.end(), w.begin() + 8, w.end());
  Bytes raster;
  uint16_t w = 0, h = 0;
  ASSERT_TRUE(BMP_Conv(p, raster, w, h, true));
  EXPECT_EQ(joined, raster);
  EXPECT_EQ(joined[47], 0xFE);
  EXPECT_EQ(f.usb.opens, 1);  // opened once for all bands
  EXPECT_EQ(f.usb.closes, 1);
  EXPECT_EQ(ui.progress_max, 50);
  EXPECT_EQ(ui.progress, (std::vector<int64_t>{0, 24, 48, 50}));
  EXPECT_TRUE(ui.msgs.boxes.empty());
}

TEST(RasterPrint, BandsOfAtMost24Rows) {
  for (auto [rows, bands] : {std::pair{24, 1u}, {25, 2u}, {1, 1u}, {48, 2u}, {49, 3u}}) {
    testing::LinkFixture f;
    testing::RecordingFlowUi ui;
    ASSERT_TRUE(PrintPicture(f.link, Uniform(10, rows, Grey(255)), ui));
    ASSERT_EQ(f.usb.writes.size(), bands) << rows;
    const Bytes& last = f.usb.writes.back();
    EXPECT_EQ(last[4], 2);  // 10 dots: two bytes a row
    EXPECT_EQ(last[6], rows - 24 * (bands - 1));
  }
}

TEST(RasterPrint, TooWideIsRefusedBeforeAnythingIsSent) {
  testing::LinkFixture f;
  testing::RecordingFlowUi ui;
  EXPECT_FALSE(PrintPicture(f.link, Uniform(1361, 2, Grey(0)), ui));
  EXPECT_TRUE(f.usb.writes.empty());
  EXPECT_EQ(f.usb.opens, 0);
  ASSERT_EQ(ui.msgs.boxes.size(), 1u);
  EXPECT_EQ(ui.msgs.boxes[0].first, kMsgWarning);
  EXPECT_NE(ui.msgs.boxes[0].second.find("1360"), std::string::npos);
  // 1360 dots is the widest that fits: 170 bytes x 24 rows = 4080.
  ASSERT_TRUE(PrintPicture(f.link, Uniform(1360, 30, Grey(0)), ui));
  EXPECT_EQ(f.usb.writes[0].size(), 8u + 170 * 24);
}

TEST(RasterPrint, CancelStopsBetweenBandsAndClosesTheLink) {
  testing::LinkFixture f;
  testing::RecordingFlowUi ui;
  ui.cancel_after = 2;
  EXPECT_FALSE(PrintPicture(f.link, Uniform(8, 100, Grey(0)), ui));
  EXPECT_EQ(f.usb.writes.size(), 2u);
  EXPECT_EQ(f.usb.closes, 1);
}

// A printer answering every command with an 8-byte reply (or a spoiled one).
void Answer(testing::LinkFixture& f, bool spoil) {
  f.usb.on_write = [spoil](const Bytes& req, testing::ScriptedUsb& usb) {
    const uint8_t ok = 0;
    Bytes reply = MakeFrame(kKindOrdinary, req[1], 1, {&ok, 1});
    if (spoil) reply.back() ^= 0x55;
    usb.QueueReply(reply);
  };
}

TEST(OemLogo, A128x64PictureIsOnePacket) {
  testing::LinkFixture f;
  Answer(f, false);
  testing::RecordingMessages msgs;
  Picture p = Uniform(128, 64, Grey(129));  // 129 is white: no dithering
  p.pixels[0] = Grey(128);                  // 128 is black
  ASSERT_TRUE(WriteOemLogo(f.esc, msgs, p));
  ASSERT_EQ(f.usb.writes.size(), 1u);
  const Bytes& pkt = f.usb.writes[0];
  ASSERT_EQ(pkt.size(), 1035u);
  EXPECT_EQ(Bytes(pkt.begin(), pkt.begin() + 10),
            (Bytes{0x10, 0xC0, 0x01, 0x00, 0x04, 0x04, 0x00, 0x04, 0x00, 0x00}));
  EXPECT_EQ(pkt[10], 0x80);
  EXPECT_EQ(Bytes(pkt.begin() + 11, pkt.end() - 1), Bytes(1023, 0x00));
  auto parsed = ParseFrame(pkt);
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->checksum_ok);
  ASSERT_EQ(msgs.boxes.size(), 1u);
  EXPECT_EQ(msgs.boxes[0], std::make_pair(int{kMsgInfo}, std::string("text of MSG018")));
}

TEST(OemLogo, BadReplyOrTooLargeGivesAMessage) {
  {
    testing::LinkFixture f;
    Answer(f, true);
    testing::RecordingMessages msgs;
    EXPECT_FALSE(WriteOemLogo(f.esc, msgs, Uniform(128, 64, Grey(0))));
    ASSERT_EQ(msgs.boxes.size(), 1u);
    EXPECT_EQ(msgs.boxes[0], std::make_pair(int{kMsgWarning}, std::string("text of MSG017")));
  }
  {
    // 248 x 132 is 4092 raster bytes, the most one packet carries.
    testing::LinkFixture f;
    Answer(f, false);
    testing::RecordingMessages msgs;
    EXPECT_TRUE(WriteOemLogo(f.esc, msgs, Uniform(248, 132, Grey(0))));
    ASSERT_EQ(f.usb.writes.size(), 1u);
    EXPECT_EQ(f.usb.writes[0].size(), 4096u + 7);
  }
  {
    testing::LinkFixture f;
    Answer(f, false);
    testing::RecordingMessages msgs;
    EXPECT_FALSE(WriteOemLogo(f.esc, msgs, Uniform(256, 128, Grey(0))));
    EXPECT_TRUE(f.usb.writes.empty());
    ASSERT_EQ(msgs.boxes.size(), 1u);
    EXPECT_EQ(msgs.boxes[0].first, kMsgWarning);
    EXPECT_NE(msgs.boxes[0].second.find("4092"), std::string::npos);
  }
}

}  // namespace
}  // namespace quillon
