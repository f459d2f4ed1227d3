// Address texts, the Wi-Fi record's limits and the wired record on the wire.
#include <gtest/gtest.h>

#include <cstring>

#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "settings/net_records.h"
#include "support/scripted_usb.h"

namespace quillon {
namespace {

TEST(AddressText, RoundTripsThroughThreeDigitGroups) {
  auto v = ip2Int("192.168.1.201");
  ASSERT_TRUE(v);
  EXPECT_EQ(int2Ip(*v), "192.168.001.201");
  EXPECT_EQ(ip2Int("192.168.001.201"), v);
  EXPECT_EQ(ip2Int(" 10 . 0 .0. 7 "), ip2Int("10.0.0.7"));
}

TEST(AddressText, GroupsAreAddedSoLargeGroupsCarry) {
  EXPECT_EQ(ip2Int("1.256.0.0"), ip2Int("1.0.1.0"));
  EXPECT_EQ(ip2Int(""), 0u);
}

TEST(AddressText, BlankOrNonNumericGroupIsAConversionError) {
  EXPECT_FALSE(ip2Int("192.168.   .1"));
  EXPECT_FALSE(ip2Int("192.168.x.1"));
  EXPECT_FALSE(ip2Int("   .   .   .   "));
}

TEST(WifiRecord, TextsZeroFilledAndDhcpInverted) {
  WifiTexts t{"net",         "pw",          "192.168.1.201", "255.255.255.0",
              "192.168.1.1", "192.168.1.1", "10.1.2.3"};
  std::string err;
  auto on = BuildWifiPar(t, true, 61613, &err);
  ASSERT_TRUE(on) << err;
  EXPECT_EQ(on->DHCP(), 0);
  EXPECT_EQ(on->ServerPort(), 61613);
  EXPECT_STREQ(on->IPAddr, "192.168.1.201");
  const auto* bytes = reinterpret_cast<const uint8_t*>(&*on);
  for (size_t i = 3; i < 24; ++i) EXPECT_EQ(bytes[i], 0) << i;  // after "net"
  EXPECT_EQ(bytes[180], 0xAD);                                  // 61613 = 0xF0AD, little-endian
  EXPECT_EQ(bytes[181], 0xF0);
  auto off = BuildWifiPar(t, false, 1, &err);
  ASSERT_TRUE(off);
  EXPECT_EQ(off->DHCP(), 1);
}

TEST(WifiRecord, TextLongerThanItsFieldIsRefused) {
  WifiTexts t;
  t.ssid = std::string(23, 'a');
  std::string err;
  EXPECT_TRUE(BuildWifiPar(t, true, 0, &err));
  t.ssid = std::string(24, 'a');
  EXPECT_FALSE(BuildWifiPar(t, true, 0, &err));
  EXPECT_NE(err.find("Router name"), std::string::npos);
  t.ssid.clear();
  t.server_ip = std::string(64, '1');
  EXPECT_FALSE(BuildWifiPar(t, true, 0, &err));
  t.server_ip.clear();
  t.ip = "192.168.100.1000";  // 16 characters
  EXPECT_FALSE(BuildWifiPar(t, true, 0, &err));
}

TEST(WiredRecord, SetPacketIsByteExactWithPort9100) {
  testing::FakeClock clock;
  testing::FakeClockPump pump(clock);
  testing::ScriptedUsb usb(&clock);
  PrinterLink link(usb, clock, pump);
  link.SetUsbIds("1fc9", "2016");
  link.FindPrinter();
  EscCmd esc(link);
  usb.QueueReply({0x10, 0xAE, 0x01, 0x00, 0x01, 0x00, 0x01, 0xC1});

  std::string err;
  auto net = BuildNetPar("192.168.1.100", "255.255.255.0", "192.168.1.1", false, &err);
  ASSERT_TRUE(net) << err;
  EXPECT_TRUE(esc.cmd_net_set(1, *net));
  const std::vector<uint8_t> expected = {0x10, 0xAE, 0x01, 0x00, 0x10, 0x00, 0xC0, 0xA8,
                                         0x01, 0x64, 0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8,
                                         0x01, 0x01, 0x00, 0x00, 0x8C, 0x23, 0xB2};
  ASSERT_EQ(usb.writes.size(), 1u);
  EXPECT_EQ(usb.writes[0], expected);
}

TEST(WiredRecord, BadAddressNamesTheText) {
  std::string err;
  EXPECT_FALSE(BuildNetPar("192.168.1.1", "abc", "1.1.1.1", true, &err));
  EXPECT_NE(err.find("abc"), std::string::npos);
}

}  // namespace
}  // namespace quillon
