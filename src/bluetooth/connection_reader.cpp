// Receiving thread of one Bluetooth connection.
#include "bluetooth/connection_reader.h"

#include <chrono>

#include "bluetooth/bt_bytes.h"

namespace quillon {

TServerConnectionTH::TServerConnectionTH(BtSocket& socket,
                                         std::unique_ptr<BtServerSocket> server_socket,
                                         LinePoster post)
    : socket_(socket), FServerSocket(std::move(server_socket)), post_(std::move(post)) {}

TServerConnectionTH::~TServerConnectionTH() {
  Stop();
}

void TServerConnectionTH::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Execute(); });
}

void TServerConnectionTH::Stop() {
  {
    std::lock_guard lock(mutex_);
    terminated_ = true;
  }
  wake_.notify_all();
  socket_.CancelReceive();
  if (thread_.joinable()) thread_.join();
}

void TServerConnectionTH::Execute() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (terminated_) return;
    }
    try {
      const std::vector<std::uint8_t> bytes = socket_.ReceiveData(kSocketTimeoutMs);
      if (!bytes.empty()) post_(HexReceiveLine(bytes));
    } catch (const std::exception& e) {
      // A broken link stays broken: report it once and end, instead of asking it again
      // and again without pause.
      post_(std::string("Server Socket closed: ") + e.what());
      return;
    }
    // Paced even when a receive returns at once with nothing, so a stack that does not wait
    // cannot make this loop spin.
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(kPauseMs), [this] { return terminated_; });
  }
}

}  // namespace quillon
