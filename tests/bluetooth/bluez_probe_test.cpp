// The look-up of the Bluetooth service over D-Bus, against a private message bus on which the
// test plays the Bluetooth service: missing, silent, adapter off, adapter on with devices.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <mutex>

#include "bluetooth/bluez_pairing.h"
#include "bluetooth/bluez_probe.h"
#include "bluetooth/qt_bluetooth.h"

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;
Q_DECLARE_METATYPE(InterfaceMap)
Q_DECLARE_METATYPE(ManagedObjects)

namespace quillon {
namespace {

// Plays the Bluetooth service from its own thread: answers GetManagedObjects on "/" (or stays
// silent), takes a pairing agent, and pairs a device by asking that agent for the PIN code.
class FakeBluez : public QDBusVirtualObject {
 public:
  FakeBluez(ManagedObjects objects, bool answers)
      : objects_(std::move(objects)), answers_(answers) {}
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    const QString member = message.member();
    if (member == QLatin1String("GetManagedObjects")) {
      if (answers_) connection.send(message.createReply(QVariant::fromValue(objects_)));
      return true;
    }
    if (member == QLatin1String("RegisterAgent")) {
      const QDBusObjectPath path = message.arguments().value(0).value<QDBusObjectPath>();
      Record("RegisterAgent " + message.arguments().value(1).toString());
      std::lock_guard lock(mutex_);
      agent_owner_ = message.service();
      agent_path_ = path.path();
    } else if (member == QLatin1String("Pair")) {
      Record("Pair " + message.path());
      std::lock_guard lock(mutex_);
      if (pin_.isEmpty()) return true;  // a device that never answers
      QDBusMessage ask = QDBusMessage::createMethodCall(agent_owner_, agent_path_,
                                                        QStringLiteral("org.bluez.Agent1"),
                                                        QStringLiteral("RequestPinCode"));
      ask << QVariant::fromValue(QDBusObjectPath(message.path()));
      auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(ask, 20000), this);
      QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                       [this, watcher, message, bus = connection, want = pin_] {
                         watcher->deleteLater();
                         const QDBusMessage answer = watcher->reply();
                         QString error;
                         if (answer.type() == QDBusMessage::ErrorMessage) {
                           Record("agent " + answer.errorName());
                           error = QStringLiteral("org.bluez.Error.AuthenticationCanceled");
                         } else {
                           const QString pin = answer.arguments().value(0).toString();
                           Record("PIN " + pin);
                           if (pin != want)
                             error = QStringLiteral("org.bluez.Error.AuthenticationFailed");
                         }
                         QDBusConnection(bus).send(error.isEmpty()
                                                       ? message.createReply()
                                                       : message.createErrorReply(error, error));
                       });
      return true;
    } else if (member == QLatin1String("UnregisterAgent") ||
               member == QLatin1String("CancelPairing")) {
      Record(member);
    } else {
      return false;
    }
    connection.send(message.createReply());
    return true;
  }
  // The PIN code the device wants; empty: it never answers.
  void SetPin(QString pin) {
    std::lock_guard lock(mutex_);
    pin_ = std::move(pin);
  }
  QStringList TakeCalls() {
    std::lock_guard lock(record_mutex_);
    return std::exchange(calls_, {});
  }

 private:
  void Record(const QString& call) {
    std::lock_guard lock(record_mutex_);
    calls_ << call;
  }

  ManagedObjects objects_;
  bool answers_;
  QString pin_;
  std::mutex mutex_;
  std::mutex record_mutex_;
  QString agent_owner_;
  QString agent_path_;
  QStringList calls_;
};

// A private bus for the whole program.
class PrivateBus : public ::testing::Environment {
 public:
  static inline QString address;
  void SetUp() override {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) return;
    daemon_.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address")});
    if (!daemon_.waitForStarted(10000)) return;
    while (daemon_.canReadLine() || daemon_.waitForReadyRead(10000)) {
      address = QString::fromUtf8(daemon_.readLine()).trimmed();
      if (!address.isEmpty()) break;
    }
    // The system stack of this program talks to the private bus as its system bus.
    if (!address.isEmpty()) qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
  }
  void TearDown() override {
    daemon_.kill();
    daemon_.waitForFinished(10000);
  }

 private:
  QProcess daemon_;
};

QVariantMap Adapter(const char* address, bool powered) {
  return {{QStringLiteral("Address"), QString::fromLatin1(address)},
          {QStringLiteral("Powered"), powered}};
}

QVariantMap Device(const char* adapter, const char* address, const char* alias, const char* name,
                   bool paired) {
  return {{QStringLiteral("Adapter"),
           QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(adapter)))},
          {QStringLiteral("Address"), QString::fromLatin1(address)},
          {QStringLiteral("Alias"), QString::fromLatin1(alias)},
          {QStringLiteral("Name"), QString::fromLatin1(name)},
          {QStringLiteral("Paired"), paired}};
}

class BluezProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PrivateBus::address.isEmpty()) GTEST_SKIP() << "no dbus-daemon to run a private bus";
    client_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(PrivateBus::address, Name("client")));
    ASSERT_TRUE(client_->isConnected());
  }
  void TearDown() override {
    if (service_) QDBusConnection::disconnectFromBus(Name("service"));
    if (client_) QDBusConnection::disconnectFromBus(Name("client"));
    worker_.quit();
    worker_.wait();
    delete fake_;
  }
  QString Name(const char* role) const {
    return QStringLiteral("%1-%2").arg(
        QString::fromLatin1(role),
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  }
  // Plays the Bluetooth service, answering from a worker thread while the probe blocks.
  void Serve(ManagedObjects objects, bool answers = true) {
    fake_ = new FakeBluez(std::move(objects), answers);
    worker_.start();
    fake_->moveToThread(&worker_);
    service_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(PrivateBus::address, Name("service")));
    ASSERT_TRUE(
        service_->registerVirtualObject(QStringLiteral("/"), fake_, QDBusConnection::SubPath));
    ASSERT_TRUE(service_->registerService(QStringLiteral("org.bluez")));
  }

  std::unique_ptr<QDBusConnection> client_;
  std::unique_ptr<QDBusConnection> service_;
  FakeBluez* fake_ = nullptr;
  QThread worker_;
};

TEST_F(BluezProbe, NoBusOrNoServiceMeansNoRadio) {
  const BluezState no_bus = ProbeBluez(QDBusConnection(QStringLiteral("never-connected")));
  EXPECT_FALSE(no_bus.bus);
  EXPECT_FALSE(no_bus.Ready());
  const BluezState no_service = ProbeBluez(*client_);
  EXPECT_TRUE(no_service.bus);
  EXPECT_FALSE(no_service.service);
  EXPECT_FALSE(no_service.Ready());
}

TEST_F(BluezProbe, SilentServiceIsGivenUpAfterTheTimeOut) {
  Serve({}, false);
  const BluezState state = ProbeBluez(*client_, 200);
  EXPECT_TRUE(state.service);
  EXPECT_TRUE(state.adapter_path.isEmpty());
  EXPECT_FALSE(state.Ready());
}

TEST_F(BluezProbe, AdapterMissingOrSwitchedOff) {
  Serve({{QDBusObjectPath(QStringLiteral("/org/bluez")),
          {{QStringLiteral("org.bluez.AgentManager1"), {}}}},
         {QDBusObjectPath(QStringLiteral("/org/bluez/hci0")),
          {{QStringLiteral("org.bluez.Adapter1"), Adapter("00:1A:7D:DA:71:13", false)}}}});
  const BluezState state = ProbeBluez(*client_);
  EXPECT_TRUE(state.service);
  EXPECT_EQ(state.adapter_path, "/org/bluez/hci0");
  EXPECT_FALSE(state.powered);
  EXPECT_FALSE(state.Ready());
}

TEST_F(BluezProbe, PoweredAdapterListsItsOwnDevices) {
  Serve({{QDBusObjectPath(QStringLiteral("/org/bluez/hci1")),
          {{QStringLiteral("org.bluez.Adapter1"), Adapter("00:00:00:00:00:01", true)}}},
         {QDBusObjectPath(QStringLiteral("/org/bluez/hci0")),
          {{QStringLiteral("org.bluez.Adapter1"), Adapter("00:1A:7D:DA:71:13", true)}}},
         {QDBusObjectPath(QStringLiteral("/org/bluez/hci0/dev_00_11_22_33_44_55")),
          {{QStringLiteral("org.bluez.Device1"),
            Device("/org/bluez/hci0", "00:11:22:33:44:55", "Printer", "PT-210", true)}}},
         {QDBusObjectPath(QStringLiteral("/org/bluez/hci0/dev_66_77_88_99_AA_BB")),
          {{QStringLiteral("org.bluez.Device1"),
            Device("/org/bluez/hci0", "66:77:88:99:AA:BB", "", "Phone", false)}}},
         {QDBusObjectPath(QStringLiteral("/org/bluez/hci1/dev_CC_CC_CC_CC_CC_CC")),
          {{QStringLiteral("org.bluez.Device1"),
            Device("/org/bluez/hci1", "CC:CC:CC:CC:CC:CC", "Other", "", true)}}}});
  const BluezState state = ProbeBluez(*client_);
  ASSERT_TRUE(state.Ready());
  EXPECT_EQ(state.adapter_path, "/org/bluez/hci0");  // the first adapter by path
  EXPECT_EQ(state.adapter_address, "00:1A:7D:DA:71:13");
  ASSERT_EQ(state.devices.size(), 2u);
  EXPECT_EQ(state.devices[0].address, "00:11:22:33:44:55");
  EXPECT_EQ(state.devices[0].name, "Printer");  // the alias wins
  EXPECT_TRUE(state.devices[0].paired);
  EXPECT_EQ(state.devices[1].name, "Phone");  // no alias: the name
  EXPECT_FALSE(state.devices[1].paired);
}

