// The fixed-length command builders: packets on the wire, waits, count and checksum tests,
// outputs left alone on failure, link opened and closed, data limits.
#include <gtest/gtest.h>

#include "esc_fixture.h"

namespace quillon::testing {
namespace {

class ByteCommandTest : public EscCmdTest {
 protected:
  // Fake milliseconds an unanswered command waits.
  uint32_t UnansweredWait(const std::function<bool()>& command) {
    usb.on_write = nullptr;
    const uint32_t start = clock.NowMs();
    EXPECT_FALSE(command());
    EXPECT_EQ(esc.last_failure(), CmdFailure::kNoReply);
    return clock.NowMs() - start;
  }
};

TEST_F(ByteCommandTest, LanguageQueryAndSetOnTheWire) {
  uint8_t v = 9;
  AnswerWith({0x10, 0xA1, 0x00, 0x00, 0x01, 0x00, 0x02, 0xB4});
  ASSERT_TRUE(esc.cmd_language(0, v));
  EXPECT_EQ(LastWrite(), (Bytes{0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1}));
  EXPECT_EQ(v, 2);
  EXPECT_EQ(usb.opens, 1);
  EXPECT_EQ(usb.closes, 1);
  EXPECT_FALSE(link.USB().hDevHandle);

  // A set accepts any valid 8-byte reply and leaves the value as it was.
  v = 1;
  AnswerWith(Reply(0xA1, {0x00}));
  ASSERT_TRUE(esc.cmd_language(1, v));
  EXPECT_EQ(LastWrite(), (Bytes{0x10, 0xA1, 0x01, 0x00, 0x01, 0x00, 0x01, 0xB4}));
  EXPECT_EQ(v, 1);
}

TEST_F(ByteCommandTest, EverySingleByteSettingUsesItsCodeAndKind) {
  struct Case {
    bool (EscCmd::*fn)(uint8_t, uint8_t&);
    uint8_t kind, code;
  };
  const Case cases[] = {
      {&EscCmd::cmd_language, 0x10, 0xA1},  {&EscCmd::cmd_cmdmode, 0x10, 0xA2},
      {&EscCmd::cmd_tagmode, 0x10, 0xA3},   {&EscCmd::cmd_stepmode, 0x10, 0xA4},
      {&EscCmd::cmd_blackness, 0x10, 0xA5}, {&EscCmd::cmd_charset, 0x10, 0xA6},
      {&EscCmd::cmd_sleepmode, 0x10, 0xAB}, {&EscCmd::cmd_boot_flash_lock, 0x04, 0xF3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    uint8_t v = 0;
    AnswerWith(Reply(c.code, {0x07}, c.kind));
    ASSERT_TRUE((esc.*c.fn)(0, v));
    EXPECT_EQ(LastWrite(), MakeFrame(c.kind, c.code, 0, {}));
    EXPECT_EQ(v, 7);
    v = 5;
    ASSERT_TRUE((esc.*c.fn)(1, v));
    EXPECT_EQ(LastWrite(), MakeFrame(c.kind, c.code, 1, Bytes{5}));
  }
}

TEST_F(ByteCommandTest, RepliesThatFailTheCheckLeaveTheValue) {
  uint8_t v = 9;
  // Wrong checksum.
  AnswerWith({0x10, 0xA1, 0x00, 0x00, 0x01, 0x00, 0x02, 0xB5});
  EXPECT_FALSE(esc.cmd_language(0, v));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kBadChecksum);
  // A valid 9-byte frame is the wrong length for a fixed-length command.
  AnswerWith(Reply(0xA6, {0x01, 0x02}));
  EXPECT_FALSE(esc.cmd_charset(0, v));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kWrongLength);
  // Twelve bytes in one read: counted in full, then rejected.
  Bytes twelve = Reply(0xA1, {0x03});
  twelve.insert(twelve.end(), {0, 0, 0, 0});
  AnswerWith(twelve);
  EXPECT_FALSE(esc.cmd_language(0, v));
  EXPECT_EQ(esc.retsize, 12);
  EXPECT_EQ(v, 9);
  EXPECT_EQ(usb.closes, usb.opens);  // closed whatever the outcome

  // Eight bytes whose size field claims two data bytes: the checksum would lie past them.
  AnswerWith({0x10, 0xA1, 0x00, 0x00, 0x02, 0x00, 0x02, 0xB5});
  EXPECT_FALSE(esc.cmd_language(0, v));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kBadReply);
  EXPECT_EQ(v, 9);

