// The connection over a toolkit socket, with a channel that behaves as the toolkit does on the
// system's stack: a connect that fails inside connectToService, a profile connection whose
// failure is never reported, a zero-length write taken as an error.
#include <gtest/gtest.h>

#include <QTimer>

#include "bluetooth/channel_socket.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Remote { kAnswers, kGone, kSilent };

class FakeChannel : public BtChannel {
 public:
  explicit FakeChannel(Remote remote) : remote_(remote) {}
  void SetEvents(Events events) override { events_ = std::move(events); }
  void ConnectToService() override {
    switch (remote_) {
      case Remote::kGone:  // refused before the call returns
        Fail("Cannot find remote device");
        break;
      case Remote::kAnswers:
        state_ = State::kConnecting;
        QTimer::singleShot(0, [this] {
          state_ = State::kConnected;
          if (events_.connected) events_.connected();
        });
        break;
      case Remote::kSilent:
        state_ = State::kConnecting;
        break;
    }
  }
  State state() const override { return state_; }
  std::string ErrorString() const override { return error_; }
  std::int64_t Write(std::span<const std::uint8_t> bytes) override {
    if (bytes.empty()) {
      Fail("Invalid data/data size");
      return -1;
    }
    written.insert(written.end(), bytes.begin(), bytes.end());
    return static_cast<std::int64_t>(bytes.size());
  }
  void Abort() override { state_ = State::kUnconnected; }

  void Fail(std::string error) {
    error_ = std::move(error);
    if (state_ != State::kConnected) state_ = State::kUnconnected;
    if (events_.error) events_.error();
  }
  void Receive(Bytes bytes) { events_.received(std::move(bytes)); }

  Bytes written;

 private:
  Remote remote_;
  State state_ = State::kUnconnected;
  std::string error_;
  Events events_;
};

struct Connection {
  explicit Connection(Remote remote, int timeout_ms)
      : socket(
            [this, remote] {
              auto made = std::make_unique<FakeChannel>(remote);
              channel = made.get();
              return made;
            },
            timeout_ms) {}
  std::string ConnectError() {
    try {
      socket.Connect();
    } catch (const BluetoothError& e) {
      return e.what();
    }
    return {};
  }
  FakeChannel* channel = nullptr;
  ChannelSocket socket;
};

TEST(ChannelSocket, FailuresEndTheConnectWithTheirOwnText) {
  // Raised inside connectToService: told at once, not after the wait (a generous wait here
  // would end in the time-out text instead).
  Connection gone(Remote::kGone, 2000);
  EXPECT_EQ(gone.ConnectError(), "Cannot find remote device");
  EXPECT_FALSE(gone.socket.Connected());
  EXPECT_THROW(gone.socket.ReceiveData(0), BluetoothError);

  // Never reported by the stack: the wait's end is the failure.
  Connection silent(Remote::kSilent, 50);
  EXPECT_EQ(silent.ConnectError(), "Out of time -15s-");
  EXPECT_FALSE(silent.socket.Connected());
}

TEST(ChannelSocket, EmptySendLeavesTheLinkAndItsReaderAlone) {
  Connection c(Remote::kAnswers, 20000);
  ASSERT_EQ(c.ConnectError(), "");
  ASSERT_TRUE(c.socket.Connected());
  c.socket.SendData({});
  EXPECT_TRUE(c.socket.Connected());
  EXPECT_TRUE(c.socket.ReceiveData(0).empty());  // not broken
  c.socket.SendData(Bytes{0x1B, 0x40});
  EXPECT_EQ(c.channel->written, (Bytes{0x1B, 0x40}));
  c.channel->Receive({0x0A});
  EXPECT_EQ(c.socket.ReceiveData(0), Bytes{0x0A});

  // A failure after the link is up breaks it for the reader, with the stack's text.
  c.channel->Fail("Connection reset by peer");
  try {
    c.socket.ReceiveData(0);
    ADD_FAILURE() << "the broken link gave no error";
  } catch (const BluetoothError& e) {
    EXPECT_STREQ(e.what(), "Connection reset by peer");
  }
}

}  // namespace
}  // namespace quillon
