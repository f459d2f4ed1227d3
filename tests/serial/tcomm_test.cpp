// The serial port component on pseudo-terminals: opening and closing, receiving in
// blocks, sending whole blocks in order, the send-empty event, closing mid-write, hang-up.
#include "link/serial/tcomm.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/serial/comm_notifier.h"
#include "link/serial/serial_path.h"
#include "pty_pair.h"

namespace quillon {
namespace {

using Steady = std::chrono::steady_clock;
using testing::Pattern;
using testing::PtyPair;
using testing::PumpUntil;

std::string ErrorOf(TComm& comm) {
  try {
    comm.StartComm();
  } catch (const ECommsError& e) {
    return e.what();
  }
  return "";
}

// Records what the component's events deliver.
struct EventLog {
  std::vector<std::vector<uint8_t>> blocks;
  std::vector<uint8_t> received;
  bool terminated = true;  // every block was followed by a 0 byte
  int send_empty = 0;
  int hangups = 0;

  void Attach(TComm& comm) {
    comm.OnReceiveData = [this](TComm&, const uint8_t* buffer, uint16_t length) {
      blocks.emplace_back(buffer, buffer + length);
      received.insert(received.end(), buffer, buffer + length);
      if (buffer[length] != 0) terminated = false;
    };
    comm.OnSendDataEmpty = [this](TComm&) { ++send_empty; };
    comm.OnRequestHangup = [this](TComm&) { ++hangups; };
  }
};

class TCommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(pty.master(), 0);
    // The program's settings: with XON/XOFF on output the line discipline would swallow
    // the 0x11 and 0x13 bytes of the test data.
    ConfigureMainWindowPort(comm);
    comm.SetCommName(pty.slave_path());
    log.Attach(comm);
  }

  QueueNotifier notifier;
  PtyPair pty;
  EventLog log;
  TComm comm{notifier};
};

TEST_F(TCommTest, OpensOnceAndClosesQuietly) {
  EXPECT_EQ(comm.Handle(), 0);
  comm.StopComm();  // closed: nothing happens
  comm.StartComm();
  EXPECT_NE(comm.Handle(), 0);
  EXPECT_TRUE(comm.IsOpen());

  EXPECT_EQ(ErrorOf(comm), "此串口已经打开");
  // The first open is unaffected.
  const std::vector<uint8_t> hello{'h', 'i', 0x11, 0x13};
  ASSERT_TRUE(comm.WriteCommData(hello.data(), 4));
  EXPECT_EQ(pty.ReadMaster(4), hello);

  comm.StopComm();
  EXPECT_EQ(comm.Handle(), 0);
  comm.StopComm();
  EXPECT_EQ(comm.Handle(), 0);
  EXPECT_FALSE(comm.WriteCommData(hello.data(), 4));

  // Reopening works, and the port is free again for someone else after the close.
  comm.StartComm();
  EXPECT_NE(comm.Handle(), 0);
}

