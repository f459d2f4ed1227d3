// The serial component over Windows COM ports, run under Wine against a null-modem pair of
// pseudo-terminals (scripts/null_modem.py) mapped as two COM ports. The stage names them in
// QUILLON_NULL_MODEM ("COM7,COM8,<Windows path of the relay's control FIFO>").
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/serial/comm_notifier.h"
#include "link/serial/line_probe.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "link/serial/windows_serial.h"

namespace quillon {
namespace {

struct NullModem {
  std::string a, b, ctl;
};

bool Pair(NullModem& m) {
  const char* env = std::getenv("QUILLON_NULL_MODEM");
  if (!env) return false;
  const std::string s = env;
  const size_t c1 = s.find(','), c2 = s.find(',', c1 + 1);
  if (c1 == std::string::npos || c2 == std::string::npos) return false;
  m = {s.substr(0, c1), s.substr(c1 + 1, c2 - c1 - 1), s.substr(c2 + 1)};
  return true;
}

// Gives the relay a command through its control FIFO.
bool Tell(const NullModem& m, const std::string& command) {
  HANDLE ctl = CreateFileA(m.ctl.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (ctl == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  const bool ok = WriteFile(ctl, command.data(), static_cast<DWORD>(command.size()), &n, nullptr);
  CloseHandle(ctl);
  return ok && n == command.size();
}

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t x = 12345;
  for (uint8_t& b : v) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  return v;
}

// Pumps the component's notifications until done() or the limit (a failing test ends).
bool PumpUntil(QueueNotifier& pump, const std::function<bool()>& done, int limit_ms = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    pump.ProcessMessages(10);
  }
  return true;
}

class WinCommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Pair(modem)) GTEST_SKIP() << "QUILLON_NULL_MODEM not set (run by scripts/test.sh)";
    for (TComm* c : {&a, &b}) {
      ConfigureMainWindowPort(*c);
      c->SetInx_XonXoffFlow(false);  // raw both ways: the test data holds 0x11 and 0x13
      c->SetReadIntervalTimeout(1);
    }
    a.SetCommName(modem.a);
    b.SetCommName(modem.b);
    a.OnReceiveData = [this](TComm&, const uint8_t* p, uint16_t n) {
      a_blocks.emplace_back(p, p + n);
      terminated = terminated && p[n] == 0;
    };
    b.OnReceiveData = [this](TComm&, const uint8_t* p, uint16_t n) {
      b_got.insert(b_got.end(), p, p + n);
    };
    a.OnRequestHangup = [this](TComm&) { ++hangups; };
    a.OnSendDataEmpty = [this](TComm&) { ++send_empty; };
  }

  std::vector<uint8_t> AReceived() const {
    std::vector<uint8_t> all;
    for (const auto& blk : a_blocks) all.insert(all.end(), blk.begin(), blk.end());
    return all;
  }

  NullModem modem;
  QueueNotifier pump;
  TComm a{pump};
  TComm b{pump};
  std::vector<std::vector<uint8_t>> a_blocks;
  std::vector<uint8_t> b_got;
  bool terminated = true;
  int hangups = 0;
  int send_empty = 0;
};

std::string OpenError(TComm& comm) {
  try {
    comm.StartComm();
  } catch (const ECommsError& e) {
    return e.what();
  }
  return "";
}

TEST_F(WinCommTest, OpeningLineSettingsAndErrors) {
  TComm missing{pump};
  missing.SetCommName("COM42");
  EXPECT_EQ(OpenError(missing), CommOpenErrorText(PortOpenFailure::kMissing, "\\\\.\\COM42"));
  EXPECT_EQ(missing.Handle(), kNoPort);

  ASSERT_EQ(OpenError(a), "");
  EXPECT_NE(a.Handle(), kNoPort);
  EXPECT_EQ(OpenError(a), kCommAlreadyOpen);  // the first open is untouched
  EXPECT_TRUE(a.IsOpen());
  ASSERT_TRUE(PumpUntil(pump, [&] { return send_empty == 1; }));  // once after the open

  // The port's control block carries the component's settings.
  a.SetBaudRate(57600);
  DCB d = {};
  d.DCBlength = sizeof d;
  ASSERT_TRUE(GetCommState(a.Handle(), &d));
  EXPECT_EQ(d.BaudRate, 57600u);
  EXPECT_EQ(d.ByteSize, 8);
  EXPECT_EQ(d.fOutX, 0u);

  EXPECT_FALSE(a.WriteCommData(nullptr, 0));
  a.StopComm();
  a.StopComm();
  EXPECT_EQ(a.Handle(), kNoPort);
  EXPECT_FALSE(a.WriteCommData(reinterpret_cast<const uint8_t*>("x"), 1));
  EXPECT_EQ(OpenError(a), "");  // and it opens again
}

