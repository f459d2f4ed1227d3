// Qt Bluetooth implementation of the tools' Bluetooth interface. Every entry point first asks
// the Bluetooth service over D-Bus (bluez_probe) and creates Qt Bluetooth objects only when a
// powered adapter is there, so a machine without Bluetooth answers "no radio" at once.
#include "bluetooth/qt_bluetooth.h"

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
#include <set>
#include <utility>

#include "bluetooth/bluez_pairing.h"
#include "bluetooth/bluez_probe.h"
#include "bluetooth/channel_socket.h"
#include "bluetooth/scan_results.h"

namespace quillon {
namespace {

constexpr int kServiceSearchTimeoutMs = 30000;

BluezState Probe() {
  return ProbeBluez(QDBusConnection::systemBus());
}

QBluetoothUuid ToQt(const BtUuid& uuid) {
  return QBluetoothUuid(
      QUuid::fromRfc4122(QByteArray(reinterpret_cast<const char*>(uuid.bytes.data()), 16)));
}

ScanSighting Sighting(const QBluetoothDeviceInfo& info) {
  return {info.address().toString().toStdString(), info.name().toStdString(), info.isCached(),
          (info.coreConfigurations() & QBluetoothDeviceInfo::LowEnergyCoreConfiguration) != 0};
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

// An RFCOMM socket of the toolkit, for one connection attempt.
class QtRfcommChannel : public BtChannel {
 public:
  QtRfcommChannel(QBluetoothAddress remote, QBluetoothUuid uuid, bool secure)
      : remote_(remote),
        uuid_(uuid),
        socket_(new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol)) {
    socket_->setPreferredSecurityFlags(
        secure ? (QBluetooth::Security::Authentication | QBluetooth::Security::Encryption)
               : QBluetooth::SecurityFlags(QBluetooth::Security::NoSecurity));
    QBluetoothSocket* s = socket_.get();
    QObject::connect(s, &QBluetoothSocket::readyRead, s, [this, s] {
      const QByteArray bytes = s->readAll();
      if (events_.received) events_.received({bytes.begin(), bytes.end()});
    });
    QObject::connect(s, &QBluetoothSocket::connected, s, [this] {
      if (events_.connected) events_.connected();
    });
    QObject::connect(s, &QBluetoothSocket::errorOccurred, s, [this] {
      if (events_.error) events_.error();
    });
    QObject::connect(s, &QBluetoothSocket::disconnected, s, [this] {
      if (events_.disconnected) events_.disconnected();
    });
  }
  ~QtRfcommChannel() override {
    QObject::disconnect(socket_.get(), nullptr, nullptr, nullptr);
    socket_->abort();
    // Freed once control is back in the event loop, never under one of its own signals.
    socket_.release()->deleteLater();
  }

  void SetEvents(Events events) override { events_ = std::move(events); }
  void ConnectToService() override { socket_->connectToService(remote_, uuid_); }
  State state() const override {
    switch (socket_->state()) {
      case QBluetoothSocket::SocketState::ConnectedState:
        return State::kConnected;
      case QBluetoothSocket::SocketState::UnconnectedState:
        return State::kUnconnected;
      default:
        return State::kConnecting;
    }
  }
  std::string ErrorString() const override { return socket_->errorString().toStdString(); }
  std::int64_t Write(std::span<const std::uint8_t> bytes) override {
    return socket_->write(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qint64>(bytes.size()));
  }
  void Abort() override { socket_->abort(); }

 private:
  QBluetoothAddress remote_;
  QBluetoothUuid uuid_;
  std::unique_ptr<QBluetoothSocket> socket_;  // lives on the GUI thread
  Events events_;
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
    const QBluetoothAddress remote = address_;
    const QBluetoothUuid service = ToQt(uuid);
    return std::make_unique<ChannelSocket>(
        [remote, service, secure]() -> std::unique_ptr<BtChannel> {
          return std::make_unique<QtRfcommChannel>(remote, service, secure);
        });
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
  QtBtAdapter(const QBluetoothAddress& address, QString path) : address_(address), path_(path) {}
  ~QtBtAdapter() override { CancelPairing(); }

  void Pair(BtDevice& device, PairingEvents events) override {
    CancelPairing();
    auto* qt_device = dynamic_cast<QtBtDevice*>(&device);
    if (!qt_device) return;
    PairingEvents wrapped = events;
    wrapped.Finished = [this, finished = events.Finished](PairingResult result,
                                                          const std::string& detail) {
      if (pairing_) pairing_->deleteLater();  // its signal is still being delivered
      pairing_ = nullptr;
      if (finished) finished(result, detail);
    };
    pairing_ = new BluezPairing(QDBusConnection::systemBus(),
                                BluezDevicePath(path_, qt_device->QtAddress().toString()),
                                qt_device->DeviceName(), std::move(wrapped));
    pairing_->Start();
  }

  void CancelPairing() override {
    if (pairing_) pairing_->deleteLater();
    pairing_ = nullptr;
  }

  void UnPair(BtDevice& device) override {
    // Removing a pairing may take a moment; the request runs on by itself.
    if (auto* qt_device = dynamic_cast<QtBtDevice*>(&device))
      Local().requestPairing(qt_device->QtAddress(), QBluetoothLocalDevice::Unpaired);
  }

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

  const QBluetoothAddress& Address() const { return address_; }
  const QString& Path() const { return path_; }

 private:
  // Made on first use: its constructor asks the service over D-Bus.
  QBluetoothLocalDevice& Local() {
    if (!local_) local_ = std::make_unique<QBluetoothLocalDevice>(address_);
    return *local_;
  }

  QBluetoothAddress address_;
  QString path_;
  std::unique_ptr<QBluetoothLocalDevice> local_;
  QPointer<BluezPairing> pairing_;
};

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
    if (!adapter_ || adapter_->Address() != address || adapter_->Path() != state_.adapter_path) {
      // A window may still hold the adapter it was given: it stays valid, idle, meanwhile.
      if (adapter_) {
        adapter_->CancelPairing();
        retired_.push_back(std::move(adapter_));
      }
      adapter_ = std::make_unique<QtBtAdapter>(address, state_.adapter_path);
    }
    return adapter_.get();
  }

