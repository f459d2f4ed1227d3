// The text builders: query returns the reply's bytes, set reads the accepted byte, and a
// missing reply fails instead of decoding the previous reply still in retbuf.
#include <gtest/gtest.h>

#include "esc_fixture.h"

namespace quillon::testing {
namespace {

using TextCommandTest = EscCmdTest;

TEST_F(TextCommandTest, SetSendsTheTextAndReadsTheAcceptedByte) {
  std::string name = "ABC";
  AnswerWith(Reply(0xA7, {0x01}));
  ASSERT_TRUE(esc.cmd_blue_name(1, name));
  EXPECT_EQ(LastWrite(), (Bytes{0x10, 0xA7, 0x01, 0x00, 0x03, 0x00, 0x41, 0x42, 0x43, 0x81}));
  EXPECT_EQ(usb.closes, 1);

  AnswerWith(Reply(0xA7, {0x00}));
  EXPECT_FALSE(esc.cmd_blue_name(1, name));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kRefused);
  EXPECT_EQ(name, "ABC");
}

TEST_F(TextCommandTest, QueryTakesEverySizeByteIncludingZeros) {
  struct Case {
    bool (EscCmd::*fn)(uint8_t, std::string&);
    uint8_t code;
  };
  const Case cases[] = {{&EscCmd::cmd_blue_name, 0xA7},
                        {&EscCmd::cmd_blue_pin, 0xA8},
                        {&EscCmd::cmd_blue_mac, 0xA9},
                        {&EscCmd::cmd_sys_info, 0xAA},
                        {&EscCmd::cmd_serial_number, 0xF0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    std::string value = "old";
    AnswerWith(Reply(c.code, {'P', '5', 0, 'x'}));  // longer than 8 bytes: not count-tested
    ASSERT_TRUE((esc.*c.fn)(0, value));
    EXPECT_EQ(LastWrite(), MakeFrame(0x10, c.code, 0, {}));
    EXPECT_EQ(value, std::string("P5\0x", 4));
  }
}

TEST_F(TextCommandTest, MissingEmptyOrBrokenRepliesLeaveTheText) {
  std::string value = "keep";
  // An earlier valid reply sits in retbuf; a later exchange with no reply must not reuse it.
  AnswerWith(Reply(0xAA, {'o', 'l', 'd'}));
  ASSERT_TRUE(esc.cmd_sys_info(0, value));
  value = "keep";
  usb.on_write = nullptr;
  EXPECT_FALSE(esc.cmd_sys_info(0, value));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kNoReply);
  EXPECT_EQ(value, "keep");

  AnswerWith(Reply(0xAA, {}));
  EXPECT_FALSE(esc.cmd_sys_info(0, value));
  AnswerWith({0x10, 0xAA, 0x00, 0x00, 0x01, 0x00, 0x41, 0x00});
  EXPECT_FALSE(esc.cmd_sys_info(0, value));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kBadChecksum);
  // Half a frame, then silence: the size field points past what arrived.
  AnswerWith({0x10, 0xAA, 0x00, 0x00, 0x05, 0x00, 0x41});
  EXPECT_FALSE(esc.cmd_sys_info(0, value));
  EXPECT_EQ(value, "keep");
}

TEST_F(TextCommandTest, SerialNumberEndsWithAZeroAndIsLimitedTo31Characters) {
  std::string serial;
  AnswerWith(Reply(0xF0, {0x01}));
  ASSERT_TRUE(esc.cmd_serial_number(1, serial));
  EXPECT_EQ(LastWrite(), (Bytes{0x10, 0xF0, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02}));

  serial = std::string(31, '9');
  ASSERT_TRUE(esc.cmd_serial_number(1, serial));
  EXPECT_EQ(LastWrite().size(), 7u + 32);
  EXPECT_EQ(LastWrite()[6 + 31], 0);

  const size_t writes = usb.writes.size();
  const int opens = usb.opens;
  serial = std::string(32, '9');
  EXPECT_FALSE(esc.cmd_serial_number(1, serial));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kTooLong);
  EXPECT_EQ(usb.writes.size(), writes);
  EXPECT_EQ(usb.opens, opens);
}

TEST_F(TextCommandTest, TextLongerThanThePacketIsRefused) {
  AnswerWith(Reply(0xA7, {0x01}));
  std::string text(20474, 'n');
  ASSERT_TRUE(esc.cmd_blue_name(1, text));
  EXPECT_EQ(LastWrite().size(), 20481u);
  text.push_back('n');
  usb.writes.clear();
  EXPECT_FALSE(esc.cmd_blue_name(1, text));
  EXPECT_EQ(esc.last_failure(), CmdFailure::kTooLong);
  EXPECT_TRUE(usb.writes.empty());
  // 65536 + 3 bytes must not slip through as a 3-byte packet via the 16-bit size field.
  text.assign(65539, 'n');
  EXPECT_FALSE(esc.cmd_blue_name(1, text));
  EXPECT_TRUE(usb.writes.empty());
}

}  // namespace
}  // namespace quillon::testing
