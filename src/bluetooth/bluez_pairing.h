// Pairing through the Bluetooth service over D-Bus, with a pairing agent of our own registered
// for the time of the pairing, so that a printer asking for a PIN code gets the one the user
// types, and the outcome (paired, refused, timed out) is known.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#if defined(QUILLON_HAVE_QT_DBUS)
#include <QDBusConnection>
#endif

#include "bluetooth/bluetooth_api.h"

namespace quillon {

// The object path the Bluetooth service gives a device of an adapter.
QString BluezDevicePath(const QString& adapter_path, const QString& address);

#if defined(QUILLON_HAVE_QT_DBUS)

class PairingAgent;

// One pairing. Lives on the owner's thread; its events come there too.
class BluezPairing : public QObject {
 public:
  // Long enough for the user to type a PIN code; the service gives up on a silent device
  // sooner by itself.
  static constexpr int kPairTimeoutMs = 120000;

  BluezPairing(QDBusConnection bus, QString device_path, std::string device_name,
               PairingEvents events, int timeout_ms = kPairTimeoutMs, QObject* parent = nullptr);
  // A pairing still running is cancelled; Finished is not delivered then.
  ~BluezPairing() override;

  void Start();

 private:
  void Pair();
  void Finish(PairingResult result, const std::string& detail);
  void Unregister();

  QDBusConnection bus_;
  QString device_path_;
  std::string device_name_;
  PairingEvents events_;
  int timeout_ms_;
  QString agent_path_;
  PairingAgent* agent_ = nullptr;
  bool registered_ = false;
  bool running_ = false;
};

#endif

}  // namespace quillon
