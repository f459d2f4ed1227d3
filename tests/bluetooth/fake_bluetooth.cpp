// The scripted Bluetooth stack of the tests.
#include "bluetooth/fake_bluetooth.h"

#include <chrono>
#include <thread>

namespace quillon::testing {
namespace {

// Only a guard against a broken test hanging the run; never reached when the code is right.
constexpr auto kSafetyLimit = std::chrono::seconds(20);

class FakeSocket : public BtSocket {
 public:
  FakeSocket(std::shared_ptr<FakeLink> link, ConnectOutcome outcome,
             std::function<void()> during_connect)
      : link_(std::move(link)), outcome_(outcome), during_connect_(std::move(during_connect)) {}

  void Connect() override {
    if (during_connect_) during_connect_();
    std::lock_guard lock(link_->mutex);
    if (outcome_ == ConnectOutcome::kThrows) throw BluetoothError("Connection refused");
    link_->connected = outcome_ == ConnectOutcome::kConnects;
  }
  bool Connected() const override {
    std::lock_guard lock(link_->mutex);
    return link_->connected;
  }
  void Close() override {
    std::lock_guard lock(link_->mutex);
    if (link_->receiving > 0) link_->closed_while_receiving = true;
    link_->closed = true;
    link_->connected = false;
    link_->changed.notify_all();
  }
  std::vector<std::uint8_t> ReceiveData(int timeout_ms) override {
    std::unique_lock lock(link_->mutex);
    ++link_->receive_calls;
    if (link_->closed) link_->receive_after_close = true;
    if (link_->break_error && link_->chunks.empty()) ++link_->receives_after_break;
    ++link_->receiving;
    link_->changed.notify_all();
    link_->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] {
      return !link_->chunks.empty() || link_->break_error || link_->cancelled;
    });
    --link_->receiving;
    link_->changed.notify_all();
    if (link_->cancelled) return {};
    if (!link_->chunks.empty()) {
      std::vector<std::uint8_t> chunk = std::move(link_->chunks.front());
      link_->chunks.pop_front();
      return chunk;
    }
    if (link_->break_error) throw BluetoothError(*link_->break_error);
    return {};
  }
  void CancelReceive() override {
    std::lock_guard lock(link_->mutex);
    link_->cancelled = true;
    link_->changed.notify_all();
  }
  void SendData(std::span<const std::uint8_t> bytes) override {
    std::lock_guard lock(link_->mutex);
    if (!link_->connected) throw BluetoothError("Not connected");
    if (bytes.empty()) {
      // As the system's stack: refused, and the error breaks the link for its reader.
      link_->break_error = "Invalid data/data size";
      link_->changed.notify_all();
      throw BluetoothError("Invalid data/data size");
    }
    link_->sent.insert(link_->sent.end(), bytes.begin(), bytes.end());
  }

 private:
  std::shared_ptr<FakeLink> link_;
  ConnectOutcome outcome_;
  std::function<void()> during_connect_;
};

class FakeServerSocket : public BtServerSocket {
 public:
  explicit FakeServerSocket(std::shared_ptr<int> alive) : alive_(std::move(alive)) { ++*alive_; }
  ~FakeServerSocket() override { --*alive_; }

 private:
  std::shared_ptr<int> alive_;
};

}  // namespace

void FakeLink::Push(std::vector<std::uint8_t> chunk) {
  std::lock_guard lock(mutex);
  chunks.push_back(std::move(chunk));
  changed.notify_all();
}

void FakeLink::Break(std::string error) {
  std::lock_guard lock(mutex);
  break_error = std::move(error);
  changed.notify_all();
}

bool FakeLink::WaitFor(const std::function<bool()>& pred) {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, kSafetyLimit, pred);
}

std::vector<std::uint8_t> FakeLink::TakeSent() {
  std::lock_guard lock(mutex);
  std::vector<std::uint8_t> bytes;
  bytes.swap(sent);
  return bytes;
}

std::unique_ptr<BtSocket> FakeDevice::CreateClientSocket(const BtUuid& uuid, bool secure) {
  socket_uuids.push_back(uuid);
  if (!gives_socket) return nullptr;
  links.push_back(std::make_shared<FakeLink>());
  return std::make_unique<FakeSocket>(links.back(), outcome, during_connect);
}

std::unique_ptr<BtServerSocket> FakeAdapter::CreateServerSocket(const std::string& name,
                                                                const BtUuid& uuid, bool secure) {
  server_names.push_back(name);
  return std::make_unique<FakeServerSocket>(servers_alive);
}

void FakeManager::StartDiscovery(int timeout_ms, DiscoveryEnd on_end) {
  ++discoveries;
  last_timeout_ms = timeout_ms;
  std::lock_guard lock(mutex_);
  on_end_ = std::move(on_end);
}

void FakeManager::CancelDiscovery() {
  std::lock_guard lock(mutex_);
  on_end_ = nullptr;
}

BtDeviceList FakeManager::GetPairedDevices() {
  ++paired_queries;
  return paired_devices;
}

bool FakeManager::EndDiscovery(BtDeviceList devices) {
  bool delivered = false;
  std::thread stack([&] {
    std::lock_guard lock(mutex_);
    if (!on_end_) return;
    on_end_(std::move(devices));
    on_end_ = nullptr;
    delivered = true;
  });
  stack.join();
  return delivered;
}

bool FakeBleScanner::DiscoverDevices(int timeout_ms, DeviceFound on_found, ScanEnd on_end,
                                     std::string* error) {
  last_timeout_ms = timeout_ms;
  if (!starts) {
    if (error) *error = start_error;
    return false;
  }
  std::lock_guard lock(mutex_);
  on_found_ = std::move(on_found);
  on_end_ = std::move(on_end);
  return true;
}

void FakeBleScanner::Stop() {
  std::lock_guard lock(mutex_);
  on_found_ = nullptr;
  on_end_ = nullptr;
}

bool FakeBleScanner::Found(const std::string& address) {
  bool delivered = false;
  std::thread stack([&] {
    std::lock_guard lock(mutex_);
    if (!on_found_) return;
    on_found_(address);
    delivered = true;
  });
  stack.join();
  return delivered;
}

bool FakeBleScanner::End(const std::string& error) {
  bool delivered = false;
  std::thread stack([&] {
    std::lock_guard lock(mutex_);
    if (!on_end_) return;
    on_end_(error);
    on_found_ = nullptr;
    on_end_ = nullptr;
    delivered = true;
  });
  stack.join();
  return delivered;
}

std::shared_ptr<FakeDevice> MakeDevice(const std::string& name, const std::string& address) {
  return std::make_shared<FakeDevice>(name, address);
}

}  // namespace quillon::testing
