// Qt Bluetooth implementation of the tools' Bluetooth interface. Every entry point first asks
// the Bluetooth service over D-Bus (bluez_probe) and creates Qt Bluetooth objects only when a
// powered adapter is there, so a machine without Bluetooth answers "no radio" at once.
#include "link/bluetooth/qt_bluetooth.h"

#if defined(QUILLON_HAVE_QT_BLUETOOTH) && defined(QUILLON_HAVE_QT_DBUS)

#include <QBluetoothAddress>
#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothLocalDevice>
#include <QBluetoothServer>
#include <QBluetoothServiceDiscoveryAgent>
#include <QBluetoothServiceInfo>
#include <QBluetoothSocket>
#include <QBluetoothUuid>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <utility>

#include "link/bluetooth/bluez_probe.h"

namespace quillon {
namespace {

constexpr int kConnectTimeoutMs = 15000;
constexpr int kServiceSearchTimeoutMs = 30000;

BluezState Probe() {
  return ProbeBluez(QDBusConnection::systemBus());
}

QBluetoothUuid ToQt(const BtUuid& uuid) {
  return QBluetoothUuid(
      QUuid::fromRfc4122(QByteArray(reinterpret_cast<const char*>(uuid.bytes.data()), 16)));
}

BtUuid FromQt(const QBluetoothUuid& uuid) {
  BtUuid u;
  const QByteArray raw = uuid.toRfc4122();
  std::copy(raw.begin(), raw.begin() + 16, u.bytes.begin());
  return u;
}

// Runs a local event loop until quit or timeout_ms; user input waits meanwhile so the window
// cannot start another action in the middle of this one.
void WaitLoop(QEventLoop& loop, int timeout_ms) {
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(timeout_ms);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// What the socket's signals (GUI thread) hand to its reader thread.
struct ReceiveState {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::uint8_t> data;
  bool broken = false;
  bool cancelled = false;
  std::string error;
};

class QtBtSocket : public BtSocket {
 public:
  QtBtSocket(QBluetoothAddress local, QBluetoothAddress remote, QBluetoothUuid uuid, bool secure)
      : local_(local),
        remote_(remote),
        uuid_(uuid),
        secure_(secure),
        rx_(std::make_shared<ReceiveState>()) {}
  ~QtBtSocket() override { Close(); }

  void Connect() override {
    Close();
    {
      std::lock_guard lock(rx_->mutex);  // a new link starts whole
      rx_->data.clear();
      rx_->broken = false;
      rx_->error.clear();
    }
    socket_ = new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol);
    socket_->setPreferredSecurityFlags(
        secure_ ? (QBluetooth::Security::Authentication | QBluetooth::Security::Encryption)
                : QBluetooth::SecurityFlags(QBluetooth::Security::NoSecurity));
    std::shared_ptr<ReceiveState> rx = rx_;
    QPointer<QBluetoothSocket> s = socket_;
    QObject::connect(socket_, &QBluetoothSocket::readyRead, socket_, [rx, s] {
      const QByteArray bytes = s->readAll();
      {
        std::lock_guard lock(rx->mutex);
        rx->data.insert(rx->data.end(), bytes.begin(), bytes.end());
      }
      rx->arrived.notify_all();
    });
    auto broken = [rx](const std::string& why) {
      {
        std::lock_guard lock(rx->mutex);
        if (!rx->broken) rx->error = why;
        rx->broken = true;
      }
      rx->arrived.notify_all();
    };
    QEventLoop loop;
    QString connect_error;
    const auto on_connected =
        QObject::connect(socket_, &QBluetoothSocket::connected, &loop, &QEventLoop::quit);
    const auto on_connect_error = QObject::connect(socket_, &QBluetoothSocket::errorOccurred, &loop,
                                                   [&loop, &connect_error, s] {
                                                     connect_error = s->errorString();
                                                     loop.quit();
                                                   });
    socket_->connectToService(remote_, uuid_);
    WaitLoop(loop, kConnectTimeoutMs);
    QObject::disconnect(on_connected);
    QObject::disconnect(on_connect_error);
    if (socket_->state() == QBluetoothSocket::SocketState::ConnectedState) {
      // From now on a failure breaks the link for the reader.
      QObject::connect(socket_, &QBluetoothSocket::errorOccurred, socket_,
                       [s, broken] { broken(s->errorString().toStdString()); });
      QObject::connect(socket_, &QBluetoothSocket::disconnected, socket_,
                       [broken] { broken("Connection closed"); });
      return;
    }
    if (connect_error.isEmpty()) connect_error = QStringLiteral("Connection timed out");
    socket_->abort();
    throw BluetoothError(connect_error.toStdString());
  }

  bool Connected() const override {
    return socket_ && socket_->state() == QBluetoothSocket::SocketState::ConnectedState;
  }

  void Close() override {
    if (!socket_) return;
    QObject::disconnect(socket_, nullptr, nullptr, nullptr);
    socket_->abort();
    delete socket_;
    socket_ = nullptr;
    {
      std::lock_guard lock(rx_->mutex);
      rx_->broken = true;
      if (rx_->error.empty()) rx_->error = "Connection closed";
    }
    rx_->arrived.notify_all();
  }

  std::vector<std::uint8_t> ReceiveData(int timeout_ms) override {
    std::unique_lock lock(rx_->mutex);
    rx_->arrived.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                          [this] { return !rx_->data.empty() || rx_->broken || rx_->cancelled; });
    if (rx_->cancelled) return {};
    std::vector<std::uint8_t> bytes;
    bytes.swap(rx_->data);
    if (bytes.empty() && rx_->broken) throw BluetoothError(rx_->error);
    return bytes;
  }

