// Both firmware protocols and the font flash, as the flashing flows drive them.

#include <gtest/gtest.h>

#include <numeric>

#include "vp_rig.h"

namespace quillon::vp::testing {
namespace {

std::vector<uint8_t> Image(size_t n) {
  std::vector<uint8_t> img(n);
  for (size_t i = 0; i < n; ++i) img[i] = static_cast<uint8_t>(i * 31 + 7);
  return img;
}

uint32_t Sum(const std::vector<uint8_t>& img) {
  return std::accumulate(img.begin(), img.end(), uint32_t{0});
}

// The newer protocol as the firmware page runs it: erase, 1024-byte packets, checksum.
bool Flash(VpRig& rig, const std::vector<uint8_t>& img, uint32_t crc) {
  rig.link.OpenUsb();
  uint32_t size = static_cast<uint32_t>(img.size());
  if (!rig.esc.cmd_boot_update_erase(size)) return false;
  for (size_t idx = 0; idx < img.size(); idx += 1024) {
    const uint16_t pack = static_cast<uint16_t>(std::min<size_t>(1024, img.size() - idx));
    if (!rig.esc.cmd_boot_update_data(pack, img.data() + idx)) return false;
  }
  const bool ok = rig.esc.cmd_boot_update_checkcrc(crc);
  rig.link.CloseUSB();
  return ok;
}

TEST(VirtualPrinterFirmware, AnImageThatArrivedWholeVerifiesAndIsKept) {
  VpRig rig;
  ASSERT_TRUE(rig.esc.cmd_enter_updatemode(1));
  const auto img = Image(2049);  // two full packets and one of a single byte
  EXPECT_TRUE(Flash(rig, img, Sum(img)));
  EXPECT_EQ(rig.printer.state().firmware, img);
  EXPECT_FALSE(rig.printer.state().flashing_mode);  // restarted into the new firmware
}

TEST(VirtualPrinterFirmware, AWrongChecksumOrAMissingPacketFails) {
  VpRig rig;
  const auto img = Image(3000);
  EXPECT_FALSE(Flash(rig, img, Sum(img) + 1));
  EXPECT_EQ(rig.esc.last_failure(), CmdFailure::kNoReply);
  EXPECT_TRUE(rig.printer.state().firmware.empty());

  // One packet short: the size announced by the erase was not reached.
  rig.link.OpenUsb();
  uint32_t size = 3000;
  ASSERT_TRUE(rig.esc.cmd_boot_update_erase(size));
  ASSERT_TRUE(rig.esc.cmd_boot_update_data(1024, img.data()));
  EXPECT_FALSE(rig.esc.cmd_boot_update_checkcrc(Sum(img)));
  // More data than announced is not taken either.
  ASSERT_TRUE(rig.esc.cmd_boot_update_data(1024, img.data()));
  ASSERT_TRUE(rig.esc.cmd_boot_update_data(952, img.data()));
  EXPECT_FALSE(rig.esc.cmd_boot_update_data(1, img.data()));
}

TEST(VirtualPrinterFirmware, TheFlashLockRefusesTheEraseUntilUnlocked) {
  VpRig rig;
  uint8_t lock = 1;
  ASSERT_TRUE(rig.esc.cmd_boot_flash_lock(1, lock));
  const auto img = Image(100);
  EXPECT_FALSE(Flash(rig, img, Sum(img)));
  uint8_t unlock = 0;
  ASSERT_TRUE(rig.esc.cmd_boot_flash_lock(1, unlock));
  EXPECT_TRUE(Flash(rig, img, Sum(img)));
}

// The older protocol: a raw 15-byte header, the raw image, one status byte back.
uint8_t OldUpdate(VpRig& rig, const std::vector<uint8_t>& header, const std::vector<uint8_t>& img) {
  rig.link.OpenUsb();
  rig.link.SendAndRecv(header.data(), static_cast<int32_t>(header.size()), {}, 0, 0);
  uint8_t recv[1] = {0};
  rig.link.SendAndRecv(img.data(), static_cast<int32_t>(img.size()), recv, 1, 30000);
  rig.link.CloseUSB();
  return recv[0];
}

std::vector<uint8_t> OldHeader(uint32_t crc, uint32_t size) {
  std::vector<uint8_t> h = {0x1B, 0x23, 0x23, 0x55, 0x50, 0x50, 0x47, 0, 0, 0, 0, 0, 0, 0, 0};
  PutLE32(&h[7], crc);
  PutLE32(&h[11], size);
  return h;
}

TEST(VirtualPrinterFirmware, OlderProtocolAnswersAAOnlyWhenSumAndSizeMatch) {
  VpRig rig;
  const std::vector<uint8_t> tiny = {1, 2, 3};
  EXPECT_EQ(OldHeader(6, 3), (std::vector<uint8_t>{0x1B, 0x23, 0x23, 0x55, 0x50, 0x50, 0x47, 0x06,
                                                   0, 0, 0, 0x03, 0, 0, 0}));
  EXPECT_EQ(OldUpdate(rig, OldHeader(6, 3), tiny), kOldUpdateOk);
  EXPECT_EQ(rig.printer.state().firmware, tiny);

  const auto img = Image(5000);
  EXPECT_EQ(OldUpdate(rig, OldHeader(Sum(img) ^ 1, 5000), img), kOldUpdateFailed);
  EXPECT_EQ(rig.printer.state().firmware, tiny);
  EXPECT_EQ(OldUpdate(rig, OldHeader(Sum(img), 5000), img), kOldUpdateOk);
  EXPECT_EQ(rig.printer.state().firmware, img);

  // The image bytes were taken by the boot loader, not printed.
  EXPECT_EQ(rig.printer.paper().height(), 0);
}

TEST(VirtualPrinterFontFlash, EraseWriteAndTheAndOfAWriteWithoutErase) {
  VpRig rig;
  rig.link.OpenUsb();
  const uint8_t first[4] = {0xAA, 0xBB, 0xCC, 0xDD};
  ASSERT_TRUE(rig.esc.cmd_flash_write(0x1000, 4, first));
  const NorFlash& flash = rig.printer.state().flash;
  EXPECT_EQ(std::vector<uint8_t>(flash.Read(0x1000, 5).begin(), flash.Read(0x1000, 5).end()),
            (std::vector<uint8_t>{0xAA, 0xBB, 0xCC, 0xDD, 0xFF}));

  // Written again without an erase: only bits can be cleared.
  const uint8_t second[4] = {0x0F, 0xF0, 0x33, 0xFF};
  ASSERT_TRUE(rig.esc.cmd_flash_write(0x1000, 4, second));
  EXPECT_EQ(flash.Read(0x1000, 4)[0], 0x0A);
  EXPECT_EQ(flash.Read(0x1000, 4)[1], 0xB0);
  EXPECT_EQ(flash.Read(0x1000, 4)[2], 0x00);
  EXPECT_EQ(flash.Read(0x1000, 4)[3], 0xDD);

  // A sector erase names any address inside the sector and clears all 4096 bytes of it.
  ASSERT_TRUE(rig.esc.cmd_flash_write(0x2000, 4, first));
  ASSERT_TRUE(rig.esc.cmd_flash_erase(0x1000, 1));
  for (uint32_t a : {0x1000u, 0x1003u, 0x1FFFu}) EXPECT_EQ(flash.Read(a, 1)[0], 0xFF);
  EXPECT_EQ(flash.Read(0x2000, 1)[0], 0xAA);  // the next sector is untouched
  ASSERT_TRUE(rig.esc.cmd_flash_write(0x1000, 4, second));
  EXPECT_EQ(flash.Read(0x1000, 1)[0], 0x0F);

  ASSERT_TRUE(rig.esc.cmd_flash_erase(0, 0));
  EXPECT_EQ(flash.Read(0x2000, 1)[0], 0xFF);

  // Writes and erases outside the 8 MiB are not acknowledged and change nothing.
  EXPECT_FALSE(rig.esc.cmd_flash_write(NorFlash::kSize - 2, 4, first));
  EXPECT_EQ(flash.Read(NorFlash::kSize - 2, 2)[0], 0xFF);
  EXPECT_FALSE(rig.esc.cmd_flash_erase(NorFlash::kSize, 1));
  rig.link.CloseUSB();
}

}  // namespace
}  // namespace quillon::vp::testing
