// The Bluetooth terminal's byte conversions, service table and connection reader.
#include <gtest/gtest.h>

#include <mutex>
#include <set>

#include "bluetooth/bt_bytes.h"
#include "bluetooth/connection_reader.h"
#include "bluetooth/fake_bluetooth.h"
#include "bluetooth/scan_results.h"
#include "bluetooth/service_images.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes HexBytes(std::u16string_view text) {
  Bytes bytes;
  int len = -1;
  StrToBuf(text, bytes, len);
  EXPECT_EQ(len, static_cast<int>(bytes.size()));
  return bytes;
}

TEST(StrToBuf, SkipsSpacesAndLineBreaksAndReadsPairs) {
  EXPECT_EQ(HexBytes(u"1b 40\r\n0a"), (Bytes{0x1B, 0x40, 0x0A}));
  EXPECT_EQ(HexBytes(u"aBcD ef"), (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(HexBytes(u"1 b4 0"), (Bytes{0x1B, 0x40}));  // spaces inside a pair do not matter
}

TEST(StrToBuf, OddTailIgnoredAndNonHexPairsGiveZero) {
  EXPECT_EQ(HexBytes(u"1B4"), (Bytes{0x1B}));
  EXPECT_EQ(HexBytes(u"ZZ"), (Bytes{0x00}));
  EXPECT_EQ(HexBytes(u"1G41"), (Bytes{0x00, 0x41}));
  EXPECT_EQ(HexBytes(u"测试"), (Bytes{0x00}));  // each character counts once, not per UTF-8 byte
  EXPECT_TRUE(HexBytes(u" \r\n").empty());
  EXPECT_TRUE(HexBytes(u"7").empty());

  Bytes bytes{1, 2, 3};
  int len = 0;
  EXPECT_TRUE(StrToBuf(u"0102", bytes, len));
  EXPECT_FALSE(StrToBuf(u"01ZZ", bytes, len));
  EXPECT_EQ(bytes, (Bytes{0x01, 0x00}));  // stale content never survives
}

std::vector<std::string> Lines(const ScanResults& results) {
  std::vector<std::string> lines;
  for (const SeenDevice& d : results.Seen()) lines.push_back(d.name + " " + d.address);
  return lines;
}

TEST(ScanResults, RememberedDevicesCountOnlyOnceHeard) {
  ScanResults classic;
  EXPECT_FALSE(classic.Report({"00:11:22:33:44:55", "Printer", true, false}));
  EXPECT_FALSE(classic.Report({"66:77:88:99:AA:BB", "Phone", true, false}));
  EXPECT_TRUE(classic.Report({"CC:CC:CC:CC:CC:CC", "CC-CC-CC-CC-CC-CC", false, false}));
  EXPECT_TRUE(classic.Heard("00:11:22:33:44:55"));
  EXPECT_FALSE(classic.Heard("00:11:22:33:44:55"));  // listed once
  EXPECT_FALSE(classic.Report({"cc:cc:cc:cc:cc:cc", "CC-CC-CC-CC-CC-CC", false, false}));
  EXPECT_FALSE(classic.Heard("DD:DD:DD:DD:DD:DD"));  // never reported: nothing to list
  // A name arriving after the first sighting replaces the address-style alias, not a name.
  classic.Rename("CC:CC:CC:CC:CC:CC", "Label printer");
  classic.Rename("00:11:22:33:44:55", "00-11-22-33-44-55");
  classic.Rename("00:11:22:33:44:55", "Other");
  EXPECT_EQ(Lines(classic), (std::vector<std::string>{"Label printer CC:CC:CC:CC:CC:CC",
                                                      "Printer 00:11:22:33:44:55"}));

  ScanResults low_energy(true);
  EXPECT_FALSE(low_energy.Report({"00:11:22:33:44:55", "Printer", false, false}));  // classic
  EXPECT_FALSE(low_energy.Report({"AA:AA:AA:AA:AA:01", "Tag", true, true}));
  EXPECT_TRUE(low_energy.Report({"AA:AA:AA:AA:AA:02", "", false, true}));
  EXPECT_TRUE(low_energy.Heard("AA:AA:AA:AA:AA:01"));
  EXPECT_EQ(Lines(low_energy),
            (std::vector<std::string>{" AA:AA:AA:AA:AA:02", "Tag AA:AA:AA:AA:AA:01"}));
}

TEST(HexReceiveLine, TwoUpperCaseDigitsAndASpacePerByte) {
  EXPECT_EQ(HexReceiveLine(Bytes{0x00, 0xFF}), "00 FF ");
  EXPECT_EQ(HexReceiveLine(Bytes{0x1B, 0x40, 0x0A}), "1B 40 0A ");
  EXPECT_EQ(HexReceiveLine(Bytes{0xab}), "AB ");
  EXPECT_EQ(HexReceiveLine(Bytes{}), "");
}

TEST(BtUuid, TextFormIsBracedUpperCaseAndParsesBack) {
  EXPECT_EQ(UuidToText(kSppUuid), "{00001101-0000-1000-8000-00805F9B34FB}");
  EXPECT_EQ(ParseUuid("00001101-0000-1000-8000-00805f9b34fb"), kSppUuid);
  EXPECT_EQ(ParseUuid("{00001101-0000-1000-8000-00805F9B34FB}"), kSppUuid);
  const auto custom = ParseUuid("12345678-9abc-def0-1234-56789ABCDEF0");
  ASSERT_TRUE(custom);
  EXPECT_EQ(UuidToText(*custom), "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
  for (const char* bad :
       {"", "00001101", "00001101-0000-1000-8000-00805F9B34FG",
        "{00001101-0000-1000-8000-00805F9B34FB", "000011010-000-1000-8000-00805F9B34FB",
        "00001101-0000-1000-8000-00805F9B34FB0"}) {
    EXPECT_FALSE(ParseUuid(bad)) << bad;
  }
}

TEST(ServiceImages, LookUpByUuidFirstMatchAndDefault) {
  EXPECT_EQ(ServiceImages.size(), 28u);
  std::set<BtUuid> distinct;
  for (const auto& record : ServiceImages) distinct.insert(record.UUID);
  EXPECT_EQ(distinct.size(), 28u);
  EXPECT_EQ(GetServiceImageIndex(BaseUuid(0x1102)), 7);   // first record
  EXPECT_EQ(GetServiceImageIndex(BaseUuid(0x110B)), 1);   // Audio Sink
  EXPECT_EQ(GetServiceImageIndex(BaseUuid(0x112D)), 10);  // SIM Access
  EXPECT_EQ(GetServiceImageIndex(BaseUuid(0x1130)), 0);
  EXPECT_EQ(GetServiceImageIndex(BaseUuid(0x1203)), 1);  // last record
  EXPECT_EQ(GetServiceImageIndex(kSppUuid), 3);          // serial port is not in the table
  BtUuid other = BaseUuid(0x110B);
  other.bytes[15] ^= 1;  // same 16-bit part, different base
  EXPECT_EQ(GetServiceImageIndex(other), 3);
}

// Collects the reader's lines; the reader calls it on its own thread.
struct LineSink {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> lines;
  TServerConnectionTH::LinePoster Poster() {
    return [this](std::string line) {
      std::lock_guard lock(mutex);
      lines.push_back(std::move(line));
      changed.notify_all();
    };
  }
  bool WaitForLines(std::size_t n) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), [&] { return lines.size() >= n; });
  }
};