  std::string Unavailable() override {
    if (!state_.bus) return "No system message bus: Bluetooth cannot be reached";
    if (!state_.service) return "The Bluetooth service (bluetoothd) is not running";
    if (state_.adapter_path.isEmpty()) return "No Bluetooth adapter found";
    if (!state_.powered) return "The Bluetooth adapter is switched off";
    return {};
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
    auto results = std::make_shared<ScanResults>();
    QObject::connect(
        agent_, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, agent_,
        [results](const QBluetoothDeviceInfo& info) { results->Report(Sighting(info)); });
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceUpdated, agent_,
                     [results](const QBluetoothDeviceInfo& info) {
                       results->Heard(info.address().toString().toStdString());
                     });
    auto finish = [this, local, results] {
      if (!agent_) return;
      QBluetoothDeviceDiscoveryAgent* agent = agent_;
      agent_ = nullptr;
      QObject::disconnect(agent, nullptr, nullptr, nullptr);
      agent->stop();
      agent->deleteLater();
      // Names the service learnt after a device was first reported.
      for (const BluezDevice& d : Probe().devices)
        results->Rename(d.address.toStdString(), d.name.toStdString());
      BtDeviceList devices;
      for (const SeenDevice& d : results->Seen()) {
        devices.push_back(std::make_shared<QtBtDevice>(
            local, QBluetoothAddress(QString::fromStdString(d.address)),
            QString::fromStdString(d.name)));
      }
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
  std::vector<std::unique_ptr<QtBtAdapter>> retired_;
  QBluetoothDeviceDiscoveryAgent* agent_ = nullptr;
  DiscoveryEnd on_end_;
};

class QtBleScanner : public BleScanner {
 public:
  ~QtBleScanner() override { Stop(); }

  bool DiscoverDevices(int timeout_ms, DeviceFound on_found, ScanEnd on_end,
                       std::string* error) override {
    Stop();
    const BluezState state = Probe();
    if (!state.Ready()) return false;
    agent_ = new QBluetoothDeviceDiscoveryAgent(QBluetoothAddress(state.adapter_address));
    agent_->setLowEnergyDiscoveryTimeout(timeout_ms);
    auto results = std::make_shared<ScanResults>(true);
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, agent_,
                     [on_found, results](const QBluetoothDeviceInfo& info) {
                       if (results->Report(Sighting(info)))
                         on_found(info.address().toString().toStdString());
                     });
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceUpdated, agent_,
                     [on_found, results](const QBluetoothDeviceInfo& info) {
                       const std::string address = info.address().toString().toStdString();
                       if (results->Heard(address)) on_found(address);
                     });
    // An error ends the scan too; either way the end is told once. One raised while the scan
    // starts is the start's failure instead.
    auto starting = std::make_shared<bool>(true);
    auto start_error = std::make_shared<QString>();
    auto ended = std::make_shared<bool>(false);
    QBluetoothDeviceDiscoveryAgent* agent = agent_;
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::finished, agent_, [on_end, ended] {
      if (!std::exchange(*ended, true)) on_end("");
    });
    QObject::connect(agent_, &QBluetoothDeviceDiscoveryAgent::errorOccurred, agent_,
                     [on_end, ended, starting, start_error, agent] {
                       if (*starting) {
                         *start_error = agent->errorString();
                       } else if (!std::exchange(*ended, true)) {
                         on_end(agent->errorString().toStdString());
                       }
                     });
    agent_->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
    *starting = false;
    if (agent_->isActive() && start_error->isEmpty()) return true;
    if (error) {
      *error =
          start_error->isEmpty() ? agent_->errorString().toStdString() : start_error->toStdString();
      if (error->empty()) *error = "The low-energy scan did not start";
    }
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
  std::string Unavailable() override { return "This build has no Bluetooth support"; }
  BtAdapter* CurrentAdapter() override { return nullptr; }
  void StartDiscovery(int, DiscoveryEnd) override {}
  void CancelDiscovery() override {}
  BtDeviceList GetPairedDevices() override { return {}; }
};

class NoRadioBleScanner : public BleScanner {
 public:
  bool DiscoverDevices(int, DeviceFound, ScanEnd, std::string*) override { return false; }
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
