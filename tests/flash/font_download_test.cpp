// Font library download against the scripted printer: erase and write sequences, retries,
// refusals before the erase, and the memo lines.
#include <gtest/gtest.h>

#include "flash/font_download.h"
#include "flash_rig.h"

namespace quillon::testing {
namespace {

using Bytes = std::vector<uint8_t>;

class FontDownloadTest : public ::testing::Test {
 protected:
  FlashOutcome Run(const Bytes& content, const std::string& packsize, bool erase_all = false) {
    TempFile file(content, "font.bin");
    FontJob job;
    job.path = file.path();
    job.packsize_text = packsize;
    job.erase_all = erase_all;
    job.local_time = [] {
      std::tm tm{};
      tm.tm_year = 126;
      tm.tm_mon = 11;
      tm.tm_mday = 9;
      tm.tm_hour = 8;
      tm.tm_min = 5;
      tm.tm_sec = 7;
      return tm;
    };
    return FontDownload(rig.ctx, rig.ui, job);
  }
  std::vector<uint32_t> Addresses(uint8_t code) const {
    std::vector<uint32_t> out;
    for (const Received* r : rig.printer.WithCode(code)) out.push_back(GetLE32(r->data.data()));
    return out;
  }
  std::vector<uint32_t> WriteSizes() const {
    std::vector<uint32_t> out;
    for (const Received* r : rig.printer.WithCode(0xE1)) out.push_back(GetLE32(r->data.data() + 4));
    return out;
  }

