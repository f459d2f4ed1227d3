// The ESC/POS test buttons: exact bytes, sent whole on every press, no presence check.
#include "output/escpos_tests.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "output_fixture.h"

namespace quillon {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(EscPosTests, EachButtonSendsItsSequence) {
  const std::map<std::string, Bytes> expected = {
      {"btn26", {0x1B, 0x70, 0x00, 0x00, 0x00}},
      {"btn27", {0x12, 0x54}},
      {"btn28", {0x1D, 0x68, 0x32, 0x1D, 0x77, 0x02, 0x1D, 0x6B, 0x49, 0x0A,
                 '1',  '2',  '3',  '4',  '6',  '6',  '7',  '8',  '9',  '0'}},
      {"btn29",
       {0x1B, 0x5A, 0x01, 0x01, 0x02, 0x0A, 0x00, '1', '2', '3', '4', '6', '6', '7', '8', '9',
        '0'}},
      {"btn30", {0x1D, 0x66, 0x00}},
      {"btn31", {0x1D, 0x21, 0x01}},
      {"btn32", {0x1D, 0x21, 0x10}},
      {"btn33", {0x1D, 0x21, 0x11}},
      {"btn34", {0x1B, 0x61, 0x00}},
      {"btn35", {0x1B, 0x61, 0x01}},
      {"btn36", {0x1B, 0x61, 0x02}},
      {"btn37", {0x1D, 0x66, 0x01}},
      {"btn38", {0x1B, 0x40}},
      {"btn39", {0x1B, 0x64, 0x01}},
      {"btn40", {0x1D, 0x53}},
  };
  ASSERT_EQ(EscPosTests().size(), 15u);
  EXPECT_EQ(FindEscPosTest("btn28")->bytes.size(), 20u);
  EXPECT_EQ(FindEscPosTest("btn29")->bytes.size(), 17u);
  EXPECT_EQ(FindEscPosTest("btn25"), nullptr);  // the picture button is not a fixed sequence

  testing::LinkFixture f;
  for (const EscPosTest& t : EscPosTests()) {
    const auto it = expected.find(std::string(t.button));
    ASSERT_NE(it, expected.end()) << t.button;
    for (int press = 0; press < 2; ++press) {
      f.usb.writes.clear();
      SendRawBytes(f.link, t.bytes);
      ASSERT_EQ(f.usb.writes.size(), 1u) << t.button;
      EXPECT_EQ(f.usb.writes[0], it->second) << t.button << " press " << press;
    }
  }
  EXPECT_EQ(f.usb.opens, 30);
  EXPECT_EQ(f.usb.closes, 30);
}

TEST(EscPosTests, NoPrinterMeansNothingHappens) {
  testing::LinkFixture f;
  f.usb.paths.clear();
  f.link.FindPrinter();
  SendRawBytes(f.link, FindEscPosTest("btn27")->bytes);
  EXPECT_TRUE(f.usb.writes.empty());
  EXPECT_EQ(f.usb.opens, 0);
}

}  // namespace
}  // namespace quillon
