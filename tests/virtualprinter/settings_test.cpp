// Settings, identity texts, records and the saved state, driven through the host's builders.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "vp_rig.h"

namespace quillon::vp::testing {
namespace {

using ByteBuilder = bool (EscCmd::*)(uint8_t, uint8_t&);

TEST(VirtualPrinterSettings, AnswersTheLanguageQueryByteForByte) {
  VpRig rig;
  rig.printer.state().settings.language = 2;
  EXPECT_EQ(Exchange(rig.printer, {0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1}),
            (std::vector<uint8_t>{0x10, 0xA1, 0x00, 0x00, 0x01, 0x00, 0x02, 0xB4}));
}

TEST(VirtualPrinterSettings, EveryByteSettingRoundTrips) {
  VpRig rig;
  const ByteBuilder builders[] = {&EscCmd::cmd_language,  &EscCmd::cmd_cmdmode,
                                  &EscCmd::cmd_tagmode,   &EscCmd::cmd_stepmode,
                                  &EscCmd::cmd_blackness, &EscCmd::cmd_charset,
                                  &EscCmd::cmd_sleepmode, &EscCmd::cmd_boot_flash_lock};
  uint8_t next = 7;
  for (ByteBuilder b : builders) {
    uint8_t set = next++;
    ASSERT_TRUE((rig.esc.*b)(1, set));
    uint8_t got = 0;
    ASSERT_TRUE((rig.esc.*b)(0, got));
    EXPECT_EQ(got, set);
  }
  // Each setting is its own: the first still holds its value after the others were set.
  uint8_t language = 0;
  ASSERT_TRUE(rig.esc.cmd_language(0, language));
  EXPECT_EQ(language, 7);
}

TEST(VirtualPrinterSettings, TextSettingsStoreWhatIsAcceptedAndRefuseTheRest) {
  VpRig rig;
  std::string name = "Bench-7";
  ASSERT_TRUE(rig.esc.cmd_blue_name(1, name));
  std::string pin = "0000";
  ASSERT_TRUE(rig.esc.cmd_blue_pin(1, pin));
  std::string sno = "SN-2026-000042";
  ASSERT_TRUE(rig.esc.cmd_serial_number(1, sno));

  std::string got;
  ASSERT_TRUE(rig.esc.cmd_blue_name(0, got));
  EXPECT_EQ(got, "Bench-7");
  ASSERT_TRUE(rig.esc.cmd_blue_pin(0, got));
  EXPECT_EQ(got, "0000");
  ASSERT_TRUE(rig.esc.cmd_serial_number(0, got));
  EXPECT_EQ(got, "SN-2026-000042");  // the 0 byte the set carried is not part of it

  // Identity texts are read-only, over-long texts and empty names are refused.
  ASSERT_TRUE(rig.esc.cmd_blue_mac(0, got));
  EXPECT_EQ(got, rig.printer.state().blue_mac);
  std::string mac = "11:22:33:44:55:66";
  EXPECT_FALSE(rig.esc.cmd_blue_mac(1, mac));
  EXPECT_EQ(rig.esc.last_failure(), CmdFailure::kRefused);
  std::string info = "other";
  EXPECT_FALSE(rig.esc.cmd_sys_info(1, info));
  std::string long_name(kMaxBlueName + 1, 'n');
  EXPECT_FALSE(rig.esc.cmd_blue_name(1, long_name));
  std::string empty;
  EXPECT_FALSE(rig.esc.cmd_blue_name(1, empty));
  EXPECT_EQ(rig.printer.state().settings.blue_name, "Bench-7");
}

TEST(VirtualPrinterSettings, RecordsAndLabelValuesRoundTrip) {
  VpRig rig;
  TNetPar net{};
  net.set_ip(0x0A00A8C0);
  net.set_mask(0x00FFFFFF);
  net.set_gateway(0x0100A8C0);
  net.set_dhcp(1);
  net.set_port(9100);
  ASSERT_TRUE(rig.esc.cmd_net_set(1, net));
  TNetPar back{};
  ASSERT_TRUE(rig.esc.cmd_net_set(0, back));
  EXPECT_EQ(0, std::memcmp(&back, &net, sizeof net));
  EXPECT_EQ(rig.esc.retsize, 23);

  TWifiPar wifi{};
  std::strcpy(wifi.ssid, "workshop");
  wifi.SetServerPort(9100);
  ASSERT_TRUE(rig.esc.cmd_wifi_set(1, wifi));
  EXPECT_STREQ(rig.printer.state().settings.wifi.ssid, "workshop");
  EXPECT_EQ(rig.printer.state().settings.wifi.ServerPort(), 9100);

  int32_t sensor = 120, out = -35;
  ASSERT_TRUE(rig.esc.cmd_label_Detection(1, sensor, out));
  int32_t s2 = 0, o2 = 0;
  ASSERT_TRUE(rig.esc.cmd_label_Detection(0, s2, o2));
  EXPECT_EQ(s2, 120);
  EXPECT_EQ(o2, -35);

  int32_t vL = 0, vH = 0;
  ASSERT_TRUE(rig.esc.cmd_label_test(1, 500, vL, vH));
  EXPECT_EQ(rig.esc.retsize, 15);
  EXPECT_EQ(vL, rig.printer.state().label_low);
  EXPECT_EQ(vH, rig.printer.state().label_high);
}

TEST(VirtualPrinterSettings, LogoIsKeptAndAMismatchedSizeIsNotAcknowledged) {
  VpRig rig;
  std::vector<uint8_t> logo(1024);
  for (size_t i = 0; i < logo.size(); ++i) logo[i] = static_cast<uint8_t>(i * 7);
  ASSERT_TRUE(rig.esc.cmd_oem_lcdlogo(1, 1024, logo.data()));
  EXPECT_EQ(rig.printer.state().logo, logo);

  // A packet whose size word disagrees with its data is not taken.
  std::vector<uint8_t> bad = {0x10, 0x00, 0x00, 0x00, 1, 2, 3};  // claims 16 bytes, has 3
  const auto frame = MakeFrame(kKindOrdinary, 0xC0, 1, bad);
  EXPECT_TRUE(Exchange(rig.printer, frame).empty());
  EXPECT_EQ(rig.printer.state().logo, logo);
}

TEST(VirtualPrinterSettings, FactoryResetRestoresSettingsButKeepsIdentity) {
  VpRig rig;
  uint8_t v = 5;
  ASSERT_TRUE(rig.esc.cmd_blackness(1, v));
  std::string name = "Renamed", sno = "KEEP-ME";
  ASSERT_TRUE(rig.esc.cmd_blue_name(1, name));
  ASSERT_TRUE(rig.esc.cmd_serial_number(1, sno));
  ASSERT_TRUE(rig.esc.cmd_init_syspar());
  uint8_t density = 0;
  ASSERT_TRUE(rig.esc.cmd_blackness(0, density));
  EXPECT_EQ(density, PrinterSettings().blackness);
  EXPECT_EQ(rig.printer.state().settings.blue_name, PrinterSettings().blue_name);
  EXPECT_EQ(rig.printer.state().serial_number, "KEEP-ME");

  ASSERT_TRUE(rig.esc.cmd_enter_updatemode(1));
  EXPECT_TRUE(rig.printer.state().flashing_mode);
}

TEST(VirtualPrinterState, SavedStateComesBackAndABrokenFileChangesNothing) {
  const std::string path = ::testing::TempDir() + "vp_state.bin";
  {
    VpRig rig;
    uint8_t lang = 3;
    ASSERT_TRUE(rig.esc.cmd_language(1, lang));
    std::string sno = "STATE-1";
    ASSERT_TRUE(rig.esc.cmd_serial_number(1, sno));
    rig.link.OpenUsb();
    const uint8_t glyph[4] = {0x12, 0x34, 0x56, 0x78};
    ASSERT_TRUE(rig.esc.cmd_flash_write(0x200C30, 4, glyph));
    rig.printer.state().card.blocks()[9][0] = 0x99;
    rig.printer.state().paper = PaperLevel::kNearEnd;
    rig.printer.state().cover_open = true;
    std::string error;
    ASSERT_TRUE(rig.printer.SaveState(path, error)) << error;
  }
  VpRig fresh;
  std::string error;
  ASSERT_TRUE(fresh.printer.LoadState(path, error)) << error;
  EXPECT_EQ(fresh.printer.state().settings.language, 3);
  EXPECT_EQ(fresh.printer.state().serial_number, "STATE-1");
  EXPECT_EQ(fresh.printer.state().flash.Read(0x200C30, 4)[3], 0x78);
  EXPECT_EQ(fresh.printer.state().card.blocks()[9][0], 0x99);
  EXPECT_EQ(fresh.printer.state().paper, PaperLevel::kNearEnd);
  EXPECT_TRUE(fresh.printer.state().cover_open);

  // Cut the file short: loading fails with a reason and the state stays as it was.
  {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
  }
  VpRig other;
  other.printer.state().settings.language = 9;
  EXPECT_FALSE(other.printer.LoadState(path, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(other.printer.state().settings.language, 9);
  std::remove(path.c_str());
}

TEST(VirtualPrinterState, FactoryFontIsInTheFlashWhenPresent) {
  VirtualPrinter::Options o;
  o.factory_font = DefaultSampleFontPath();
  if (!std::ifstream(o.factory_font).good()) GTEST_SKIP() << "no sample font was built";
  VpRig rig(o);
  // 'A' of the 12x24 ASCII font has dots; the space glyph has none.
  const auto a = rig.printer.state().flash.Read(0x200000 + 48 * 'A', 48);
  const auto space = rig.printer.state().flash.Read(0x200000 + 48 * ' ', 48);
  EXPECT_TRUE(std::any_of(a.begin(), a.end(), [](uint8_t b) { return b != 0; }));
  EXPECT_TRUE(std::all_of(space.begin(), space.end(), [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace quillon::vp::testing