  // A reply of size 0 is valid but carries no value.
  AnswerWith({0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1, 0x00});
  EXPECT_TRUE(esc.cmd_language(0, v));
  EXPECT_EQ(v, 9);
  // Kind and code are not compared with the request.
  AnswerWith(Reply(0x55, {0x04}, 0x04));
  EXPECT_TRUE(esc.cmd_language(0, v));
  EXPECT_EQ(v, 4);
}

TEST_F(ByteCommandTest, NoReplyFailsAfterTheCommandsTimeout) {
  uint8_t v = 0;
  const uint32_t waited = UnansweredWait([&] { return esc.cmd_language(0, v); });
  EXPECT_GT(waited, 1000u);
  EXPECT_LE(waited, 1000u + 2 * kReadSliceMs);

  link.OpenUsb();  // the flash and boot builders leave the link to the caller
  EXPECT_GT(UnansweredWait([&] { return esc.cmd_flash_erase(0, 1); }), 120000u);
  uint32_t image = 1;
  EXPECT_GT(UnansweredWait([&] { return esc.cmd_boot_update_erase(image); }), 10000u);
  EXPECT_GT(UnansweredWait([&] { return esc.cmd_boot_update_checkcrc(0); }), 5000u);
  const uint32_t data_wait = UnansweredWait([&] { return esc.cmd_boot_update_data(0, nullptr); });
  EXPECT_GT(data_wait, 5000u);
  EXPECT_LT(data_wait, 5100u);
}

TEST_F(ByteCommandTest, FlashAndBootBuildersDoNotTouchTheLink) {
  link.OpenUsb();
  AnswerWith(Reply(0xE0, {0x01}));
  ASSERT_TRUE(esc.cmd_flash_erase(0x1000, 1));
  EXPECT_EQ(LastWrite(), (Bytes{0x10, 0xE0, 0x01, 0x00, 0x04, 0x00, 0x00, 0x10, 0x00, 0x00, 0x05}));

  const Bytes payload{0xAA, 0xBB, 0xCC};
  ASSERT_TRUE(esc.cmd_flash_write(0x20304, 3, payload.data()));
  EXPECT_EQ(LastWrite(),
            MakeFrame(0x10, 0xE1, 1,
                      Bytes{0x04, 0x03, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00, 0xAA, 0xBB, 0xCC}));

  uint32_t image = 74565;
  ASSERT_TRUE(esc.cmd_boot_update_erase(image));
  EXPECT_EQ(LastWrite(), (Bytes{0x04, 0xF0, 0x01, 0x00, 0x04, 0x00, 0x45, 0x23, 0x01, 0x00, 0x62}));
  ASSERT_TRUE(esc.cmd_boot_update_data(2, payload.data()));
  EXPECT_EQ(LastWrite(), MakeFrame(0x04, 0xF1, 1, Bytes{0xAA, 0xBB}));
  ASSERT_TRUE(esc.cmd_boot_update_checkcrc(0xDEADBEEF));
  EXPECT_EQ(LastWrite(), MakeFrame(0x04, 0xF2, 1, Bytes{0xEF, 0xBE, 0xAD, 0xDE}));

  EXPECT_EQ(usb.opens, 1);
  EXPECT_EQ(usb.closes, 0);
}

TEST_F(ByteCommandTest, DataTooLongIsRefusedBeforeAnythingIsSent) {
  link.OpenUsb();
  AnswerWith(Reply(0xE1, {0x01}));
  Bytes data(20467, 0x5A);
  EXPECT_FALSE(esc.cmd_flash_write(0, 20467, data.data()));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kTooLong);
  EXPECT_TRUE(usb.writes.empty());
  ASSERT_TRUE(esc.cmd_flash_write(0, 20466, data.data()));
  EXPECT_EQ(esc.cmdsize, 20481);
  EXPECT_EQ(LastWrite().size(), 20481u);
  EXPECT_EQ(LastWrite()[20479], 0x5A);
  usb.writes.clear();

  EXPECT_FALSE(esc.cmd_boot_update_data(20475, data.data()));
  EXPECT_TRUE(usb.writes.empty());

  link.CloseUSB();
  EXPECT_FALSE(esc.cmd_oem_lcdlogo(1, 4093, data.data()));
  EXPECT_FALSE(esc.cmd_oem_lcdlogo(1, -1, data.data()));
  EXPECT_TRUE(usb.writes.empty());
  AnswerWith(Reply(0xC0, {0x01}));
  ASSERT_TRUE(esc.cmd_oem_lcdlogo(0, 4092, data.data()));
  const Bytes sent = LastWrite();
  ASSERT_EQ(sent.size(), 4096u + 7);
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 10),
            (Bytes{0x10, 0xC0, 0x01, 0x00, 0x00, 0x10, 0xFC, 0x0F, 0x00, 0x00}));
}

