// Regression cases the serial receive fuzz target found or aims at: a negative reply count,
// and a stream larger than the receive buffer arriving while the exchange waits.
#include <gtest/gtest.h>

#include <vector>

#include "link/printer_link.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"

namespace quillon::faults {
namespace {

class QuietPort final : public CommPort {
 public:
  bool WriteCommData(const uint8_t*, uint16_t) override { return true; }
  void SetReadIntervalTimeout(uint32_t) override {}
  bool IsOpen() const override { return true; }
};

// Hands the link one block per wait, as the port's receive events would.
class FeedingPump final : public MessagePump {
 public:
  explicit FeedingPump(quillon::testing::FakeClock& clock) : clock_(clock) {}
  void ProcessMessages(uint32_t max_wait_ms) override {
    if (!blocks.empty() && link) {
      link->cm_spcommReceiveData(blocks.front().data(),
                                 static_cast<uint16_t>(blocks.front().size()));
      blocks.erase(blocks.begin());
    }
    clock_.Advance(max_wait_ms);
  }
  std::vector<std::vector<uint8_t>> blocks;
  PrinterLink* link = nullptr;

 private:
  quillon::testing::FakeClock& clock_;
};

struct SerialRig {
  SerialRig() {
    pump.link = &link;
    link.SetCommPort(&port);
    link.SetUseCommPort(true);
  }
  quillon::testing::FakeClock clock{100};
  FeedingPump pump{clock};
  quillon::testing::ScriptedUsb usb;
  QuietPort port;
  PrinterLink link{usb, clock, pump};
};

TEST(SerialReceive, NegativeCountReadsNothing) {
  SerialRig rig;
  rig.pump.blocks = {{0x10, 0x01, 0x00, 0x00, 0x01, 0x00, 0x02, 0x14}};
  std::vector<uint8_t> out(kRecvBufSize, 0xA5);
  int32_t len = 7;
  EXPECT_FALSE(rig.link.ReadComm(out.data(), len, -5, 100));
  EXPECT_EQ(len, 7);
  EXPECT_EQ(out[0], 0xA5);
  const uint8_t request[7] = {0x10, 0x01, 0, 0, 0, 0, 0x11};
  rig.pump.blocks = {{0x10, 0x01, 0x00, 0x00, 0x01, 0x00, 0x02, 0x14}};
  EXPECT_EQ(rig.link.SendAndRecv(request, 7, out, -1, 100), 0);
}

TEST(SerialReceive, StreamLargerThanTheBufferIsCutAtItsEnd) {
  SerialRig rig;
  rig.pump.blocks = {std::vector<uint8_t>(60000, 0x41), std::vector<uint8_t>(9000, 0x42)};
  std::vector<uint8_t> out(kRecvBufSize);
  const uint8_t request[7] = {0x10, 0x01, 0, 0, 0, 0, 0x11};
  const int32_t got =
      rig.link.SendAndRecv(request, 7, out, static_cast<int32_t>(kCommBufSize), 500);
  EXPECT_EQ(got, static_cast<int32_t>(kCommBufSize));
  EXPECT_EQ(rig.link.CommRecvLen(), static_cast<int32_t>(kCommBufSize));
  // The count was reached with the first block: the rest of it was dropped, the second
  // block is left for later.
  EXPECT_EQ(rig.link.comm_dropped(), 60000 - static_cast<int32_t>(kCommBufSize));
  EXPECT_EQ(rig.pump.blocks.size(), 1u);
  EXPECT_EQ(out[kCommBufSize - 1], 0x41);
}

}  // namespace
}  // namespace quillon::faults
