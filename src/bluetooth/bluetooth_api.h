// What the Bluetooth tools need of a Bluetooth stack: the manager and its adapter, classic
// discovery, pairing, services, serial port profile sockets, and a low-energy scan.
// Implemented with Qt Bluetooth for real use and by a scripted fake in the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "bluetooth/bt_uuid.h"

namespace quillon {

// A failure reported by the stack (connect refused, link broken...); what() is shown to the user.
class BluetoothError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct BtServiceRecord {
  std::string Name;  // may be empty
  BtUuid UUID;
};

// A client connection. Connect, Close and SendData are called on the owner's thread;
// ReceiveData and CancelReceive may be called from the connection's reader thread.
class BtSocket {
 public:
  virtual ~BtSocket() = default;
  virtual void Connect() = 0;  // throws BluetoothError when the link cannot be opened
  virtual bool Connected() const = 0;
  virtual void Close() = 0;
  // The bytes received so far, waiting up to timeout_ms for some; empty when none came or
  // after CancelReceive. Throws BluetoothError when the link is broken.
  virtual std::vector<std::uint8_t> ReceiveData(int timeout_ms) = 0;
  // Makes a waiting ReceiveData return at once, and every later one too, so that the reader
  // can be stopped without waiting out the time-out.
  virtual void CancelReceive() = 0;
  virtual void SendData(std::span<const std::uint8_t> bytes) = 0;  // throws BluetoothError
};

// A listening socket that announces a service on this machine while it lives.
class BtServerSocket {
 public:
  virtual ~BtServerSocket() = default;
};

class BtDevice {
 public:
  virtual ~BtDevice() = default;
  virtual std::string DeviceName() const = 0;
  virtual std::string Address() const = 0;
  virtual std::vector<BtServiceRecord> GetServices() = 0;  // throws BluetoothError
  // A socket for the service, not yet connected; nullptr when the stack gives none.
  virtual std::unique_ptr<BtSocket> CreateClientSocket(const BtUuid& uuid, bool secure) = 0;
};

using BtDeviceList = std::vector<std::shared_ptr<BtDevice>>;

enum class PairingResult { kPaired, kRefused, kTimedOut, kFailed };

// How a pairing talks to the user, on the owner's thread.
struct PairingEvents {
  // The PIN code the device asks for; std::nullopt when the user cancels. May run a dialog.
  std::function<std::optional<std::string>()> AskPin;
  // The end of the pairing; detail holds the stack's words for a failure.
  std::function<void(PairingResult result, const std::string& detail)> Finished;
};

class BtAdapter {
 public:
  virtual ~BtAdapter() = default;
  // Starts pairing, answering the device's questions through events for the time of the
  // pairing. Finished comes once (possibly before Pair returns) unless CancelPairing is first.
  virtual void Pair(BtDevice& device, PairingEvents events) = 0;
  // Stops a pairing still running; its Finished does not come.
  virtual void CancelPairing() = 0;
  virtual void UnPair(BtDevice& device) = 0;  // removes the pairing
  virtual std::unique_ptr<BtServerSocket> CreateServerSocket(const std::string& name,
                                                             const BtUuid& uuid, bool secure) = 0;
};

class BtManager {
 public:
  using DiscoveryEnd = std::function<void(BtDeviceList)>;
  virtual ~BtManager() = default;
  // True when a local radio is present and switched on. Must answer quickly and never hang.
  virtual bool ConnectionState() = 0;
  // Why ConnectionState() was false, in words for the user.
  virtual std::string Unavailable() = 0;
  virtual BtAdapter* CurrentAdapter() = 0;  // nullptr when there is none
  // Inquiry for classic devices, ended after timeout_ms; on_end may run on any thread.
  virtual void StartDiscovery(int timeout_ms, DiscoveryEnd on_end) = 0;
  // Stops a running discovery; its end event is not delivered any more.
  virtual void CancelDiscovery() = 0;
  virtual BtDeviceList GetPairedDevices() = 0;
};

class BleScanner {
 public:
  using DeviceFound = std::function<void(const std::string& address)>;
  // error: "" when the scan ran its time, else why it ended early.
  using ScanEnd = std::function<void(const std::string& error)>;
  virtual ~BleScanner() = default;
  // Starts a low-energy scan; false when none could start, with the stack's reason in *error
  // ("" when there is no radio to ask). The events may run on any thread.
  virtual bool DiscoverDevices(int timeout_ms, DeviceFound on_found, ScanEnd on_end,
                               std::string* error) = 0;
  // Stops a running scan; no more events are delivered.
  virtual void Stop() = 0;
};

}  // namespace quillon
