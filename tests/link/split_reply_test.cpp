// Framed replies that arrive in pieces: a text setting, the wired network record and an
// RFID block read, split at every position (the checksum last and alone among them), over
// the USB exchange and over the serial path.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/comm_port.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"
#include "virtualprinter/wire_frame.h"

namespace quillon {
namespace {

using Bytes = std::vector<uint8_t>;
using Pieces = std::deque<Bytes>;

// The serial port's side: each write is answered with the pieces queued for it, and each
// turn of the pump hands over one piece as one received block.
class PiecePort final : public CommPort, public MessagePump {
 public:
  explicit PiecePort(testing::FakeClock& clock) : clock_(clock) {}
  bool WriteCommData(const uint8_t*, uint16_t size) override {
    if (size == 0) return false;
    arriving = std::move(reply);
    return true;
  }
  void SetReadIntervalTimeout(uint32_t) override {}
  bool IsOpen() const override { return true; }
  void ProcessMessages(uint32_t max_wait_ms) override {
    if (!arriving.empty()) {
      link->cm_spcommReceiveData(arriving.front().data(),
                                 static_cast<uint16_t>(arriving.front().size()));
      arriving.pop_front();
    }
    clock_.Advance(max_wait_ms);
  }
  PrinterLink* link = nullptr;
  Pieces reply, arriving;

 private:
  testing::FakeClock& clock_;
};

struct ReplyCase {
  const char* name;
  uint8_t code;
  Bytes data;
  // Runs the builder; the value it decoded, as bytes, goes to got.
  std::function<bool(EscCmd&, Bytes& got)> run;
  Bytes expected;
};

std::vector<ReplyCase> Cases() {
  const std::string name = "QL-PRINTER-BT-0042";
  const Bytes net{192, 168, 1, 100, 255, 255, 255, 0, 192, 168, 1, 1, 1, 0, 0x8C, 0x23};
  Bytes block(16);
  for (size_t i = 0; i < 16; ++i) block[i] = static_cast<uint8_t>(0xA0 + i);
  Bytes rfid{1};
  rfid.insert(rfid.end(), block.begin(), block.end());
  return {
      {"text setting", 0xA7, Bytes(name.begin(), name.end()),
       [](EscCmd& esc, Bytes& got) {
         std::string value;
         const bool ok = esc.cmd_blue_name(0, value);
         got.assign(value.begin(), value.end());
         return ok;
       },
       Bytes(name.begin(), name.end())},
      {"wired network record", 0xAE, net,
       [](EscCmd& esc, Bytes& got) {
         TNetPar value{};
         const bool ok = esc.cmd_net_set(0, value);
         got.resize(sizeof value);
         std::memcpy(got.data(), &value, sizeof value);
         return ok;
       },
       net},
      {"RFID block read", 0x85, rfid,
       [](EscCmd& esc, Bytes& got) {
         uint8_t value[16] = {};
         const bool ok = esc.cmd_rfid_read(1, 4, value);
         got.assign(value, value + 16);
         return ok;
       },
       block},
  };
}

// Two pieces split at k, and three with the checksum alone behind an empty read.
std::vector<Pieces> Splits(const Bytes& frame) {
  std::vector<Pieces> out;
  for (size_t k = 1; k < frame.size(); ++k) {
    out.push_back({Bytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(k)),
                   Bytes(frame.begin() + static_cast<std::ptrdiff_t>(k), frame.end())});
  }
  out.push_back({Bytes(frame.begin(), frame.end() - 1), Bytes{}, Bytes{frame.back()}});
  return out;
}

TEST(SplitReplies, EveryFramedReplyIsTakenWholeOverUsb) {
  testing::FakeClock clock{1000};
  testing::FakeClockPump pump{clock};
  testing::ScriptedUsb usb{&clock};
  PrinterLink link{usb, clock, pump};
  link.SetUsbIds("1fc9", "2016");
  link.FindPrinter();
  EscCmd esc{link};
  for (const ReplyCase& c : Cases()) {
    const Bytes frame = vp::BuildPacket(vp::kWireOrdinary, c.code, 0, c.data);
    for (const Pieces& pieces : Splits(frame)) {
      SCOPED_TRACE(std::string(c.name) + ", first piece " + std::to_string(pieces[0].size()));
      usb.on_write = [pieces](const Bytes&, testing::ScriptedUsb& u) {
        for (const Bytes& p : pieces) u.QueueReply(p);
      };
      Bytes got;
      ASSERT_TRUE(c.run(esc, got)) << CmdFailureText(esc.last_failure());
      EXPECT_EQ(got, c.expected);
    }
  }
}

TEST(SplitReplies, EveryFramedReplyIsTakenWholeOverTheSerialPath) {
  testing::FakeClock clock{0xFFFFFF00u};
  PiecePort port{clock};
  testing::ScriptedUsb usb;
  PrinterLink link{usb, clock, port};
  port.link = &link;
  link.SetCommPort(&port);
  link.SetUseCommPort(true);
  EscCmd esc{link};
  for (const ReplyCase& c : Cases()) {
    const Bytes frame = vp::BuildPacket(vp::kWireOrdinary, c.code, 0, c.data);
    for (const Pieces& pieces : Splits(frame)) {
      SCOPED_TRACE(std::string(c.name) + ", first piece " + std::to_string(pieces[0].size()));
      port.reply = pieces;
      Bytes got;
      ASSERT_TRUE(c.run(esc, got)) << CmdFailureText(esc.last_failure());
      EXPECT_EQ(got, c.expected);
    }
  }
}

}  // namespace
}  // namespace quillon
