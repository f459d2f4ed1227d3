// The exchange over the serial path: through TComm on a pseudo-terminal with a responding
// device, and the wait's ending rules against scripted blocks and a fake clock.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "link/printer_link.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "protocol/esc_cmd.h"
#include "protocol/frame.h"
#include "pty_pair.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"

namespace quillon {
namespace {

using testing::Pattern;
using testing::PtyPair;

const std::vector<uint8_t> kQuery{0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1};

// The printer on the master side: answers one request of request_size bytes.
class Responder {
 public:
  Responder(PtyPair& pty, size_t request_size,
            std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> answer)
      : thread_([&pty, request_size, answer] {
          const std::vector<uint8_t> request = pty.ReadMaster(request_size);
          if (request.size() == request_size) pty.WriteMaster(answer(request));
        }) {}
  ~Responder() { thread_.join(); }

 private:
  std::thread thread_;
};

class SerialExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(pty.master(), 0);
    ConfigureMainWindowPort(comm);
    comm.SetCommName(pty.slave_path());
    AttachSerialPort(link, comm);
    comm.StartComm();
    link.SetUseCommPort(true);
  }

  int32_t Exchange(const std::vector<uint8_t>& reply, uint32_t timeout) {
    Responder responder(pty, kQuery.size(), [reply](const std::vector<uint8_t>&) { return reply; });
    return link.SendAndRecv(kQuery.data(), 7, std::span<uint8_t>(recv), 8, timeout);
  }

  QueueNotifier notifier;
  testing::ScriptedUsb usb;
  PrinterLink link{usb, SystemClock(), notifier};
  PtyPair pty;
  TComm comm{notifier};
  uint8_t recv[128] = {};
};

TEST_F(SerialExchangeTest, ExactCountEndsTheWaitLongerWaitsShorterFails) {
  const std::vector<uint8_t> twelve = Pattern(12);
  // Eight bytes end the wait as soon as they are in (the long time-out is never reached).
  EXPECT_EQ(Exchange({twelve.begin(), twelve.begin() + 8}, 30000), 8);
  EXPECT_TRUE(std::equal(recv, recv + 8, twelve.begin()));
  EXPECT_EQ(link.RecvLen(), 8);

  // Twelve bytes keep the wait going to the time-out, then the first eight are delivered.
  std::fill(std::begin(recv), std::end(recv), 0);
  EXPECT_EQ(Exchange(twelve, 1000), 8);
  EXPECT_TRUE(std::equal(recv, recv + 8, twelve.begin()));
  EXPECT_EQ(recv[8], 0);

  // Seven bytes are too few.
  EXPECT_EQ(Exchange({twelve.begin(), twelve.begin() + 7}, 1000), 0);
  EXPECT_EQ(link.RecvLen(), 0);
}

TEST_F(SerialExchangeTest, TextQueryReceivesTheWholeFrame) {
  EscCmd esc(link);
  const std::string name = "QL-PRINTER-BT-0042";
  Responder responder(pty, kFrameOverhead, [&](const std::vector<uint8_t>& request) {
    return MakeFrame(
        request[0], request[1], 0,
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
  });
  std::string value;
  ASSERT_TRUE(esc.cmd_blue_name(0, value)) << CmdFailureText(esc.last_failure());
  EXPECT_EQ(value, name);
}

TEST_F(SerialExchangeTest, LongRawWriteArrivesWhole) {
  const std::vector<uint8_t> image = Pattern(200000, 9);
  EXPECT_EQ(link.SendAndRecv(image.data(), static_cast<int32_t>(image.size()), {}, 0, 0), 0);
  EXPECT_EQ(pty.ReadMaster(image.size()), image);
}

// A port that records writes; the pump hands scripted blocks to the link, one per call.
class ScriptedPort final : public CommPort {
 public:
  bool WriteCommData(const uint8_t* data, uint16_t size) override {
    if (!open || size == 0) return false;
    writes.emplace_back(data, data + size);
    return true;
  }
  void SetReadIntervalTimeout(uint32_t ms) override { interval = ms; }
  bool IsOpen() const override { return open; }

  bool open = true;
  uint32_t interval = 100;
  std::vector<std::vector<uint8_t>> writes;
};

class BlockPump final : public MessagePump {
 public:
  explicit BlockPump(testing::FakeClock& clock) : clock_(clock) {}
  void ProcessMessages(uint32_t max_wait_ms) override {
    if (each) each();
    if (!blocks.empty()) {
      const std::vector<uint8_t> block = blocks.front();
      blocks.pop_front();
      link->cm_spcommReceiveData(block.data(), static_cast<uint16_t>(block.size()));
    }
    clock_.Advance(max_wait_ms);
  }
  PrinterLink* link = nullptr;
  std::deque<std::vector<uint8_t>> blocks;
  std::function<void()> each;  // run at every pump

 private:
  testing::FakeClock& clock_;
};

class SerialWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pump.link = &link;
    link.SetCommPort(&port);
    link.SetUseCommPort(true);
  }
  int32_t Exchange(ReplyEnd end, uint32_t timeout = 1000) {
    const uint32_t start = clock.NowMs();
    const int32_t n = link.SendAndRecv(kQuery.data(), 7, std::span<uint8_t>(recv), 8, timeout, end);
    waited = clock.NowMs() - start;
    return n;
  }

  testing::FakeClock clock{0xFFFFFF00u};  // the wait crosses the wrap of the tick counter
  BlockPump pump{clock};
  testing::ScriptedUsb usb;
  PrinterLink link{usb, clock, pump};
  ScriptedPort port;
  uint8_t recv[128] = {};
  uint32_t waited = 0;
};

