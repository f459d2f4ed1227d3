// The look-up of the Bluetooth service over D-Bus, against a private message bus on which the
// test plays the Bluetooth service: missing, silent, adapter off, adapter on with devices.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "link/bluetooth/bluez_probe.h"
#include "link/bluetooth/qt_bluetooth.h"

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;
Q_DECLARE_METATYPE(InterfaceMap)
Q_DECLARE_METATYPE(ManagedObjects)

namespace quillon {
namespace {

// Answers ObjectManager.GetManagedObjects on "/" from its own thread, or stays silent.
class FakeBluez : public QDBusVirtualObject {
 public:
  FakeBluez(ManagedObjects objects, bool answers)
      : objects_(std::move(objects)), answers_(answers) {}
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() != QLatin1String("GetManagedObjects")) return false;
    if (answers_) connection.send(message.createReply(QVariant::fromValue(objects_)));
    return true;
  }

 private:
  ManagedObjects objects_;
  bool answers_;
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
        service_->registerVirtualObject(QStringLiteral("/"), fake_, QDBusConnection::SingleNode));
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