TEST_F(BluezProbe, SystemStackSeesThePoweredAdapterAndItsPairedDevices) {
  Serve({{QDBusObjectPath(QStringLiteral("/org/bluez/hci0")),
          {{QStringLiteral("org.bluez.Adapter1"), Adapter("00:1A:7D:DA:71:13", true)}}},
         {QDBusObjectPath(QStringLiteral("/org/bluez/hci0/dev_00_11_22_33_44_55")),
          {{QStringLiteral("org.bluez.Device1"),
            Device("/org/bluez/hci0", "00:11:22:33:44:55", "Printer", "", true)}}},
         {QDBusObjectPath(QStringLiteral("/org/bluez/hci0/dev_66_77_88_99_AA_BB")),
          {{QStringLiteral("org.bluez.Device1"),
            Device("/org/bluez/hci0", "66:77:88:99:AA:BB", "Phone", "", false)}}}});
  const std::unique_ptr<BtManager> manager = CreateSystemBtManager();
  ASSERT_TRUE(manager->ConnectionState());
  const BtDeviceList paired = manager->GetPairedDevices();
  ASSERT_EQ(paired.size(), 1u);
  EXPECT_EQ(paired[0]->DeviceName(), "Printer");
  EXPECT_EQ(paired[0]->Address(), "00:11:22:33:44:55");
}

ManagedObjects AdapterWithPrinter() {
  return {{QDBusObjectPath(QStringLiteral("/org/bluez/hci0")),
           {{QStringLiteral("org.bluez.Adapter1"), Adapter("00:1A:7D:DA:71:13", true)}}},
          {QDBusObjectPath(QStringLiteral("/org/bluez/hci0/dev_00_11_22_33_44_55")),
           {{QStringLiteral("org.bluez.Device1"),
             Device("/org/bluez/hci0", "00:11:22:33:44:55", "Printer", "", true)}}}};
}

struct PairingRun {
  PairingEvents Events(std::optional<std::string> typed) {
    return {[this, typed] {
              ++asked;
              return typed;
            },
            [this](PairingResult r, const std::string& why) {
              result = r;
              detail = why;
            }};
  }
  bool Wait() {
    return QTest::qWaitFor([this] { return result.has_value(); }, 20000);
  }
  int asked = 0;
  std::optional<PairingResult> result;
  std::string detail;
};

TEST_F(BluezProbe, PairingAgentAnswersThePinRequestAndTellsTheOutcome) {
  Serve(AdapterWithPrinter());
  fake_->SetPin(QStringLiteral("1234"));
  const std::unique_ptr<BtManager> manager = CreateSystemBtManager();
  ASSERT_TRUE(manager->ConnectionState());
  BtAdapter* adapter = manager->CurrentAdapter();
  ASSERT_NE(adapter, nullptr);
  const BtDeviceList devices = manager->GetPairedDevices();
  ASSERT_EQ(devices.size(), 1u);

  const struct {
    std::optional<std::string> typed;
    PairingResult result;
    const char* answer;
  } cases[] = {
      {"1234", PairingResult::kPaired, "PIN 1234"},
      {"0000", PairingResult::kRefused, "PIN 0000"},
      {std::nullopt, PairingResult::kRefused, "agent org.bluez.Error.Canceled"},
  };
  for (const auto& c : cases) {
    PairingRun run;
    adapter->Pair(*devices[0], run.Events(c.typed));
    ASSERT_TRUE(run.Wait());
    EXPECT_EQ(run.asked, 1);
    EXPECT_EQ(*run.result, c.result) << run.detail;
    // The agent is there only for the time of the pairing.
    QStringList calls;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          calls += fake_->TakeCalls();
          return calls.contains("UnregisterAgent");
        },
        20000));
    EXPECT_TRUE(calls.contains(QString::fromLatin1(c.answer))) << calls.join(", ").toStdString();
  }
}

TEST_F(BluezProbe, PairingThatGetsNoAnswerTimesOutAndIsCancelled) {
  Serve(AdapterWithPrinter());  // no PIN: the device never answers
  PairingRun run;
  BluezPairing pairing(
      QDBusConnection::systemBus(),
      BluezDevicePath(QStringLiteral("/org/bluez/hci0"), QStringLiteral("00:11:22:33:44:55")),
      "Printer", run.Events("0000"), 300);
  pairing.Start();
  ASSERT_TRUE(run.Wait());
  EXPECT_EQ(*run.result, PairingResult::kTimedOut) << run.detail;
  EXPECT_EQ(run.asked, 0);
  QStringList calls;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        calls += fake_->TakeCalls();
        return calls.contains("UnregisterAgent") && calls.contains("CancelPairing");
      },
      20000));
  EXPECT_EQ(calls.value(0), "RegisterAgent KeyboardDisplay");
  EXPECT_EQ(calls.value(1), "Pair /org/bluez/hci0/dev_00_11_22_33_44_55");
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  qDBusRegisterMetaType<InterfaceMap>();
  qDBusRegisterMetaType<ManagedObjects>();
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new quillon::PrivateBus);
  return RUN_ALL_TESTS();
}