  void CancelReceive() override {
    {
      std::lock_guard lock(rx_->mutex);
      rx_->cancelled = true;
    }
    rx_->arrived.notify_all();
  }

  void SendData(std::span<const std::uint8_t> bytes) override {
    if (!Connected()) throw BluetoothError("Not connected");
    if (socket_->write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<qint64>(bytes.size())) < 0) {
      throw BluetoothError(socket_->errorString().toStdString());
    }
  }

 private:
  QBluetoothAddress local_;
  QBluetoothAddress remote_;
  QBluetoothUuid uuid_;
  bool secure_;
  QBluetoothSocket* socket_ = nullptr;  // lives on the GUI thread
  std::shared_ptr<ReceiveState> rx_;
};

class QtBtDevice : public BtDevice {
 public:
  QtBtDevice(QBluetoothAddress local, QBluetoothAddress address, QString name)
      : local_(local), address_(address), name_(std::move(name)) {}

  std::string DeviceName() const override { return name_.toStdString(); }
  std::string Address() const override { return address_.toString().toStdString(); }
  const QBluetoothAddress& QtAddress() const { return address_; }

  std::vector<BtServiceRecord> GetServices() override {
    QBluetoothServiceDiscoveryAgent agent(local_);
    agent.setRemoteAddress(address_);
    QEventLoop loop;
    QObject::connect(&agent, &QBluetoothServiceDiscoveryAgent::finished, &loop, &QEventLoop::quit);
    QObject::connect(&agent, &QBluetoothServiceDiscoveryAgent::canceled, &loop, &QEventLoop::quit);
    QObject::connect(&agent, &QBluetoothServiceDiscoveryAgent::errorOccurred, &loop,
                     &QEventLoop::quit);
    agent.start(QBluetoothServiceDiscoveryAgent::FullDiscovery);
    if (agent.isActive()) WaitLoop(loop, kServiceSearchTimeoutMs);
    agent.stop();
    if (agent.error() != QBluetoothServiceDiscoveryAgent::NoError) {
      throw BluetoothError(agent.errorString().toStdString());
    }
    std::vector<BtServiceRecord> services;
    for (const QBluetoothServiceInfo& info : agent.discoveredServices()) {
      QBluetoothUuid uuid = info.serviceUuid();
      if (uuid.isNull()) uuid = info.serviceClassUuids().value(0);
      services.push_back({info.serviceName().toStdString(), FromQt(uuid)});
    }
    return services;
  }

