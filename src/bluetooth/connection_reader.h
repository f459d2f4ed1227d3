// The receiving thread of one Bluetooth connection: reads the socket and hands every received
// chunk, as a hexadecimal line, to the owner. One reader per connection; the owner stops it
// before it closes or frees the connection.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "bluetooth/bluetooth_api.h"

namespace quillon {

class TServerConnectionTH {
 public:
  // Called on the reader thread with each line for the receive box; must not block on the
  // owner's thread (the owner may be waiting in Stop).
  using LinePoster = std::function<void(std::string line)>;

  static constexpr int kSocketTimeoutMs = 5000;
  static constexpr int kPauseMs = 100;

  // FServerSocket only announces the service while the reader lives; nothing accepts on it.
  TServerConnectionTH(BtSocket& socket, std::unique_ptr<BtServerSocket> FServerSocket,
                      LinePoster post);
  ~TServerConnectionTH();  // stops the thread
  TServerConnectionTH(const TServerConnectionTH&) = delete;
  TServerConnectionTH& operator=(const TServerConnectionTH&) = delete;

  void Start();
  // Wakes the thread out of its receive or pause and joins it. Idempotent.
  void Stop();

 private:
  void Execute();

  BtSocket& socket_;
  std::unique_ptr<BtServerSocket> FServerSocket;
  LinePoster post_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool terminated_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace quillon
