// The RFID reader commands: packets, status byte, card serial copy, and replies that are
// missing or too short.
#include <gtest/gtest.h>

#include "esc_fixture.h"

namespace quillon::testing {
namespace {

using RfidCommandTest = EscCmdTest;

TEST_F(RfidCommandTest, ResetHaltAndReadOnTheWire) {
  AnswerWith(Reply(0x86, {0x01}));
  ASSERT_TRUE(esc.cmd_rfid_reset(1));
  EXPECT_EQ(LastWrite(), (Bytes{0x10, 0x86, 0x01, 0x00, 0x00, 0x00, 0x97}));
  ASSERT_TRUE(esc.cmd_rfid_halt(1));
  EXPECT_EQ(LastWrite(), (Bytes{0x10, 0x87, 0x01, 0x00, 0x00, 0x00, 0x98}));

  Bytes block(17, 0);
  block[0] = 1;
  for (int i = 1; i <= 16; ++i) block[i] = static_cast<uint8_t>(0xA0 + i);
  AnswerWith(Reply(0x84, block));
  uint8_t data[16] = {};
  ASSERT_TRUE(esc.cmd_rfid_read(1, 4, data));
  EXPECT_EQ(LastWrite(), (Bytes{0x10, 0x84, 0x01, 0x00, 0x01, 0x00, 0x04, 0x9A}));
  EXPECT_EQ(Bytes(data, data + 16), Bytes(block.begin() + 1, block.end()));

  // The builders open the link and leave it open for the dialog to close.
  EXPECT_TRUE(link.USB().hDevHandle);
  EXPECT_EQ(usb.opens - usb.closes, 1);
}

TEST_F(RfidCommandTest, StatusZeroFailsAndReadCopiesNothing) {
  uint8_t data[16];
  std::fill(std::begin(data), std::end(data), 0x11);
  Bytes refused(17, 0x77);
  refused[0] = 0;
  AnswerWith(Reply(0x84, refused));
  EXPECT_FALSE(esc.cmd_rfid_read(1, 8, data));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kRefused);
  EXPECT_EQ(data[0], 0x11);
  // Status fine but the block is cut short.
  AnswerWith(Reply(0x84, {0x01, 0x22, 0x22}));
  EXPECT_FALSE(esc.cmd_rfid_read(1, 8, data));
  EXPECT_EQ(data[0], 0x11);

  const uint8_t block[16] = {};
  AnswerWith(Reply(0x85, {0x00}));
  EXPECT_FALSE(esc.cmd_rfid_write(1, 7, block));
  EXPECT_EQ(LastWrite().size(), 7u + 17);
  EXPECT_EQ(LastWrite()[6], 7);
  AnswerWith(Reply(0x85, {}));  // no status byte
  EXPECT_FALSE(esc.cmd_rfid_write(1, 7, block));
}

TEST_F(RfidCommandTest, AuthSendsAndUpdatesTheCardSerial) {
  const uint8_t key[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  uint8_t snr[4] = {0, 0, 0, 0};
  AnswerWith(Reply(0x83, {0x01, 0xDE, 0xAD, 0xBE, 0xEF}));
  ASSERT_TRUE(esc.cmd_rfid_auth(1, 0x60, 8, key, snr));
  EXPECT_EQ(
      LastWrite(),
      MakeFrame(0x10, 0x83, 1, Bytes{0x60, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(snr, snr + 4), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));

  // The serial goes out in the next request and is copied even from a refusal.
  AnswerWith(Reply(0x83, {0x00, 1, 2, 3, 4}));
  EXPECT_FALSE(esc.cmd_rfid_auth(1, 0x61, 60, key, snr));
  EXPECT_EQ(Bytes(LastWrite().begin() + 14, LastWrite().begin() + 18),
            (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(Bytes(snr, snr + 4), (Bytes{1, 2, 3, 4}));
}

TEST_F(RfidCommandTest, NoReplyNeverReusesThePreviousAnswer) {
  AnswerWith(Reply(0x86, {0x01}));
  ASSERT_TRUE(esc.cmd_rfid_reset(1));
  usb.on_write = nullptr;
  EXPECT_FALSE(esc.cmd_rfid_reset(1));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kNoReply);
  EXPECT_FALSE(esc.cmd_rfid_halt(1));

  uint8_t snr[4] = {9, 9, 9, 9};
  const uint8_t key[6] = {};
  AnswerWith(Reply(0x83, {0x01, 1, 2, 3, 4}));
  ASSERT_TRUE(esc.cmd_rfid_auth(1, 0x60, 0, key, snr));
  std::fill(std::begin(snr), std::end(snr), 9);
  usb.on_write = nullptr;
  EXPECT_FALSE(esc.cmd_rfid_auth(1, 0x60, 0, key, snr));
  EXPECT_EQ(snr[0], 9);
  // A status byte but no serial: nothing copied, no success claimed.
  AnswerWith(Reply(0x83, {0x01}));
  EXPECT_FALSE(esc.cmd_rfid_auth(1, 0x60, 0, key, snr));
  EXPECT_EQ(snr[0], 9);
}

}  // namespace
}  // namespace quillon::testing