  std::unique_ptr<BtSocket> CreateClientSocket(const BtUuid& uuid, bool secure) override {
    return std::make_unique<QtBtSocket>(local_, address_, ToQt(uuid), secure);
  }

 private:
  QBluetoothAddress local_;
  QBluetoothAddress address_;
  QString name_;
};

// Announces a service; nothing accepts on it.
class QtBtServerSocket : public BtServerSocket {
 public:
  QtBtServerSocket(std::unique_ptr<QBluetoothServer> server, QBluetoothServiceInfo info)
      : server_(std::move(server)), info_(std::move(info)) {}
  ~QtBtServerSocket() override {
    info_.unregisterService();
    server_->close();
  }

 private:
  std::unique_ptr<QBluetoothServer> server_;
  QBluetoothServiceInfo info_;
};

class QtBtAdapter : public BtAdapter {
 public:
  explicit QtBtAdapter(const QBluetoothAddress& address) : local_(address) {}

  void Pair(BtDevice& device) override { Request(device, QBluetoothLocalDevice::Paired); }
  void UnPair(BtDevice& device) override { Request(device, QBluetoothLocalDevice::Unpaired); }

  std::unique_ptr<BtServerSocket> CreateServerSocket(const std::string& name, const BtUuid& uuid,
                                                     bool secure) override {
    auto server = std::make_unique<QBluetoothServer>(QBluetoothServiceInfo::RfcommProtocol);
    server->setSecurityFlags(
        secure ? (QBluetooth::Security::Authentication | QBluetooth::Security::Encryption)
               : QBluetooth::SecurityFlags(QBluetooth::Security::NoSecurity));
    QBluetoothServiceInfo info = server->listen(ToQt(uuid), QString::fromStdString(name));
    if (!info.isValid())
      throw BluetoothError(
          QStringLiteral("Cannot announce %1").arg(QString::fromStdString(name)).toStdString());
    return std::make_unique<QtBtServerSocket>(std::move(server), std::move(info));
  }

  QBluetoothAddress Address() const { return local_.address(); }

 private:
  void Request(BtDevice& device, QBluetoothLocalDevice::Pairing pairing);
  QBluetoothLocalDevice local_;
};

void QtBtAdapter::Request(BtDevice& device, QBluetoothLocalDevice::Pairing pairing) {
  // Pairing may ask the user on the remote device; the request runs on by itself.
  if (auto* qt_device = dynamic_cast<QtBtDevice*>(&device))
    local_.requestPairing(qt_device->QtAddress(), pairing);
}

class QtBtManager : public BtManager {
 public:
  ~QtBtManager() override { CancelDiscovery(); }

  bool ConnectionState() override {
    state_ = Probe();
    return state_.Ready();
  }

  BtAdapter* CurrentAdapter() override {
    if (!ConnectionState()) return nullptr;
    const QBluetoothAddress address(state_.adapter_address);
    if (!adapter_ || adapter_->Address() != address)
      adapter_ = std::make_unique<QtBtAdapter>(address);
    return adapter_.get();
  }

