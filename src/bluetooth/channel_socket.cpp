// Connection over a toolkit socket: the connect wait, the hand-over of received bytes to the
// reader thread, and sending.
#include "bluetooth/channel_socket.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quillon {

// What the channel's events (owner's thread) hand to the reader thread.
struct ChannelSocket::ReceiveState {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::uint8_t> data;
  bool broken = false;
  bool cancelled = false;
  std::string error;
};

ChannelSocket::ChannelSocket(BtChannelFactory make_channel, int connect_timeout_ms)
    : make_channel_(std::move(make_channel)),
      connect_timeout_ms_(connect_timeout_ms),
      rx_(std::make_shared<ReceiveState>()) {}

ChannelSocket::~ChannelSocket() {
  Close();
}

void ChannelSocket::Broken(const std::string& why) {
  {
    std::lock_guard lock(rx_->mutex);
    if (!rx_->broken) rx_->error = why;
    rx_->broken = true;
  }
  rx_->arrived.notify_all();
}

void ChannelSocket::Connect() {
  Close();
  {
    std::lock_guard lock(rx_->mutex);  // a new link starts whole
    rx_->data.clear();
    rx_->broken = false;
    rx_->error.clear();
  }
  channel_ = make_channel_();
  if (!channel_) throw BluetoothError("No socket for this device");
  BtChannel* channel = channel_.get();
  std::shared_ptr<ReceiveState> rx = rx_;
  BtChannel::Events events;
  events.received = [rx](std::vector<std::uint8_t> bytes) {
    {
      std::lock_guard lock(rx->mutex);
      rx->data.insert(rx->data.end(), bytes.begin(), bytes.end());
    }
    rx->arrived.notify_all();
  };
  events.connected = [this] {
    if (wait_) wait_->quit();
  };
  events.error = [this, channel] {
    if (connecting_) {
      if (connect_error_.empty()) connect_error_ = channel->ErrorString();
      if (wait_) wait_->quit();
    } else {
      Broken(channel->ErrorString());
    }
  };
  events.disconnected = [this] {
    if (connecting_) {
      if (wait_) wait_->quit();
    } else {
      Broken("Connection closed");
    }
  };
  channel_->SetEvents(std::move(events));

  connecting_ = true;
  connect_error_.clear();
  channel_->ConnectToService();
  // A failure raised inside ConnectToService came before there was a loop to wake.
  if (channel_->state() == BtChannel::State::kConnecting && connect_error_.empty()) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(connect_timeout_ms_);
    wait_ = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    wait_ = nullptr;
  }
  connecting_ = false;
  if (!channel_) throw BluetoothError("Connection closed");  // closed while it was waited for
  const BtChannel::State state = channel_->state();
  if (state == BtChannel::State::kConnected) return;
  std::string why = connect_error_;
  if (why.empty() && state == BtChannel::State::kUnconnected) why = channel_->ErrorString();
  // The stack does not report a failed profile connection: the wait's end is the failure.
  if (why.empty() || state == BtChannel::State::kConnecting) why = kConnectTimeoutText;
  channel_->SetEvents({});
  channel_->Abort();
  Broken(why);
  throw BluetoothError(why);
}

bool ChannelSocket::Connected() const {
  return channel_ && channel_->state() == BtChannel::State::kConnected;
}

void ChannelSocket::Close() {
  if (wait_) wait_->quit();
  if (channel_) {
    std::unique_ptr<BtChannel> channel = std::move(channel_);
    channel->SetEvents({});
    channel->Abort();
  }
  Broken("Connection closed");
}

std::vector<std::uint8_t> ChannelSocket::ReceiveData(int timeout_ms) {
  std::unique_lock lock(rx_->mutex);
  rx_->arrived.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                        [this] { return !rx_->data.empty() || rx_->broken || rx_->cancelled; });
  if (rx_->cancelled) return {};
  std::vector<std::uint8_t> bytes;
  bytes.swap(rx_->data);
  if (bytes.empty() && rx_->broken) throw BluetoothError(rx_->error);
  return bytes;
}

void ChannelSocket::CancelReceive() {
  {
    std::lock_guard lock(rx_->mutex);
    rx_->cancelled = true;
  }
  rx_->arrived.notify_all();
}

void ChannelSocket::SendData(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  if (!Connected()) throw BluetoothError("Not connected");
  if (channel_->Write(bytes) < 0) throw BluetoothError(channel_->ErrorString());
}

}  // namespace quillon
