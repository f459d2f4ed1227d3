// The Wi-Fi, wired network and serial number dialogs against the virtual printer.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include "protocol/frame.h"
#include "settings/net_edit_dialog.h"
#include "settings/serial_number_dialog.h"
#include "settings/settings_dialogs.h"
#include "settings/wifi_dialog.h"
#include "settings_gui_fixture.h"

namespace quillon {
namespace {

using testing::Click;
using testing::Find;

struct DialogTest : ::testing::Test {
  testing::SettingsRig rig;
  QLineEdit* Edit(QWidget* d, const char* name) { return Find<QLineEdit>(d, name); }
};

TEST_F(DialogTest, WifiDefaultsGoOutAsOneRecordWithDhcpInverted) {
  Twifi dialog(rig.ctx);
  Click(&dialog, "btn2");
  ASSERT_EQ(rig.Codes(), std::vector<uint8_t>{0xAF});
  EXPECT_EQ(rig.LastText(), "设置成功");
  EXPECT_EQ(rig.LastKind(), kMsgInfo);
  const TWifiPar& w = rig.settings().wifi;
  EXPECT_STREQ(w.ssid, "KORVALSMART");
  EXPECT_STREQ(w.password, "quorbelin");
  EXPECT_STREQ(w.IPAddr, "192.168.1.201");
  EXPECT_STREQ(w.Mask, "255.255.255.0");
  EXPECT_STREQ(w.GetWay, "192.168.1.1");
  EXPECT_STREQ(w.DNS, "192.168.1.1");
  EXPECT_STREQ(w.ServerIP, "192.168.1.100");
  EXPECT_EQ(w.ServerPort(), 61613);
  EXPECT_EQ(w.DHCP(), 0);  // ticked

  Find<QCheckBox>(&dialog, "chk_DHCP")->setChecked(false);
  Edit(&dialog, "edt_ssid")->setText(QStringLiteral("店铺"));
  Click(&dialog, "btn2");
  EXPECT_EQ(rig.settings().wifi.DHCP(), 1);
  EXPECT_STREQ(rig.settings().wifi.ssid, "\xB5\xEA\xC6\xCC");  // the name in CP936
}

TEST_F(DialogTest, WifiRefusesBadTextsBeforeSending) {
  Twifi dialog(rig.ctx);
  Edit(&dialog, "edt_serverport")->setText("61613x");
  Click(&dialog, "btn2");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.LastKind(), kMsgError);

  Edit(&dialog, "edt_serverport")->setText("61613");
  Edit(&dialog, "edt_password")->setText(QString(12, QChar(0x5BC6)));  // 24 bytes in CP936
  Click(&dialog, "btn2");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.LastKind(), kMsgWarning);

  Edit(&dialog, "edt_password")->setText(QString(11, QChar(0x5BC6)));  // 22 bytes fit
  rig.printer.SetFaults(vp::Faults{.drop_replies_to_code = 0xAF});
  Click(&dialog, "btn2");
  EXPECT_EQ(rig.Codes(), std::vector<uint8_t>{0xAF});
  EXPECT_EQ(rig.LastText(), "获取信息失败");
  EXPECT_EQ(rig.LastKind(), kMsgWarning);
}

TEST_F(DialogTest, WifiModuleResetSendsTwoRawBytesWithoutPresenceCheck) {
  Twifi dialog(rig.ctx);
  rig.ctx.ShowUSBMessage = [] { return false; };
  Click(&dialog, "btn_init");
  ASSERT_EQ(rig.usb.writes.size(), 1u);
  EXPECT_EQ(rig.usb.writes[0], (std::vector<uint8_t>{0x1B, 0xF0}));
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_FALSE(rig.link.USB().hDevHandle);
}