TEST_F(SerialWaitTest, FramedReplyEndsWithItsWholeFrame) {
  const std::vector<uint8_t> data = Pattern(20);
  const std::vector<uint8_t> frame = MakeFrame(0x10, 0x31, 0, data);
  // The first block holds exactly the expected 8 bytes of a 27-byte frame.
  pump.blocks = {{frame.begin(), frame.begin() + 8}, {frame.begin() + 8, frame.end()}};
  EXPECT_EQ(Exchange(ReplyEnd::kFrame), 27);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), recv));
  EXPECT_LT(waited, 1000u);
  EXPECT_EQ(port.interval, 1u);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], kQuery);

  // Fixed-length commands keep the exact count: a longer frame waits out the time-out.
  pump.blocks = {frame};
  EXPECT_EQ(Exchange(ReplyEnd::kCount), 8);
  EXPECT_GT(waited, 1000u);

  // A frame whose size field promises more than ever comes: the time-out, then the
  // first expected bytes for the caller to reject.
  std::vector<uint8_t> bogus = frame;
  bogus[4] = 0xFF;
  pump.blocks = {bogus};
  EXPECT_EQ(Exchange(ReplyEnd::kFrame), 8);
  EXPECT_GT(waited, 1000u);
}

TEST_F(SerialWaitTest, HangUpAndStopEndTheWaitAndLongWaitsSaySo) {
  std::vector<std::string> notes;
  link.OnLongWait = [&](const std::string& text) { notes.push_back(text); };
  link.SetWaitNote("erase at 12288, attempt 2 of 10, up to 120 s each");
  // The line hangs up (its handler closes the port) 3 s into a 120 s wait.
  uint32_t t0 = clock.NowMs();
  pump.each = [&] { port.open = clock.NowMs() - t0 < 3000; };
  EXPECT_EQ(Exchange(ReplyEnd::kCount, 120000), 0);
  EXPECT_LE(waited, 3000u + kReadSliceMs);
  EXPECT_EQ(notes,
            (std::vector<std::string>{
                "waiting for the printer: erase at 12288, attempt 2 of 10, up to 120 s each", ""}));

  // A stop request ends the wait within a slice, and a pause too; short waits say nothing.
  notes.clear();
  t0 = clock.NowMs();
  pump.each = [&] {
    port.open = true;
    if (clock.NowMs() - t0 >= 500) link.RequestStop();
  };
  EXPECT_EQ(Exchange(ReplyEnd::kCount, 120000), 0);
  EXPECT_LE(waited, 500u + 2 * kReadSliceMs);
  EXPECT_TRUE(notes.empty());
  t0 = clock.NowMs();
  Delay(clock, pump, 60000);
  EXPECT_LE(clock.NowMs() - t0, kReadSliceMs);
  // The request ends with the command it stopped; the next one waits normally.
  { PrinterLink::BusyScope command(link); }
  EXPECT_FALSE(link.StopRequested());
}

TEST_F(SerialWaitTest, ClosedPortSendsNothingAndTimesOut) {
  port.open = false;
  EXPECT_EQ(Exchange(ReplyEnd::kCount), 0);
  EXPECT_TRUE(port.writes.empty());
  EXPECT_GT(waited, 1000u);
  // A raw send waits no time at all.
  EXPECT_EQ(Exchange(ReplyEnd::kCount, 0), 0);
  EXPECT_LE(waited, 1u);
}

TEST_F(SerialWaitTest, LongWritesGoOutInBlocksOf65535AndInputIsBounded) {
  const std::vector<uint8_t> image = Pattern(200000);
  EXPECT_EQ(link.SendAndRecv(image.data(), 200000, {}, 0, 0), 0);
  ASSERT_EQ(port.writes.size(), 4u);
  std::vector<uint8_t> joined;
  for (const auto& w : port.writes) {
    EXPECT_LE(w.size(), 65535u);
    joined.insert(joined.end(), w.begin(), w.end());
  }
  EXPECT_EQ(joined, image);

  // Bytes beyond CommBuf's room are dropped and counted, never written past it.
  const std::vector<uint8_t> block = Pattern(4096);
  for (int i = 0; i < 3; ++i) link.cm_spcommReceiveData(block.data(), 4096);
  EXPECT_EQ(link.CommRecvLen(), static_cast<int32_t>(kCommBufSize));
  EXPECT_EQ(link.comm_dropped(), 3 * 4096 - static_cast<int32_t>(kCommBufSize));
  EXPECT_EQ(link.CommBuf()[kCommBufSize - 1], block[(kCommBufSize - 1) % 4096]);
}

}  // namespace
}  // namespace quillon