  FlashRig rig;
};

TEST_F(FontDownloadTest, EightMegabytesInSectorsAndPackets) {
  const Bytes font = Pattern(8388608);
  const FlashOutcome out = Run(font, "4096");
  ASSERT_EQ(out.result, FlashResult::kOk);

  const std::vector<uint32_t> erases = Addresses(0xE0);
  ASSERT_EQ(erases.size(), 2048u);
  for (size_t i = 0; i < erases.size(); ++i) ASSERT_EQ(erases[i], i * 4096) << i;
  EXPECT_EQ(erases.back(), 8384512u);
  EXPECT_EQ(Addresses(0xE1).size(), 2048u);
  EXPECT_EQ(rig.printer.flash, font);
  EXPECT_EQ(out.bytes, 8388608u);
  // Every erase step and every packet is followed by a 1 ms pause.
  EXPECT_GE(out.elapsed_ms, 4096u);

  ASSERT_EQ(rig.ui.memo.size(), 7u);
  EXPECT_EQ(rig.ui.memo[0], "START:2026-12-09 08:05:07");
  EXPECT_EQ(rig.ui.memo[1], "MSG0208388608");
  EXPECT_EQ(rig.ui.memo[2], "MSG011");
  EXPECT_EQ(rig.ui.memo[3], "MSG013");
  EXPECT_EQ(rig.ui.memo[4], "MSG024");
  EXPECT_EQ(rig.ui.memo[5], "END:2026-12-09 08:05:07");
  EXPECT_EQ(rig.ui.memo[6].rfind("8388608 bytes in ", 0), 0u);
  EXPECT_EQ(rig.ui.progress, 8388608);
  EXPECT_EQ(rig.usb.opens, 1);
  EXPECT_EQ(rig.usb.closes, 1);
}

TEST_F(FontDownloadTest, ShortLastSectorAndPacket) {
  Bytes font = Pattern(4096);
  for (uint8_t b : {0xAA, 0xBB, 0xCC, 0xDD}) font.push_back(b);
  ASSERT_EQ(Run(font, "4096").result, FlashResult::kOk);
  EXPECT_EQ(Addresses(0xE0), (std::vector<uint32_t>{0, 4096}));
  EXPECT_EQ(WriteSizes(), (std::vector<uint32_t>{4096, 4}));
  EXPECT_EQ(rig.printer.commands.back().raw,
            (Bytes{0x10, 0xE1, 0x01, 0x00, 0x0C, 0x00, 0x00, 0x10, 0x00, 0x00, 0x04, 0x00, 0x00,
                   0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0x20}));

  rig.printer.commands.clear();
  ASSERT_EQ(Run(Pattern(5000), "1024").result, FlashResult::kOk);
  EXPECT_EQ(Addresses(0xE0), (std::vector<uint32_t>{0, 4096}));
  EXPECT_EQ(WriteSizes(), (std::vector<uint32_t>{1024, 1024, 1024, 1024, 904}));
}

TEST_F(FontDownloadTest, EmptyFileSendsNothingButReportsEveryStep) {
  ASSERT_EQ(Run(Bytes{}, "1024").result, FlashResult::kOk);
  EXPECT_TRUE(rig.printer.commands.empty());
  ASSERT_GE(rig.ui.memo.size(), 6u);
  EXPECT_EQ(rig.ui.memo[1], "MSG0200");
  EXPECT_EQ(rig.ui.memo[3], "MSG013");
  EXPECT_EQ(rig.ui.memo[4], "MSG024");
  EXPECT_EQ(rig.ui.memo[5].rfind("END:", 0), 0u);
}

TEST_F(FontDownloadTest, EraseAllSendsOneWholeFlashErase) {
  ASSERT_EQ(Run(Pattern(20000), "8192", true).result, FlashResult::kOk);
  const auto erases = rig.printer.WithCode(0xE0);
  ASSERT_EQ(erases.size(), 1u);
  EXPECT_EQ(erases[0]->opera, 0);
  EXPECT_EQ(GetLE32(erases[0]->data.data()), 0u);
  EXPECT_EQ(WriteSizes(), (std::vector<uint32_t>{8192, 8192, 3616}));

  rig.printer.commands.clear();
  rig.printer.fault = [](const Received& r, int) {
    return r.code == 0xE0 ? Answer::kBadChecksum : Answer::kAck;
  };
  EXPECT_EQ(Run(Pattern(20000), "8192", true).result, FlashResult::kEraseFailed);
  EXPECT_EQ(rig.printer.commands.size(), 1u);  // tried once, nothing written
  EXPECT_EQ(rig.ui.memo.back(), "MSG012");
}

TEST_F(FontDownloadTest, PacketAcknowledgedOnSecondAttemptLeavesOneRetryLine) {
  rig.printer.fault = [](const Received& r, int attempt) {
    return r.code == 0xE1 && GetLE32(r.data.data()) == 1024 && attempt == 1 ? Answer::kSilent
                                                                            : Answer::kAck;
  };
  const Bytes font = Pattern(3000);
  ASSERT_EQ(Run(font, "1024").result, FlashResult::kOk);
  EXPECT_EQ(Addresses(0xE1), (std::vector<uint32_t>{0, 1024, 1024, 2048}));
  EXPECT_EQ(std::count(rig.ui.memo.begin(), rig.ui.memo.end(), "MSG0211024MSG0221MSG023"), 1);
  EXPECT_EQ(rig.ui.memo.size(), 8u);
  EXPECT_EQ(Bytes(rig.printer.flash.begin(), rig.printer.flash.begin() + 3000), font);
}

TEST_F(FontDownloadTest, PacketFailingThreeTimesStopsAndClosesLink) {
  rig.printer.fault = [](const Received& r, int) {
    return r.code == 0xE1 && GetLE32(r.data.data()) == 2048 ? Answer::kBadChecksum : Answer::kAck;
  };
  const FlashOutcome out = Run(Pattern(5000), "1024");
  EXPECT_EQ(out.result, FlashResult::kWriteFailed);
  EXPECT_EQ(out.failed_address, 2048u);
  EXPECT_EQ(Addresses(0xE1), (std::vector<uint32_t>{0, 1024, 2048, 2048, 2048}));
  const std::vector<std::string> tail(rig.ui.memo.end() - 3, rig.ui.memo.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"MSG0212048MSG0221MSG023", "MSG0212048MSG0222MSG023",
                                            "MSG0212048"}));
  EXPECT_EQ(rig.usb.closes, rig.usb.opens);
}

TEST_F(FontDownloadTest, SectorEraseRetriesUpToTenTimes) {
  rig.printer.fault = [](const Received& r, int attempt) {
    return r.code == 0xE0 && GetLE32(r.data.data()) == 4096 && attempt < 10 ? Answer::kBadChecksum
                                                                            : Answer::kAck;
  };
  ASSERT_EQ(Run(Pattern(9000), "4096").result, FlashResult::kOk);
  EXPECT_EQ(Addresses(0xE0).size(), 1u + 10u + 1u);
  EXPECT_EQ(std::count(rig.ui.memo.begin(), rig.ui.memo.end(), "MSG012"), 0);

  rig.printer.commands.clear();
  rig.printer.fault = [](const Received& r, int) {
    return r.code == 0xE0 && GetLE32(r.data.data()) == 4096 ? Answer::kSilent : Answer::kAck;
  };
  const FlashOutcome out = Run(Pattern(9000), "4096");
  EXPECT_EQ(out.result, FlashResult::kEraseFailed);
  EXPECT_EQ(Addresses(0xE0),
            (std::vector<uint32_t>{0, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096}));
  EXPECT_TRUE(rig.printer.WithCode(0xE1).empty());
  EXPECT_EQ(rig.ui.memo.back(), "MSG012");
  EXPECT_EQ(rig.usb.closes, rig.usb.opens);
}

