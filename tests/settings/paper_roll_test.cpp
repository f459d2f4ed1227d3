// The roll record's check byte and the tag sequences against a scripted reader.
#include <gtest/gtest.h>

#include <cstring>

#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "settings/paper_roll.h"
#include "support/scripted_usb.h"

namespace quillon {
namespace {

TEST(PaperRecord, DefaultRecordCheckByteAndLow16Bits) {
  TPaper p = MakePaper(1, 200, 50, 30, 2);
  EXPECT_EQ(p.CRC, 0x4E);
  EXPECT_EQ(GetCRC(p), 0x4E);
  EXPECT_EQ(MakePaper(1, 70000, 50, 30, 2).Count(), 4464);
}

TEST(PaperRecord, KeysAreSixFixedBytesAndDiffer) {
  uint8_t a[6], b[6], c[6];
  FactoryTransportKey(a);
  RollKey(b);
  RollKey(c);
  EXPECT_EQ(std::memcmp(b, c, 6), 0);
  EXPECT_NE(std::memcmp(a, b, 6), 0);
  for (uint8_t x : a) EXPECT_EQ(x, 0xFF);
}

// A reader whose answers are chosen per command code.
struct Reader {
  testing::FakeClock clock;
  testing::FakeClockPump pump{clock};
  testing::ScriptedUsb usb{&clock};
  PrinterLink link{usb, clock, pump};
  EscCmd esc{link};
  std::vector<uint8_t> codes;
  std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> answer;

  Reader() {
    link.SetUsbIds("1fc9", "2016");
    link.FindPrinter();
    usb.on_write = [this](const std::vector<uint8_t>& w, testing::ScriptedUsb& u) {
      codes.push_back(w[1]);
      auto data = answer(w);
      u.QueueReply(MakeFrame(0x10, w[1], 1, data));
    };
  }
};

TEST(PaperRollTag, CreateFallsBackToRollKeyThenWritesRecordAndKeys) {
  Reader r;
  int auths = 0;
  std::vector<uint8_t> written_record, written_keys;
  r.answer = [&](const std::vector<uint8_t>& w) -> std::vector<uint8_t> {
    switch (w[1]) {
      case 0x83:
        return {static_cast<uint8_t>(++auths == 2 ? 1 : 0), 1, 2, 3, 4};
      case 0x84: {
        std::vector<uint8_t> d(17, 0x07);
        d[0] = 1;
        return d;
      }
      case 0x85:
        (w[6] == 1 ? written_record : written_keys).assign(w.begin() + 7, w.begin() + 23);
        return {1};
      default:
        return {1};
    }
  };
  uint32_t waited = 0;
  TPaper p = MakePaper(1, 200, 50, 30, 2);
  RollResult res = CreateRollTag(r.esc, p, [&](uint32_t ms) { waited += ms; });
  EXPECT_TRUE(res.ok);
  EXPECT_EQ(res.message, "Create new card complete");
  EXPECT_EQ(waited, 100u);
  EXPECT_EQ(r.codes, (std::vector<uint8_t>{0x86, 0x83, 0x83, 0x84, 0x85, 0x85}));
  EXPECT_EQ(std::memcmp(written_record.data(), &p, 16), 0);
  uint8_t roll[6];
  RollKey(roll);
  ASSERT_EQ(written_keys.size(), 16u);
  EXPECT_EQ(std::memcmp(written_keys.data(), roll, 6), 0);
  EXPECT_EQ(std::memcmp(written_keys.data() + 10, roll, 6), 0);
  EXPECT_EQ(written_keys[6], 0x07);  // access bytes kept as read
  EXPECT_FALSE(r.link.USB().hDevHandle);
}

TEST(PaperRollTag, CreateStopsWhenBothKeysFail) {
  Reader r;
  r.answer = [](const std::vector<uint8_t>& w) -> std::vector<uint8_t> {
    return w[1] == 0x83 ? std::vector<uint8_t>{0, 0, 0, 0, 0} : std::vector<uint8_t>{1};
  };
  RollResult res = CreateRollTag(r.esc, MakePaper(1, 1, 1, 1, 1), nullptr);
  EXPECT_FALSE(res.ok);
  EXPECT_EQ(res.message, "Auth Card fault");
  EXPECT_EQ(r.codes, (std::vector<uint8_t>{0x86, 0x83, 0x83}));
}

TEST(PaperRollTag, ReadFillsRecordEvenWithBadCheckByte) {
  Reader r;
  TPaper stored = MakePaper(0, 300, 80, 40, 3);
  stored.CRC ^= 0xFF;
  r.answer = [&](const std::vector<uint8_t>& w) -> std::vector<uint8_t> {
    if (w[1] == 0x84) {
      std::vector<uint8_t> d{1};
      const auto* b = reinterpret_cast<const uint8_t*>(&stored);
      d.insert(d.end(), b, b + 16);
      return d;
    }
    return {1, 0, 0, 0, 0};
  };
  TPaper got{};
  RollResult res = ReadRollTag(r.esc, got);
  EXPECT_TRUE(res.ok);
  EXPECT_EQ(res.message, "Read OK");
  EXPECT_EQ(got.PaperType, 0);
  EXPECT_EQ(got.Count(), 300);
  EXPECT_EQ(got.Gap(), 3);
}

TEST(PaperRollTag, ReadWithoutAnswerSaysAuthFault) {
  Reader r;
  r.usb.on_write = nullptr;  // the reader stays silent
  TPaper got{};
  RollResult res = ReadRollTag(r.esc, got);
  EXPECT_FALSE(res.ok);
  EXPECT_EQ(res.message, "Auth Card fault");
}

}  // namespace
}  // namespace quillon