TEST_F(WinCommTest, BurstsArriveWholeInBoundedBlocks) {
  ASSERT_EQ(OpenError(a), "");
  ASSERT_EQ(OpenError(b), "");
  const std::vector<uint8_t> burst = Pattern(10000);
  ASSERT_TRUE(b.WriteCommData(burst.data(), static_cast<uint16_t>(burst.size())));
  ASSERT_TRUE(PumpUntil(pump, [&] { return AReceived().size() >= burst.size(); }));
  EXPECT_EQ(AReceived(), burst);
  for (const auto& blk : a_blocks) EXPECT_LE(blk.size(), INPUTBUFFERSIZE);
  EXPECT_TRUE(terminated);
}

TEST_F(WinCommTest, LongWritesGoOutWholeAndInOrder) {
  ASSERT_EQ(OpenError(a), "");
  ASSERT_EQ(OpenError(b), "");
  // 65535 bytes in one call, then a further block: one stream, in order.
  const std::vector<uint8_t> big = Pattern(65535);
  const std::vector<uint8_t> tail = {1, 2, 3};
  ASSERT_TRUE(a.WriteCommData(big.data(), 65535));
  ASSERT_TRUE(a.WriteCommData(tail.data(), 3));
  std::vector<uint8_t> want = big;
  want.insert(want.end(), tail.begin(), tail.end());
  ASSERT_TRUE(PumpUntil(
      pump, [&] { return b_got.size() >= want.size(); }, 60000));
  EXPECT_EQ(b_got, want);
  ASSERT_TRUE(PumpUntil(pump, [&] { return a.SendDataEmpty(); }));
}

TEST_F(WinCommTest, AnOrderlyCloseDeliversEverythingHandedOver) {
  ASSERT_EQ(OpenError(a), "");
  ASSERT_EQ(OpenError(b), "");
  const std::vector<uint8_t> big = Pattern(65535);
  ASSERT_TRUE(a.WriteCommData(big.data(), 65535));
  ASSERT_TRUE(a.WriteCommData(big.data(), 100));
  EXPECT_FALSE(a.CloseIfHungUp());               // the line is there
  const CommDelivery d = a.StopCommDelivered();  // at once: most is still queued
  EXPECT_TRUE(d.ok()) << d.undelivered;
  EXPECT_EQ(d.handed, 65635u);
  EXPECT_FALSE(a.IsOpen());
  ASSERT_TRUE(PumpUntil(pump, [&] { return b_got.size() >= 65635; }));
  EXPECT_EQ(b_got.size(), 65635u);
  EXPECT_TRUE(std::equal(big.begin(), big.end(), b_got.begin()));
}

TEST_F(WinCommTest, AStopAbandonsOutputTheLineDoesNotTake) {
  ASSERT_EQ(OpenError(a), "");
  ASSERT_EQ(OpenError(b), "");
  auto relay = [&](const std::string& command, const std::string& done) {
    return Tell(modem, command + "\n") && PumpUntil(pump, [&] {
             return std::search(b_got.begin(), b_got.end(), done.begin(), done.end()) !=
                    b_got.end();
           });
  };
  // The cable takes nothing more from a: about 17 s of bytes at the line rate back up.
  ASSERT_TRUE(relay("hold", "held"));
  const std::vector<uint8_t> big = Pattern(65535);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(a.WriteCommData(big.data(), 65535));
  std::promise<void> waiting;
  bool told = false;
  std::atomic<bool> stop{false};
  std::chrono::steady_clock::time_point asked;
  std::thread user([&] {
    waiting.get_future().wait();  // the delivery wait has begun
    asked = std::chrono::steady_clock::now();
    stop = true;
  });
  const CommDelivery d = a.StopCommDelivered([&] {
    if (!std::exchange(told, true)) waiting.set_value();
    return stop.load();
  });
  const auto returned = std::chrono::steady_clock::now();
  if (!told) waiting.set_value();  // never asked: the user thread must not wait forever
  user.join();
  EXPECT_TRUE(told);
  EXPECT_GT(d.undelivered, 0u);
  EXPECT_FALSE(a.IsOpen());
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(returned - asked).count();
  RecordProperty("stop_ms", static_cast<int>(ms));
  EXPECT_LT(ms, static_cast<int64_t>(kDeliverySlackMs));  // given up, not waited out
  ASSERT_TRUE(relay("release", "released"));  // what a sent is dropped, the cable works again
}

TEST_F(WinCommTest, ALostLineAsksForAHangUp) {
  ASSERT_EQ(OpenError(a), "");
  EXPECT_FALSE(SerialLineGone(a.Handle()));
  // Pull a's cable: the relay closes its side of the pair.
  ASSERT_TRUE(Tell(modem, "hangup\n")) << modem.ctl;
  ASSERT_TRUE(PumpUntil(pump, [&] { return hangups > 0; }));
  EXPECT_TRUE(a.IsOpen());                  // a request closes nothing by itself
  EXPECT_TRUE(SerialLineGone(a.Handle()));  // what the serial path checks before closing
  EXPECT_TRUE(a.CloseIfHungUp());
  EXPECT_FALSE(a.IsOpen());
  EXPECT_TRUE(a.LineLost());
}

}  // namespace
}  // namespace quillon
