// The card in the reader: authentication opens one sector, keys live in the trailers.

#include <gtest/gtest.h>

#include "vp_rig.h"

namespace quillon::vp::testing {
namespace {

const uint8_t kFF[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const uint8_t kRollKey[6] = {0x51, 0x75, 0x69, 0x6C, 0x6C, 0x6E};

TEST(VirtualPrinterRfid, ReadsAndWritesNeedTheOpenSector) {
  VpRig rig;
  uint8_t block[16] = {};
  uint8_t snr[4] = {};
  EXPECT_FALSE(rig.esc.cmd_rfid_read(1, 4, block));

  ASSERT_TRUE(rig.esc.cmd_rfid_auth(1, kKeyModeA, 4, kFF, snr));
  EXPECT_EQ(0, std::memcmp(snr, RfidCard::kSerial.data(), 4));
  const uint8_t data[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  ASSERT_TRUE(rig.esc.cmd_rfid_write(1, 5, data));
  ASSERT_TRUE(rig.esc.cmd_rfid_read(1, 5, block));
  EXPECT_EQ(0, std::memcmp(block, data, 16));
  EXPECT_EQ(rig.esc.retsize, 24);
  EXPECT_FALSE(rig.esc.cmd_rfid_read(1, 8, block));  // sector 2 is not open
  EXPECT_FALSE(rig.esc.cmd_rfid_write(1, 3, data));  // nor is sector 0

  // Reset and halt close the sector.
  ASSERT_TRUE(rig.esc.cmd_rfid_reset(1));
  EXPECT_FALSE(rig.esc.cmd_rfid_read(1, 5, block));
  ASSERT_TRUE(rig.esc.cmd_rfid_auth(1, kKeyModeB, 6, kFF, snr));
  ASSERT_TRUE(rig.esc.cmd_rfid_halt(1));
  EXPECT_FALSE(rig.esc.cmd_rfid_read(1, 5, block));

  // The manufacturer block can be read but never written.
  ASSERT_TRUE(rig.esc.cmd_rfid_auth(1, kKeyModeA, 0, kFF, snr));
  ASSERT_TRUE(rig.esc.cmd_rfid_read(1, 0, block));
  EXPECT_EQ(0, std::memcmp(block, RfidCard::kSerial.data(), 4));
  EXPECT_FALSE(rig.esc.cmd_rfid_write(1, 0, data));
  rig.link.CloseUSB();
}

TEST(VirtualPrinterRfid, AWrongKeyFailsButStillReportsTheSerial) {
  VpRig rig;
  uint8_t snr[4] = {};
  uint8_t block[16] = {};
  ASSERT_TRUE(rig.esc.cmd_rfid_auth(1, kKeyModeA, 4, kFF, snr));
  std::memset(snr, 0, 4);
  EXPECT_FALSE(rig.esc.cmd_rfid_auth(1, kKeyModeA, 4, kRollKey, snr));
  EXPECT_EQ(rig.esc.last_failure(), CmdFailure::kRefused);
  EXPECT_EQ(0, std::memcmp(snr, RfidCard::kSerial.data(), 4));
  EXPECT_FALSE(rig.esc.cmd_rfid_read(1, 4, block));  // the failed attempt closed the sector
  EXPECT_FALSE(rig.esc.cmd_rfid_auth(1, 0x62, 4, kFF, snr));        // no such key mode
  EXPECT_FALSE(rig.esc.cmd_rfid_auth(1, kKeyModeA, 64, kFF, snr));  // no such block
  rig.link.CloseUSB();
}

TEST(VirtualPrinterRfid, RewritingTheTrailerChangesTheKeys) {
  VpRig rig;
  uint8_t snr[4] = {};
  uint8_t keys[16] = {};
  // The paper roll flow: open sector 0 with key B, put the roll key into both slots.
  ASSERT_TRUE(rig.esc.cmd_rfid_auth(1, kKeyModeB, 1, kFF, snr));
  ASSERT_TRUE(rig.esc.cmd_rfid_read(1, 3, keys));
  std::memcpy(keys, kRollKey, 6);
  std::memcpy(keys + 10, kRollKey, 6);
  ASSERT_TRUE(rig.esc.cmd_rfid_write(1, 3, keys));
  ASSERT_TRUE(rig.esc.cmd_rfid_reset(1));

  EXPECT_FALSE(rig.esc.cmd_rfid_auth(1, kKeyModeB, 1, kFF, snr));
  EXPECT_TRUE(rig.esc.cmd_rfid_auth(1, kKeyModeB, 1, kRollKey, snr));
  EXPECT_TRUE(rig.esc.cmd_rfid_auth(1, kKeyModeA, 2, kRollKey, snr));
  uint8_t access[16] = {};
  ASSERT_TRUE(rig.esc.cmd_rfid_read(1, 3, access));
  EXPECT_EQ(0, std::memcmp(access + 6, RfidCard::kBlankAccess.data(), 4));
  // Other sectors keep the transport key.
  EXPECT_TRUE(rig.esc.cmd_rfid_auth(1, kKeyModeA, 4, kFF, snr));
  rig.link.CloseUSB();
}

}  // namespace
}  // namespace quillon::vp::testing
