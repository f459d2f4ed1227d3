// Asks the system's Bluetooth service over D-Bus, with short time-outs, whether a powered
// adapter is there and which devices it knows. Nothing here creates Qt Bluetooth objects, some
// of whose constructors block on D-Bus when the service is missing.
#pragma once

#include <QString>
#include <vector>

#if defined(QUILLON_HAVE_QT_DBUS)
#include <QDBusConnection>
#endif

namespace quillon {

struct BluezDevice {
  QString address;
  QString name;  // alias, else name; may be empty
  bool paired = false;
};

struct BluezState {
  bool bus = false;      // the bus answered
  bool service = false;  // org.bluez is running
  QString adapter_path;  // first adapter; empty when there is none
  QString adapter_address;
  bool powered = false;
  std::vector<BluezDevice> devices;  // known to that adapter, in object path order
  bool Ready() const { return bus && service && !adapter_path.isEmpty() && powered; }
};

inline constexpr int kBluezProbeTimeoutMs = 1000;

#if defined(QUILLON_HAVE_QT_DBUS)
BluezState ProbeBluez(const QDBusConnection& bus, int timeout_ms = kBluezProbeTimeoutMs);
#endif

}  // namespace quillon