TEST_F(TCommTest, OpenErrorsLeaveThePortClosed) {
  comm.SetCommName("/dev/quillon-no-such-port");
  EXPECT_EQ(ErrorOf(comm),
            "打开串口出错\r\n此串口不存在或被占用\r\n/dev/quillon-no-such-port does not exist");
  EXPECT_EQ(comm.Handle(), 0);
  comm.SetCommName("ttyQuillonNoSuchPort");  // a bare name means /dev/<name>
  EXPECT_EQ(ErrorOf(comm),
            "打开串口出错\r\n此串口不存在或被占用\r\n/dev/ttyQuillonNoSuchPort does not exist");
  // Permissions cannot be taken away from a test run as root: the text itself.
  EXPECT_EQ(CommOpenErrorText(PortOpenFailure::kAccess, "/dev/ttyUSB0"),
            "打开串口出错\r\n此串口不存在或被占用\r\nno permission to open /dev/ttyUSB0: add your "
            "user to the dialout "
            "group (sudo usermod -aG dialout $USER) and log in again");
  EXPECT_EQ(CommDevicePath("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(CommDevicePath(pty.slave_path()), pty.slave_path());

  // A file that is not a terminal cannot be set up as a serial port.
  char file[] = "/tmp/quillon-not-a-port-XXXXXX";
  const int fd = mkstemp(file);
  ASSERT_GE(fd, 0);
  comm.SetCommName(file);
  EXPECT_EQ(ErrorOf(comm), "初始化缓冲区出错");
  EXPECT_EQ(comm.Handle(), 0);
  close(fd);
  unlink(file);

  // A port held by another program.
  const int other = open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  comm.SetCommName(pty.slave_path());
  EXPECT_EQ(ErrorOf(comm), "打开串口出错\r\n此串口不存在或被占用\r\n" + pty.slave_path() +
                               " is in use by another program");
  EXPECT_EQ(comm.Handle(), 0);
  close(other);

  // Then a good port opens, and a second component cannot take it from this one.
  comm.StartComm();
  EXPECT_NE(comm.Handle(), 0);
  TComm second(notifier);
  second.SetCommName(pty.slave_path());
  EXPECT_EQ(ErrorOf(second), "打开串口出错\r\n此串口不存在或被占用\r\n" + pty.slave_path() +
                                 " is in use by another program");
  EXPECT_EQ(second.Handle(), 0);
}

TEST_F(TCommTest, RefusedWritesChangeNothing) {
  const uint8_t byte = 0x55;
  EXPECT_FALSE(comm.WriteCommData(&byte, 1));  // closed
  EXPECT_TRUE(comm.SendDataEmpty());
  comm.StartComm();
  ASSERT_TRUE(PumpUntil(notifier, [&] { return log.send_empty == 1; }));
  EXPECT_FALSE(comm.WriteCommData(&byte, 0));
  EXPECT_TRUE(comm.SendDataEmpty());
}

TEST_F(TCommTest, BurstArrivesInBlocksOfAtMost4096) {
  comm.StartComm();
  const std::vector<uint8_t> burst = Pattern(10000);
  ASSERT_TRUE(pty.WriteMaster(burst));
  ASSERT_TRUE(PumpUntil(notifier, [&] { return log.received.size() >= burst.size(); }));
  EXPECT_EQ(log.received, burst);
  EXPECT_GE(log.blocks.size(), 3u);
  for (const auto& block : log.blocks) {
    EXPECT_GE(block.size(), 1u);
    EXPECT_LE(block.size(), INPUTBUFFERSIZE);
  }
  EXPECT_TRUE(log.terminated);
}

TEST_F(TCommTest, SilenceEndsTheBlock) {
  comm.StartComm();
  const std::vector<uint8_t> first = Pattern(100, 1), second = Pattern(50, 2);
  ASSERT_TRUE(pty.WriteMaster(first));
  // Nothing more arrives: the quiet line hands the bytes over as one block.
  ASSERT_TRUE(PumpUntil(notifier, [&] { return !log.blocks.empty(); }));
  EXPECT_EQ(log.blocks[0], first);
  ASSERT_TRUE(pty.WriteMaster(second));
  ASSERT_TRUE(PumpUntil(notifier, [&] { return log.blocks.size() == 2; }));
  EXPECT_EQ(log.blocks[1], second);
  EXPECT_TRUE(log.terminated);
}

TEST_F(TCommTest, BlocksLeaveWholeAndInCallOrder) {
  comm.StartComm();
  const std::vector<uint8_t> big = Pattern(65535, 3), small = Pattern(10, 4);
  // The pty takes far less than 65535 bytes at once, so the block goes out in pieces.
  ASSERT_TRUE(comm.WriteCommData(big.data(), 65535));
  ASSERT_TRUE(comm.WriteCommData(small.data(), 10));
  std::vector<uint8_t> expected = big;
  expected.insert(expected.end(), small.begin(), small.end());
  EXPECT_EQ(pty.ReadMaster(expected.size()), expected);
}

TEST_F(TCommTest, SendDataEmptyOnceAfterStartAndOncePerDrainedBatch) {
  comm.StartComm();
  ASSERT_TRUE(PumpUntil(notifier, [&] { return log.send_empty == 1; }));

  // A batch larger than the pty holds: the worker stays busy until the master reads, so
  // all four blocks form one batch.
  const std::vector<uint8_t> block = Pattern(65535, 5);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(comm.WriteCommData(block.data(), 65535));
  EXPECT_FALSE(comm.SendDataEmpty());
  EXPECT_EQ(pty.ReadMaster(4 * 65535).size(), 4u * 65535);
  ASSERT_TRUE(PumpUntil(notifier, [&] { return log.send_empty == 2; }));
  EXPECT_TRUE(comm.SendDataEmpty());

  const uint8_t byte = 1;
  ASSERT_TRUE(comm.WriteCommData(&byte, 1));
  EXPECT_EQ(pty.ReadMaster(1).size(), 1u);
  ASSERT_TRUE(PumpUntil(notifier, [&] { return log.send_empty == 3; }));
  for (int i = 0; i < 5; ++i) notifier.ProcessMessages(10);
  EXPECT_EQ(log.send_empty, 3);
}

TEST_F(TCommTest, ClosingMidWriteDropsTheRest) {
  comm.StartComm();
  std::vector<uint8_t> sent;
  for (uint32_t i = 0; i < 4; ++i) {
    const std::vector<uint8_t> block = Pattern(65535, 10 + i);
    ASSERT_TRUE(comm.WriteCommData(block.data(), 65535));
    sent.insert(sent.end(), block.begin(), block.end());
  }
  comm.StopComm();  // returns although the worker was waiting for room
  EXPECT_TRUE(comm.SendDataEmpty());
  EXPECT_EQ(comm.Handle(), 0);
  const std::vector<uint8_t> got = pty.ReadMaster(sent.size(), 200);
  ASSERT_LT(got.size(), sent.size());
  EXPECT_TRUE(std::equal(got.begin(), got.end(), sent.begin()));
}

TEST_F(TCommTest, DeliveredCloseLosesNothingAndAStuckLineIsCounted) {
  comm.StartComm();
  std::vector<uint8_t> sent;
  for (uint32_t i = 0; i < 3; ++i) {
    const std::vector<uint8_t> block = Pattern(65535, 20 + i);
    ASSERT_TRUE(comm.WriteCommData(block.data(), 65535));
    sent.insert(sent.end(), block.begin(), block.end());
  }
  std::vector<uint8_t> got;
  std::thread reader([&] { got = pty.ReadMaster(sent.size()); });
  const CommDelivery d = comm.StopCommDelivered();
  reader.join();
  EXPECT_TRUE(d.ok());
  EXPECT_EQ(d.handed, sent.size());
  EXPECT_EQ(comm.Handle(), 0);
  EXPECT_EQ(got, sent);

  // Nobody reads: the bytes the line cannot take by the deadline are counted, not waited on.
  comm.SetBaudRate(4000000);
  comm.StartComm();
  for (uint32_t i = 0; i < 3; ++i) ASSERT_TRUE(comm.WriteCommData(sent.data(), 65535));
  const CommDelivery stuck = comm.StopCommDelivered();  // more than the terminal buffers
  EXPECT_EQ(stuck.handed, 3 * 65535u);
  EXPECT_GT(stuck.undelivered, 0u);
  EXPECT_LE(stuck.undelivered, 3 * 65535u);
  EXPECT_EQ(comm.Handle(), 0);
}

TEST_F(TCommTest, OpeningAgainKeepsWhatTheLastSessionDelivered) {
  // More than the device side's input buffer holds: the rest waits in the terminal until
  // the device reads, which it does only after the port has been opened again.
  const std::vector<uint8_t> sent = Pattern(6000, 30);
  comm.StartComm();
  ASSERT_TRUE(comm.WriteCommData(sent.data(), 6000));
  ASSERT_TRUE(comm.StopCommDelivered().ok());
  comm.StartComm();
  EXPECT_EQ(pty.ReadMaster(sent.size(), 2000), sent);
}

TEST_F(TCommTest, AStopAbandonsOutputTheLineDoesNotTake) {
  // Nobody reads: the bytes need about 17 s at the line rate, so the deadline is far off.
  comm.StartComm();
  const std::vector<uint8_t> block = Pattern(65535, 40);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(comm.WriteCommData(block.data(), 65535));
  std::promise<void> waiting;
  bool told = false;
  std::atomic<bool> stop{false};
  Steady::time_point asked;
  std::thread user([&] {
    waiting.get_future().wait();  // the delivery wait has begun
    asked = Steady::now();
    stop = true;
  });
  const CommDelivery d = comm.StopCommDelivered([&] {
    if (!std::exchange(told, true)) waiting.set_value();
    return stop.load();
  });
  const Steady::time_point returned = Steady::now();
  if (!told) waiting.set_value();  // never asked: the user thread must not wait forever
  user.join();
  EXPECT_TRUE(told);
  EXPECT_GT(d.undelivered, 0u);
  EXPECT_EQ(comm.Handle(), 0);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(returned - asked).count();
  RecordProperty("stop_ms", static_cast<int>(ms));
  EXPECT_LT(ms, static_cast<int64_t>(kDeliverySlackMs));  // given up, not waited out
}

TEST_F(TCommTest, OtherSideClosingRequestsHangup) {
  comm.StartComm();
  pty.CloseSlave();
  pty.CloseMaster();
  ASSERT_TRUE(PumpUntil(notifier, [&] { return log.hangups >= 1; }));
  // A hang-up request closes nothing by itself; CloseIfHungUp does, as the line is gone.
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_EQ(ErrorOf(comm), "此串口已经打开");
  EXPECT_TRUE(comm.CloseIfHungUp());
  EXPECT_TRUE(comm.LineLost());
  EXPECT_EQ(comm.Handle(), 0);
}

TEST_F(TCommTest, DestroyingAnOpenPortStopsItFirst) {
  auto other = std::make_unique<TComm>(notifier);
  int received = 0;
  other->OnReceiveData = [&](TComm&, const uint8_t*, uint16_t) { ++received; };
  other->SetCommName(pty.slave_path());
  other->StartComm();
  const std::vector<uint8_t> block = Pattern(65535);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(other->WriteCommData(block.data(), 65535));
  ASSERT_TRUE(pty.WriteMaster(Pattern(100)));
  // Give the workers a moment to post (only makes the check below more telling).
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  other.reset();  // workers stopped, undelivered notifications dropped and freed
  EXPECT_EQ(notifier.Pending(), 0u);
  notifier.ProcessMessages(0);
  EXPECT_EQ(received, 0);
  // The port is free again.
  comm.StartComm();
  EXPECT_NE(comm.Handle(), 0);
}

TEST(QueueNotifierTest, DeliversInPostingOrderEvenWhenAHandlerPumps) {
  QueueNotifier notifier;
  TComm comm(notifier);
  std::vector<uint32_t> order;
  comm.OnReceiveError = [&](TComm&, uint32_t mask) {
    order.push_back(mask);
    if (mask == 1) notifier.ProcessMessages(0);  // a nested wait inside a handler
  };
  std::thread poster([&] {
    for (uint32_t i = 1; i <= 200; ++i) notifier.post(&comm, CommMessage(PWM_RECEIVEERROR, i));
  });
  poster.join();
  notifier.ProcessMessages(0);
  ASSERT_EQ(order.size(), 200u);
  for (uint32_t i = 0; i < 200; ++i) EXPECT_EQ(order[i], i + 1);

  // Forgetting a target drops its messages (blocks included) and keeps the others'.
  TComm other(notifier);
  int others = 0;
  other.OnSendDataEmpty = [&](TComm&) { ++others; };
  notifier.post(&comm, CommMessage::Received(reinterpret_cast<const uint8_t*>("abc"), 3));
  notifier.post(&other, CommMessage(PWM_SENDDATAEMPTY));
  notifier.forget(&comm);
  EXPECT_EQ(notifier.Pending(), 1u);
  notifier.ProcessMessages(0);
  EXPECT_EQ(others, 1);
}

}  // namespace
}  // namespace quillon