struct ReaderFixture : ::testing::Test {
  std::shared_ptr<testing::FakeDevice> device = testing::MakeDevice("P", "00:11:22:33:44:55");
  std::unique_ptr<BtSocket> socket = device->CreateClientSocket(kSppUuid, true);
  std::shared_ptr<testing::FakeLink> link = device->links.back();
  LineSink sink;
};

TEST_F(ReaderFixture, HandsOverOneLinePerNonEmptyChunkInOrder) {
  TServerConnectionTH reader(*socket, nullptr, sink.Poster());
  reader.Start();
  link->Push({0x00, 0xFF});
  link->Push({});
  link->Push({0x41});
  ASSERT_TRUE(sink.WaitForLines(2));
  reader.Stop();
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"00 FF ", "41 "}));
}

TEST_F(ReaderFixture, StopWakesABlockedReceiveAndFreesTheServerSocket) {
  testing::FakeAdapter adapter;
  auto reader = std::make_unique<TServerConnectionTH>(
      *socket, adapter.CreateServerSocket("Basic Text Server", kSppUuid, false), sink.Poster());
  EXPECT_EQ(*adapter.servers_alive, 1);
  reader->Start();
  ASSERT_TRUE(link->WaitFor([&] { return link->receiving == 1; }));
  reader->Stop();
  EXPECT_EQ(link->receiving, 0);
  reader.reset();
  EXPECT_EQ(*adapter.servers_alive, 0);
  socket->Close();
  EXPECT_FALSE(link->closed_while_receiving);
  EXPECT_FALSE(link->receive_after_close);
}

TEST_F(ReaderFixture, BrokenLinkIsReportedOnceAndEndsTheReader) {
  TServerConnectionTH reader(*socket, nullptr, sink.Poster());
  link->Push({0x31});
  link->Break("Connection reset");
  reader.Start();
  ASSERT_TRUE(sink.WaitForLines(2));
  reader.Stop();
  EXPECT_EQ(sink.lines,
            (std::vector<std::string>{"31 ", "Server Socket closed: Connection reset"}));
  EXPECT_EQ(link->receives_after_break, 1);  // the failing call only, no flood of retries
}

TEST_F(ReaderFixture, StopBeforeStartAndTwiceIsHarmless) {
  TServerConnectionTH reader(*socket, nullptr, sink.Poster());
  reader.Stop();
  reader.Start();  // a stopped reader does not read any more
  reader.Stop();
  reader.Stop();
  EXPECT_TRUE(sink.lines.empty());
}

}  // namespace
}  // namespace quillon
