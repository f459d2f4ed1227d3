// A serial port profile connection over a toolkit socket. The toolkit's socket has habits the
// connection must allow for: a connect may fail before connectToService returns, a failed
// profile connection on the system's stack is never reported (only the wait's end tells), and
// a zero-length write is an error that breaks the link.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "bluetooth/bluetooth_api.h"

class QEventLoop;

namespace quillon {

// The toolkit socket under one connection attempt. Its events come on the owner's thread,
// also from inside ConnectToService and Write.
class BtChannel {
 public:
  enum class State { kUnconnected, kConnecting, kConnected };
  struct Events {
    std::function<void()> connected;
    std::function<void()> error;  // ErrorString() says what went wrong
    std::function<void()> disconnected;
    std::function<void(std::vector<std::uint8_t>)> received;
  };
  virtual ~BtChannel() = default;
  virtual void SetEvents(Events events) = 0;
  virtual void ConnectToService() = 0;
  virtual State state() const = 0;
  virtual std::string ErrorString() const = 0;
  // The number of bytes taken, or -1 after raising the error event.
  virtual std::int64_t Write(std::span<const std::uint8_t> bytes) = 0;
  virtual void Abort() = 0;
};

using BtChannelFactory = std::function<std::unique_ptr<BtChannel>()>;

class ChannelSocket : public BtSocket {
 public:
  static constexpr int kConnectTimeoutMs = 15000;
  // The text shown when the connect wait runs out.
  static constexpr const char* kConnectTimeoutText = "Out of time -15s-";

  explicit ChannelSocket(BtChannelFactory make_channel, int connect_timeout_ms = kConnectTimeoutMs);
  ~ChannelSocket() override;

  // Waits for the link in a local event loop that holds back user input, ending at once when
  // the channel fails inside ConnectToService.
  void Connect() override;
  bool Connected() const override;
  void Close() override;
  std::vector<std::uint8_t> ReceiveData(int timeout_ms) override;
  void CancelReceive() override;
  // Zero bytes are not written: the link and its reader stay as they are.
  void SendData(std::span<const std::uint8_t> bytes) override;

 private:
  struct ReceiveState;
  void Broken(const std::string& why);

  BtChannelFactory make_channel_;
  int connect_timeout_ms_;
  std::unique_ptr<BtChannel> channel_;  // owner's thread only
  bool connecting_ = false;
  std::string connect_error_;
  QEventLoop* wait_ = nullptr;
  std::shared_ptr<ReceiveState> rx_;
};

}  // namespace quillon