  void StartDiscovery(int timeout_ms, DiscoveryEnd on_end) override {
    CancelDiscovery();
    if (!ConnectionState()) {
      // The radio went away since the window asked: end at once with nothing found.
      if (on_end) on_end({});
      return;
    }
    const QBluetoothAddress local(state_.adapter_address);
    agent_ = new QBluetoothDeviceDiscoveryAgent(local);
    agent_->setLowEnergyDiscoveryTimeout(timeout_ms);
    on_end_ = std::move(on_end);
    auto finish = [this, local] {
      if (!agent_) return;
      QBluetoothDeviceDiscoveryAgent* agent = agent_;
      agent_ = nullptr;
      QObject::disconnect(agent, nullptr, nullptr, nullptr);
      agent->stop();
      BtDeviceList devices;
      for (const QBluetoothDeviceInfo& info : agent->discoveredDevices()) {
        devices.push_back(std::make_shared<QtBtDevice>(local, info.address(), info.name()));
      }
      agent->deleteLater();
      DiscoveryEnd on_end = std::move(on_end_);
      on_end_ = nullptr;
      if (on_end) on_end(std::move(devices));
    };
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::finished, agent_, finish);
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::errorOccurred, agent_, finish);
    QTimer::singleShot(timeout_ms, agent_, finish);
    agent_->start(QBluetoothDeviceDiscoveryAgent::ClassicMethod);
  }

  void CancelDiscovery() override {
    on_end_ = nullptr;
    if (!agent_) return;
    QObject::disconnect(agent_, nullptr, nullptr, nullptr);
    agent_->stop();
    agent_->deleteLater();
    agent_ = nullptr;
  }

  BtDeviceList GetPairedDevices() override {
    BtDeviceList devices;
    if (!ConnectionState()) return devices;
    const QBluetoothAddress local(state_.adapter_address);
    for (const BluezDevice& d : state_.devices) {
      if (d.paired)
        devices.push_back(
            std::make_shared<QtBtDevice>(local, QBluetoothAddress(d.address), d.name));
    }
    return devices;
  }

 private:
  BluezState state_;
  std::unique_ptr<QtBtAdapter> adapter_;
  QBluetoothDeviceDiscoveryAgent* agent_ = nullptr;
  DiscoveryEnd on_end_;
};

class QtBleScanner : public BleScanner {
 public:
  ~QtBleScanner() override { Stop(); }

  bool DiscoverDevices(int timeout_ms, DeviceFound on_found, ScanEnd on_end) override {
    Stop();
    const BluezState state = Probe();
    if (!state.Ready()) return false;
    agent_ = new QBluetoothDeviceDiscoveryAgent(QBluetoothAddress(state.adapter_address));
    agent_->setLowEnergyDiscoveryTimeout(timeout_ms);
    auto seen = std::make_shared<std::set<QString>>();
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, agent_,
                     [on_found, seen](const QBluetoothDeviceInfo& info) {
                       const QString address = info.address().toString();
                       if (seen->insert(address).second) on_found(address.toStdString());
                     });
    // An error ends the scan too; either way the end is told once.
    auto ended = std::make_shared<bool>(false);
    auto end_once = [on_end, ended] {
      if (std::exchange(*ended, true)) return;
      on_end();
    };
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::finished, agent_, end_once);
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::errorOccurred, agent_, end_once);
    agent_->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
    if (agent_->isActive()) return true;
    Stop();
    return false;
  }

  void Stop() override {
    if (!agent_) return;
    QObject::disconnect(agent_, nullptr, nullptr, nullptr);
    agent_->stop();
    agent_->deleteLater();
    agent_ = nullptr;
  }

 private:
  QBluetoothDeviceDiscoveryAgent* agent_ = nullptr;
};

}  // namespace

std::unique_ptr<BtManager> CreateSystemBtManager() {
  return std::make_unique<QtBtManager>();
}
std::unique_ptr<BleScanner> CreateSystemBleScanner() {
  return std::make_unique<QtBleScanner>();
}

}  // namespace quillon

#else

namespace quillon {
namespace {

// Used when the build has no Qt Bluetooth: there is never a radio.
class NoRadioManager : public BtManager {
 public:
  bool ConnectionState() override { return false; }
  BtAdapter* CurrentAdapter() override { return nullptr; }
  void StartDiscovery(int, DiscoveryEnd) override {}
  void CancelDiscovery() override {}
  BtDeviceList GetPairedDevices() override { return {}; }
};

class NoRadioBleScanner : public BleScanner {
 public:
  bool DiscoverDevices(int, DeviceFound, ScanEnd) override { return false; }
  void Stop() override {}
};

}  // namespace

std::unique_ptr<BtManager> CreateSystemBtManager() {
  return std::make_unique<NoRadioManager>();
}
std::unique_ptr<BleScanner> CreateSystemBleScanner() {
  return std::make_unique<NoRadioBleScanner>();
}
}  // namespace quillon

#endif