TEST_F(ByteCommandTest, NetworkRecordsOnTheWire) {
  TNetPar net{};
  net.set_ip(0x6401A8C0);  // 192.168.1.100
  net.set_mask(0x00FFFFFF);
  net.set_dhcp(1);
  net.set_port(9100);
  AnswerWith(Reply(0xAE, {0x01, 0x00}));  // a valid 9-byte reply
  ASSERT_TRUE(esc.cmd_net_set(1, net));
  const Bytes sent = LastWrite();
  ASSERT_EQ(sent.size(), 23u);
  EXPECT_EQ(
      Bytes(sent.begin() + 6, sent.begin() + 22),
      (Bytes{0xC0, 0xA8, 0x01, 0x64, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0, 0x01, 0x00, 0x8C, 0x23}));

  // Query: the 16-byte record comes back; a shorter record is refused.
  TNetPar got{};
  AnswerWith(Reply(0xAE, Bytes(sent.begin() + 6, sent.begin() + 22)));
  ASSERT_TRUE(esc.cmd_net_set(0, got));
  EXPECT_EQ(got.ip(), 0x6401A8C0u);
  EXPECT_EQ(got.port(), 9100);
  TNetPar keep{};
  keep.set_port(1);
  AnswerWith(Reply(0xAE, {1, 2, 3, 4}));
  EXPECT_FALSE(esc.cmd_net_set(0, keep));
  EXPECT_EQ(keep.port(), 1);
  AnswerWith(Bytes{0x10, 0xAE, 0, 0, 0, 0, 0xBE});
  EXPECT_FALSE(esc.cmd_net_set(1, net));  // 7 bytes: fewer than 8

  TWifiPar wifi{};
  std::strcpy(wifi.ssid, "shop");
  std::strcpy(wifi.ServerIP, "10.0.0.2");
  wifi.SetDHCP(1);
  wifi.SetServerPort(9100);
  AnswerWith(Reply(0xAF, {0x01}));
  ASSERT_TRUE(esc.cmd_wifi_set(1, wifi));
  const Bytes w = LastWrite();
  ASSERT_EQ(w.size(), 184u + 7);
  EXPECT_EQ(Bytes(w.begin() + 4, w.begin() + 11), (Bytes{184, 0, 's', 'h', 'o', 'p', 0}));
  EXPECT_EQ(Bytes(w.begin() + 6 + 48, w.begin() + 6 + 52), (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(w[6 + 116], '1');
  EXPECT_EQ(Bytes(w.begin() + 6 + 180, w.begin() + 6 + 184), (Bytes{0x8C, 0x23, 0, 0}));
}

TEST_F(ByteCommandTest, LabelCommandsReadTwoValuesFromAFifteenByteReply) {
  int32_t vL = 0, vH = 0;
  Bytes values{0x10, 0x27, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};  // 10000 and -1
  AnswerWith(Reply(0xB0, values));
  ASSERT_TRUE(esc.cmd_label_test(1, 500, vL, vH));
  const Bytes head{0x10, 0xB0, 0x01, 0x00, 0x04, 0x00, 0xF4, 0x01, 0x00, 0x00};
  EXPECT_EQ(Bytes(LastWrite().begin(), LastWrite().end() - 1), head);
  EXPECT_EQ(LastWrite().back(), 0xBA);
  EXPECT_EQ(vL, 10000);
  EXPECT_EQ(vH, -1);

  // Eight bytes is the wrong length here; outputs keep their values.
  vL = vH = 3;
  AnswerWith(Reply(0xB0, {0x01}));
  EXPECT_FALSE(esc.cmd_label_test(0, 0, vL, vH));
  EXPECT_EQ(LastWrite(), MakeFrame(0x10, 0xB0, 0, {}));
  EXPECT_EQ(vL, 3);

  int32_t sensor = 0x01020304, out = -2;
  AnswerWith(Reply(0xB1, values));
  ASSERT_TRUE(esc.cmd_label_Detection(1, sensor, out));
  EXPECT_EQ(LastWrite(), MakeFrame(0x10, 0xB1, 1, Bytes{4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(sensor, 10000);
  EXPECT_EQ(out, -1);
}

TEST_F(ByteCommandTest, FixedCommandsSendTheirOwnOpera) {
  AnswerWith(Reply(0xA0, {0x01}));
  ASSERT_TRUE(esc.cmd_init_syspar());
  EXPECT_EQ(LastWrite(), (Bytes{0x10, 0xA0, 0x01, 0x00, 0x00, 0x00, 0xB1}));
  ASSERT_TRUE(esc.cmd_enter_updatemode(0));
  EXPECT_EQ(LastWrite(), MakeFrame(0x10, 0xFF, 1, {}));
}

}  // namespace
}  // namespace quillon::testing
