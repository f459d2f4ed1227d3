// Packet framing: checksum, ordinary and boot packets, and the reply parse with its bounds.
#include "protocol/frame.h"

#include <gtest/gtest.h>

#include "esc_fixture.h"

namespace quillon::testing {
namespace {

TEST(FrameTest, ChecksumAndLayoutOfKnownPackets) {
  EXPECT_EQ(MakeFrame(0x10, 0xA1, 0, {}), (Bytes{0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1}));
  const Bytes two{0x02};
  EXPECT_EQ(MakeFrame(0x10, 0xA1, 1, two), (Bytes{0x10, 0xA1, 0x01, 0x00, 0x01, 0x00, 0x02, 0xB5}));
  // Image size 74565 = 0x012345, little-endian in a boot packet.
  const Bytes size{0x45, 0x23, 0x01, 0x00};
  EXPECT_EQ(MakeFrame(0x04, 0xF0, 1, size),
            (Bytes{0x04, 0xF0, 0x01, 0x00, 0x04, 0x00, 0x45, 0x23, 0x01, 0x00, 0x62}));
  // The sum wraps modulo 256 with no seed or complement.
  TCMD h;
  h.cmd[0] = 0x10;
  h.cmd[1] = 0xFF;
  h.opera = 0xFFFF;
  EXPECT_EQ(cmd_getcrc(h), 0x0D);
  // Opera and size enter the sum by both bytes.
  h = TCMD{};
  h.opera = 0x0102;
  h.size = 0;
  EXPECT_EQ(cmd_getcrc(h), 0x03);
}

TEST(FrameTest, ParseFindsChecksumAfterDataAndNeverReadsPastTheBytes) {
  const Bytes reply{0x10, 0xA1, 0x00, 0x00, 0x01, 0x00, 0x02, 0xB4};
  auto f = ParseFrame(reply);
  ASSERT_TRUE(f);
  EXPECT_TRUE(f->checksum_ok);
  EXPECT_EQ(f->length, 8u);
  ASSERT_NE(f->header.data, nullptr);
  EXPECT_EQ(f->header.data[0], 2);

  const Bytes empty{0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1};
  f = ParseFrame(empty);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->header.data, nullptr);
  EXPECT_EQ(f->header.crc, 0xB1);

  EXPECT_FALSE(ParseFrame(Bytes(reply.begin(), reply.end() - 1)));  // checksum missing
  EXPECT_FALSE(ParseFrame(Bytes{0x10, 0xA1, 0x00, 0x00, 0x00, 0x00}));
  const Bytes bad{0x10, 0xA1, 0x00, 0x00, 0x01, 0x00, 0x02, 0xB5};
  f = ParseFrame(bad);
  ASSERT_TRUE(f);
  EXPECT_FALSE(f->checksum_ok);
}

TEST_F(EscCmdTest, CreatePackFillsCmdbufAndCopiesTheDataAtOnce) {
  uint8_t data[3] = {0x41, 0x42, 0x43};
  EXPECT_EQ(esc.cmd_create_pack(0xA7, 1, 3, data), 10);
  data[0] = 0;  // the packet keeps the bytes it was built from
  EXPECT_EQ(Bytes(esc.cmdbuf, esc.cmdbuf + 10),
            (Bytes{0x10, 0xA7, 0x01, 0x00, 0x03, 0x00, 0x41, 0x42, 0x43, 0x81}));
  EXPECT_EQ(esc.cmd.crc, 0x81);

  // A packet without data ignores the pointer.
  EXPECT_EQ(esc.cmd_create_pack(0xA1, 0, 0, data), 7);
  EXPECT_EQ(Bytes(esc.cmdbuf, esc.cmdbuf + 7), (Bytes{0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1}));
}

TEST_F(EscCmdTest, BootAndOrdinaryPacketsDifferInKindAndChecksumOnly) {
  const uint8_t data[4] = {1, 2, 3, 4};
  esc.cmdsize = esc.cmd_create_pack(0xF2, 1, 4, data);
  const Bytes ordinary = Sent();
  esc.cmdsize = esc.cmd_create_bootpack(0xF2, 1, 4, data);
  const Bytes boot = Sent();
  ASSERT_EQ(ordinary.size(), 11u);
  ASSERT_EQ(boot.size(), 11u);
  EXPECT_EQ(ordinary[0], 0x10);
  EXPECT_EQ(boot[0], 0x04);
  EXPECT_EQ(static_cast<uint8_t>(ordinary.back() - boot.back()), 0x0C);
  EXPECT_TRUE(std::equal(ordinary.begin() + 1, ordinary.end() - 1, boot.begin() + 1));
}

TEST_F(EscCmdTest, BuildPackRejectsASizeBeyondTheBytesOrTheReplyBuffer) {
  const Bytes sized0{0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1, 0xEE};
  std::copy(sized0.begin(), sized0.end(), esc.retbuf);
  ASSERT_TRUE(esc.cmd_build_pack(esc.retbuf, 8));
  EXPECT_EQ(esc.ret.data, nullptr);
  EXPECT_EQ(esc.ret.crc, 0xB1);
  EXPECT_EQ(cmd_getcrc(esc.ret), esc.ret.crc);

  // size 2 but only 8 bytes arrived: the checksum would lie past them.
  const Bytes short_reply{0x10, 0xA1, 0x00, 0x00, 0x02, 0x00, 0x02, 0xB5};
  std::copy(short_reply.begin(), short_reply.end(), esc.retbuf);
  esc.ret = TCMD{};
  EXPECT_FALSE(esc.cmd_build_pack(esc.retbuf, 8));
  EXPECT_EQ(esc.ret.cmd[1], 0);  // ret untouched

  // size 200 points past the 128-byte reply buffer even if the caller claims more bytes.
  std::fill(std::begin(esc.retbuf), std::end(esc.retbuf), 0);
  esc.retbuf[0] = 0x10;
  esc.retbuf[4] = 200;
  EXPECT_FALSE(esc.cmd_build_pack(esc.retbuf, 1000));
  // 121 data bytes is the largest reply that fits.
  const Bytes big = MakeFrame(0x10, 0xAA, 0, Bytes(121, 0x33));
  std::copy(big.begin(), big.end(), esc.retbuf);
  EXPECT_TRUE(esc.cmd_build_pack(esc.retbuf, 128));
  EXPECT_EQ(esc.ret.size, 121);
}

}  // namespace
}  // namespace quillon::testing
