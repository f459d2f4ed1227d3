// D-Bus look-up of the Bluetooth service's adapter and devices.
#include "bluetooth/bluez_probe.h"

#if defined(QUILLON_HAVE_QT_DBUS)

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QVariantMap>

namespace quillon {
namespace {

using Interfaces = QMap<QString, QVariantMap>;

// Reads the reply of ObjectManager.GetManagedObjects: a{oa{sa{sv}}}.
QMap<QString, Interfaces> ReadManagedObjects(const QDBusArgument& arg) {
  QMap<QString, Interfaces> objects;
  arg.beginMap();
  while (!arg.atEnd()) {
    QDBusObjectPath path;
    Interfaces interfaces;
    arg.beginMapEntry();
    arg >> path;
    arg.beginMap();
    while (!arg.atEnd()) {
      QString name;
      QVariantMap properties;
      arg.beginMapEntry();
      arg >> name >> properties;
      arg.endMapEntry();
      interfaces.insert(name, properties);
    }
    arg.endMap();
    arg.endMapEntry();
    objects.insert(path.path(), interfaces);
  }
  arg.endMap();
  return objects;
}

QString ObjectPathText(const QVariant& v) {
  if (v.canConvert<QDBusObjectPath>()) return v.value<QDBusObjectPath>().path();
  return v.toString();
}

}  // namespace

BluezState ProbeBluez(const QDBusConnection& bus, int timeout_ms) {
  BluezState state;
  if (!bus.isConnected()) return state;

  QDBusMessage has_owner = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
  has_owner << QStringLiteral("org.bluez");
  const QDBusMessage owner_reply = bus.call(has_owner, QDBus::Block, timeout_ms);
  if (owner_reply.type() != QDBusMessage::ReplyMessage) return state;
  state.bus = true;
  if (owner_reply.arguments().isEmpty() || !owner_reply.arguments().at(0).toBool()) return state;
  state.service = true;

  const QDBusMessage get_objects = QDBusMessage::createMethodCall(
      QStringLiteral("org.bluez"), QStringLiteral("/"),
      QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("GetManagedObjects"));
  const QDBusMessage reply = bus.call(get_objects, QDBus::Block, timeout_ms);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty() ||
      reply.signature() != QLatin1String("a{oa{sa{sv}}}")) {
    return state;
  }
  const auto objects = ReadManagedObjects(reply.arguments().at(0).value<QDBusArgument>());

  for (auto it = objects.cbegin(); it != objects.cend(); ++it) {  // sorted by path: hci0 first
    const auto adapter = it.value().constFind(QStringLiteral("org.bluez.Adapter1"));
    if (adapter == it.value().cend()) continue;
    state.adapter_path = it.key();
    state.adapter_address = adapter->value(QStringLiteral("Address")).toString();
    state.powered = adapter->value(QStringLiteral("Powered")).toBool();
    break;
  }
  if (state.adapter_path.isEmpty()) return state;

  for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
    const auto device = it.value().constFind(QStringLiteral("org.bluez.Device1"));
    if (device == it.value().cend()) continue;
    if (ObjectPathText(device->value(QStringLiteral("Adapter"))) != state.adapter_path) continue;
    BluezDevice d;
    d.address = device->value(QStringLiteral("Address")).toString();
    d.name = device->value(QStringLiteral("Alias")).toString();
    if (d.name.isEmpty()) d.name = device->value(QStringLiteral("Name")).toString();
    d.paired = device->value(QStringLiteral("Paired")).toBool();
    state.devices.push_back(d);
  }
  return state;
}

}  // namespace quillon

#endif