TEST_F(DialogTest, WiredSetIsByteExactAndQueriedBack) {
  Tnet_edit dialog(rig.ctx);
  Edit(&dialog, "medt_ip")->setText("192.168.1.100");
  Edit(&dialog, "medt_mask")->setText("255.255.255.0");
  Edit(&dialog, "medt_gateway")->setText("192.168.1.1");
  Click(&dialog, "btn1");
  ASSERT_EQ(rig.usb.writes.size(), 1u);
  const std::vector<uint8_t> expected = {0x10, 0xAE, 0x01, 0x00, 0x10, 0x00, 0xC0, 0xA8,
                                         0x01, 0x64, 0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8,
                                         0x01, 0x01, 0x00, 0x00, 0x8C, 0x23, 0xB2};
  EXPECT_EQ(rig.usb.writes[0], expected);
  EXPECT_EQ(rig.LastText(), "设置成功");

  Tnet_edit fresh(rig.ctx);
  rig.settings().net.set_dhcp(1);
  Click(&fresh, "btn3");
  EXPECT_EQ(Edit(&fresh, "medt_ip")->text(), "192.168.001.100");
  EXPECT_EQ(Edit(&fresh, "medt_mask")->text(), "255.255.255.000");
  EXPECT_EQ(Edit(&fresh, "medt_gateway")->text(), "192.168.001.001");
  EXPECT_TRUE(Find<QCheckBox>(&fresh, "chk_dhcp")->isChecked());

  // What the query showed goes back unchanged, DHCP now on, port still 9100.
  rig.Clear();
  Click(&fresh, "btn1");
  EXPECT_EQ(rig.settings().net.ip(), 0x6401A8C0u);
  EXPECT_EQ(rig.settings().net.dhcp(), 1);
  EXPECT_EQ(rig.settings().net.port(), 9100);
}

TEST_F(DialogTest, WiredBlankGroupIsAConversionErrorAndNothingIsSent) {
  Tnet_edit dialog(rig.ctx);
  Edit(&dialog, "medt_ip")->setText("192.168..1");
  Edit(&dialog, "medt_mask")->setText("255.255.255.0");
  Edit(&dialog, "medt_gateway")->setText("192.168.1.1");
  Click(&dialog, "btn1");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.LastKind(), kMsgError);

  rig.printer.SetFaults(vp::Faults{.drop_replies_to_code = 0xAE});
  Edit(&dialog, "medt_ip")->setText("10.0.0.1");
  Click(&dialog, "btn3");
  EXPECT_EQ(rig.LastText(), "获取信息失败");
  EXPECT_EQ(Edit(&dialog, "medt_ip")->text(), "10.0.0.1");
}

TEST_F(DialogTest, SerialNumberWriteAndRead) {
  Tserial_number dialog(rig.ctx);
  Click(&dialog, "btn_write");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.LastText(), "请输入生产序号");
  EXPECT_EQ(rig.LastKind(), kMsgInfo);

  Edit(&dialog, "edt_sno")->setText(QString(32, 'S'));
  Click(&dialog, "btn_write");
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(rig.LastKind(), kMsgWarning);
  EXPECT_NE(rig.LastText().find("32"), std::string::npos);

  Edit(&dialog, "edt_sno")->setText(QStringLiteral("线A-0042"));
  Click(&dialog, "btn_write");
  EXPECT_EQ(rig.LastText(), "设置成功");
  EXPECT_EQ(rig.Data(0), (std::vector<uint8_t>{0xCF, 0xDF, 'A', '-', '0', '0', '4', '2', 0}));

  Edit(&dialog, "edt_sno")->clear();
  Click(&dialog, "btn_read");
  EXPECT_EQ(Edit(&dialog, "edt_sno")->text(), QStringLiteral("线A-0042"));
}

TEST_F(DialogTest, DialogsCarryTheirNamesForLanguageFiles) {
  for (auto create : {CreateWifiDialog, CreateNetEditDialog, CreateSerialNumberDialog,
                      CreatePaperRollDialog, CreateRfidTestDialog}) {
    auto d = create(nullptr, rig.ctx);
    EXPECT_FALSE(d->objectName().isEmpty());
  }
  auto wifi = CreateWifiDialog(nullptr, rig.ctx);
  EXPECT_EQ(wifi->objectName(), "wifi");
  EXPECT_EQ(Edit(wifi.get(), "edt_serverip")->text(), "192.168.1.100");
  auto net = CreateNetEditDialog(nullptr, rig.ctx);
  EXPECT_EQ(net->objectName(), "net_edit");
  EXPECT_EQ(Edit(net.get(), "medt_ip")->inputMask(), "000.000.000.000;_");
}

}  // namespace
}  // namespace quillon