TEST_F(FontDownloadTest, PacketSizeTextMustBeAUsableWholeNumber) {
  for (const char* bad : {"", "abc", "0", "-1024", "1024x", "4.5", "20467", "99999999999"}) {
    rig.messages.boxes.clear();
    EXPECT_EQ(Run(Pattern(100), bad).result, FlashResult::kBadPackSize) << bad;
    ASSERT_EQ(rig.messages.boxes.size(), 1u);
    EXPECT_NE(rig.messages.boxes[0].text.find("20466"), std::string::npos);
  }
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_EQ(ParsePackSize(" 8192 "), 8192u);
  EXPECT_EQ(ParsePackSize("20466"), 20466u);
  ASSERT_EQ(Run(Pattern(30000), "20466").result, FlashResult::kOk);
  EXPECT_EQ(WriteSizes(), (std::vector<uint32_t>{20466, 9534}));
}

TEST_F(FontDownloadTest, FileChecksBeforeAnythingIsSent) {
  FontJob job;
  job.path = "MSG030";
  EXPECT_EQ(FontDownload(rig.ctx, rig.ui, job).result, FlashResult::kNoFile);
  EXPECT_EQ(rig.messages.boxes.back().text, "MSG019");
  job.path = "/nonexistent/quillon/font.bin";
  EXPECT_EQ(FontDownload(rig.ctx, rig.ui, job).result, FlashResult::kFileMissing);
  EXPECT_EQ(rig.messages.boxes.back().text, "MSG005");
  TempFile dir(Bytes{1});
  job.path = dir.folder().string();
  EXPECT_EQ(FontDownload(rig.ctx, rig.ui, job).result, FlashResult::kFileUnreadable);
  EXPECT_NE(rig.messages.boxes.back().text.find(job.path), std::string::npos);
  EXPECT_TRUE(rig.usb.writes.empty());
  EXPECT_TRUE(rig.ui.memo.empty());
}

TEST_F(FontDownloadTest, CancelStopsBetweenPackets) {
  rig.ui.cancel_after_progress = 3;
  EXPECT_EQ(Run(Pattern(8192), "1024").result, FlashResult::kCancelled);
  EXPECT_EQ(rig.printer.commands.size(), 2u);  // two sectors erased, then stopped
  EXPECT_TRUE(rig.printer.WithCode(0xE1).empty());
  EXPECT_EQ(rig.usb.closes, rig.usb.opens);
}

}  // namespace
}  // namespace quillon::testing

namespace quillon::testing {
namespace {

// Files whose size is no multiple of the sector or the packet size: every packet carries
// its own address and length, the last one short; progress and summary count every byte.
TEST_F(FontDownloadTest, SizesThatDoNotDivideEndWithAShortPacketAndAFullCount) {
  const std::pair<uint32_t, uint32_t> cases[] = {{1, 1024},    {4097, 4096},  {5000, 1024},
                                                 {8193, 4096}, {12289, 8192}, {20000, 8192}};
  for (const auto& [size, pack] : cases) {
    SCOPED_TRACE(std::to_string(size) + " bytes in packets of " + std::to_string(pack));
    rig.printer.commands.clear();
    rig.printer.flash.clear();
    const Bytes font = Pattern(size, size);
    const FlashOutcome out = Run(font, std::to_string(pack));
    ASSERT_EQ(out.result, FlashResult::kOk);

    std::vector<uint32_t> sectors, addresses, lengths;
    for (uint32_t a = 0; a < size; a += 4096) sectors.push_back(a);
    for (uint32_t a = 0; a < size; a += pack) {
      addresses.push_back(a);
      lengths.push_back(std::min(pack, size - a));
    }
    EXPECT_EQ(Addresses(0xE0), sectors);
    EXPECT_EQ(Addresses(0xE1), addresses);
    EXPECT_EQ(WriteSizes(), lengths);
    const Received& last = *rig.printer.WithCode(0xE1).back();
    EXPECT_EQ(GetLE16(last.raw.data() + 4), lengths.back() + 8);  // the length field
    EXPECT_EQ(last.raw.size(), lengths.back() + 15u);
    EXPECT_EQ(Bytes(rig.printer.flash.begin(), rig.printer.flash.begin() + size), font);
    EXPECT_EQ(rig.ui.progress_max, size);
    EXPECT_EQ(rig.ui.progress, size);
    EXPECT_EQ(out.bytes, size);
    EXPECT_EQ(rig.ui.memo.back().rfind(std::to_string(size) + " bytes in ", 0), 0u)
        << rig.ui.memo.back();
  }
}

}  // namespace
}  // namespace quillon::testing
