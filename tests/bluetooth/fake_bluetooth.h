// A scripted Bluetooth stack for the tests: devices with services, sockets whose connect
// succeeds, fails or stays down, received chunks pushed by the test, and records of what the
// tools did (sent bytes, pairings, closes, reads while closing).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bluetooth/bluetooth_api.h"

namespace quillon::testing {

// The shared state of one fake connection; outlives the socket object the tool frees.
struct FakeLink {
  std::mutex mutex;
  std::condition_variable changed;
  // Script.
  std::deque<std::vector<std::uint8_t>> chunks;  // next receives, in order (may be empty)
  std::optional<std::string> break_error;        // receives throw this once chunks are out
  // Records.
  bool connected = false;
  bool closed = false;
  bool cancelled = false;
  int receiving = 0;  // receives in progress
  int receive_calls = 0;
  int receives_after_break = 0;
  bool receive_after_close = false;
  bool closed_while_receiving = false;
  std::vector<std::uint8_t> sent;

  void Push(std::vector<std::uint8_t> chunk);
  void Break(std::string error);
  // Blocks until pred() holds under the lock (or a generous safety limit passes); returns pred().
  bool WaitFor(const std::function<bool()>& pred);
  std::vector<std::uint8_t> TakeSent();
};

enum class ConnectOutcome { kConnects, kThrows, kStaysDown };

class FakeDevice : public BtDevice {
 public:
  FakeDevice(std::string name, std::string address)
      : name_(std::move(name)), address_(std::move(address)) {}
  std::string DeviceName() const override { return name_; }
  std::string Address() const override { return address_; }
  std::vector<BtServiceRecord> GetServices() override { return services; }
  std::unique_ptr<BtSocket> CreateClientSocket(const BtUuid& uuid, bool secure) override;

  std::vector<BtServiceRecord> services;
  bool gives_socket = true;
  ConnectOutcome outcome = ConnectOutcome::kConnects;
  // Runs inside Connect, as events handled while a real stack waits for the link would.
  std::function<void()> during_connect;
  std::vector<std::shared_ptr<FakeLink>> links;  // one per socket made
  std::vector<BtUuid> socket_uuids;

 private:
  std::string name_;
  std::string address_;
};

class FakeAdapter : public BtAdapter {
 public:
  void Pair(BtDevice& device, PairingEvents events) override {
    paired.push_back(device.DeviceName());
    pairing = std::move(events);
  }
  void CancelPairing() override {
    if (pairing.Finished) ++cancelled_pairings;
    pairing = {};
  }
  void UnPair(BtDevice& device) override { unpaired.push_back(device.DeviceName()); }
  std::unique_ptr<BtServerSocket> CreateServerSocket(const std::string& name, const BtUuid& uuid,
                                                     bool secure) override;

  std::vector<std::string> paired;
  PairingEvents pairing;  // of the pairing running
  int cancelled_pairings = 0;
  std::vector<std::string> unpaired;
  std::vector<std::string> server_names;
  std::shared_ptr<int> servers_alive = std::make_shared<int>(0);
};

class FakeManager : public BtManager {
 public:
  bool ConnectionState() override { return connected; }
  std::string Unavailable() override { return "The Bluetooth service (bluetoothd) is not running"; }
  BtAdapter* CurrentAdapter() override { return connected ? &adapter : nullptr; }
  void StartDiscovery(int timeout_ms, DiscoveryEnd on_end) override;
  void CancelDiscovery() override;
  BtDeviceList GetPairedDevices() override;
  // Delivers the discovery end from another thread, as a stack may; false when none is armed.
  bool EndDiscovery(BtDeviceList devices);

  bool connected = true;
  FakeAdapter adapter;
  BtDeviceList paired_devices;
  int discoveries = 0;
  int last_timeout_ms = 0;
  int paired_queries = 0;

 private:
  std::mutex mutex_;
  DiscoveryEnd on_end_;
};

class FakeBleScanner : public BleScanner {
 public:
  bool DiscoverDevices(int timeout_ms, DeviceFound on_found, ScanEnd on_end,
                       std::string* error) override;
  void Stop() override;
  // Deliver events from another thread; false when no scan is running.
  bool Found(const std::string& address);
  bool End(const std::string& error = {});

  bool starts = true;
  std::string start_error;  // why a scan does not start ("" with no radio)
  int last_timeout_ms = 0;

 private:
  std::mutex mutex_;
  DeviceFound on_found_;
  ScanEnd on_end_;
};

std::shared_ptr<FakeDevice> MakeDevice(const std::string& name, const std::string& address);

}  // namespace quillon::testing
