// Whole packets against known answers kept as test data (tests/data/packets, written by
// make_packets.py from the wire format alone): the builders must send them byte for byte,
// and the printer's side must take each as one good packet and rebuild it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "esc_fixture.h"
#include "virtualprinter/wire_frame.h"

namespace quillon::testing {
namespace {

Bytes ReadHex(const std::string& name) {
  const char* dir = std::getenv("QUILLON_TEST_DATA");
  std::ifstream in(std::string(dir ? dir : "tests/data") + "/packets/" + name);
  Bytes out;
  std::string line, word;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    while (words >> word) out.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
  }
  return out;
}

// The data make_packets.py fills its packets with.
Bytes Fill(size_t n) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>((i * i + 3 * i + 7) % 251);
  return out;
}

TEST_F(EscCmdTest, BuildersSendTheKnownPacketsAndThePrinterSideReadsThem) {
  const Bytes image = Fill(1024), font = Fill(8192);
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"boot_data_1024.hex", [&] { esc.cmd_boot_update_data(1024, image.data()); }},
      {"flash_write_8192.hex", [&] { esc.cmd_flash_write(0x7FE000, 8192, font.data()); }},
      {"checksum_wrap.hex",
       [&] {
         int32_t sensor = -1, out = -1;
         esc.cmd_label_Detection(1, sensor, out);
       }},
  };
  for (const auto& [file, send] : cases) {
    SCOPED_TRACE(file);
    const Bytes expected = ReadHex(file);
    ASSERT_GT(expected.size(), 7u) << "test data missing";
    ASSERT_TRUE(link.OpenUsb());
    usb.writes.clear();
    send();  // nobody answers: only the bytes on the wire matter here
    ASSERT_FALSE(usb.writes.empty());
    EXPECT_EQ(usb.writes.front(), expected);

    // Every prefix waits for more; the whole is one good packet, rebuilt the same.
    for (size_t n = 0; n < expected.size(); ++n) {
      ASSERT_EQ(vp::ScanPacket({expected.data(), n}, kMaxPacketData).scan, vp::Scan::kNeedMore);
    }
    const vp::ScanResult r = vp::ScanPacket(expected, kMaxPacketData);
    ASSERT_EQ(r.scan, vp::Scan::kPacket);
    EXPECT_EQ(r.length, expected.size());
    EXPECT_EQ(vp::BuildPacket(r.packet.kind, r.packet.code, r.packet.opera,
                              {r.packet.data, r.packet.size}),
              expected);
    Bytes changed = expected;
    changed[changed.size() / 2] ^= 0x01;
    EXPECT_EQ(vp::ScanPacket(changed, kMaxPacketData).scan, vp::Scan::kBadChecksum);
    EXPECT_EQ(vp::ScanPacket(expected, r.packet.size - 1u).scan, vp::Scan::kNotAPacket);
  }
}

}  // namespace
}  // namespace quillon::testing
