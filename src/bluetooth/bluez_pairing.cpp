// Pairing over D-Bus with a pairing agent that asks the user for PIN codes.
#include "bluetooth/bluez_pairing.h"

#if defined(QUILLON_HAVE_QT_DBUS)

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QPointer>
#include <QTimer>
#include <atomic>

namespace quillon {
namespace {

const QString kService = QStringLiteral("org.bluez");
const QString kAgentManager = QStringLiteral("org.bluez.AgentManager1");
const QString kDevice = QStringLiteral("org.bluez.Device1");
const QString kAgentInterface = QStringLiteral("org.bluez.Agent1");

std::atomic<int> g_agents{0};

PairingResult ResultOf(const QDBusError& error) {
  const QString name = error.name();
  if (name == QLatin1String("org.bluez.Error.AlreadyExists")) return PairingResult::kPaired;
  if (name == QLatin1String("org.bluez.Error.AuthenticationFailed") ||
      name == QLatin1String("org.bluez.Error.AuthenticationRejected") ||
      name == QLatin1String("org.bluez.Error.AuthenticationCanceled") ||
      name == QLatin1String("org.bluez.Error.Rejected") ||
      name == QLatin1String("org.bluez.Error.Canceled")) {
    return PairingResult::kRefused;
  }
  if (name == QLatin1String("org.bluez.Error.AuthenticationTimeout") ||
      error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout ||
      (name == QLatin1String("org.bluez.Error.ConnectionAttemptFailed") &&
       error.message().contains(QLatin1String("Timeout"), Qt::CaseInsensitive))) {
    return PairingResult::kTimedOut;
  }
  return PairingResult::kFailed;
}

}  // namespace

QString BluezDevicePath(const QString& adapter_path, const QString& address) {
  QString id = address.toUpper();
  id.replace(QLatin1Char(':'), QLatin1Char('_'));
  return adapter_path + QStringLiteral("/dev_") + id;
}

// The org.bluez.Agent1 object the service calls during the pairing. A PIN request is answered
// later, after the user was asked outside the message's delivery.
class PairingAgent : public QDBusVirtualObject {
 public:
  explicit PairingAgent(std::function<std::optional<std::string>()> ask_pin)
      : ask_pin_(std::move(ask_pin)) {}

  QString introspect(const QString&) const override {
    return QStringLiteral(
        "<interface name=\"org.bluez.Agent1\">"
        "<method name=\"Release\"/>"
        "<method name=\"RequestPinCode\"><arg type=\"o\" direction=\"in\"/>"
        "<arg type=\"s\" direction=\"out\"/></method>"
        "<method name=\"DisplayPinCode\"><arg type=\"o\" direction=\"in\"/>"
        "<arg type=\"s\" direction=\"in\"/></method>"
        "<method name=\"RequestPasskey\"><arg type=\"o\" direction=\"in\"/>"
        "<arg type=\"u\" direction=\"out\"/></method>"
        "<method name=\"DisplayPasskey\"><arg type=\"o\" direction=\"in\"/>"
        "<arg type=\"u\" direction=\"in\"/><arg type=\"q\" direction=\"in\"/></method>"
        "<method name=\"RequestConfirmation\"><arg type=\"o\" direction=\"in\"/>"
        "<arg type=\"u\" direction=\"in\"/></method>"
        "<method name=\"RequestAuthorization\"><arg type=\"o\" direction=\"in\"/></method>"
        "<method name=\"AuthorizeService\"><arg type=\"o\" direction=\"in\"/>"
        "<arg type=\"s\" direction=\"in\"/></method>"
        "<method name=\"Cancel\"/>"
        "</interface>");
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != kAgentInterface && !message.interface().isEmpty()) return false;
    const QString member = message.member();
    if (member == QLatin1String("RequestPinCode") || member == QLatin1String("RequestPasskey")) {
      // Asked once control is back in the event loop: the dialog must not run inside the
      // delivery of a D-Bus message.
      QDBusConnection bus = connection;
      const bool passkey = member == QLatin1String("RequestPasskey");
      QPointer<QObject> alive(this);
      QTimer::singleShot(0, this, [ask = ask_pin_, alive, bus, message, passkey] {
        const std::optional<std::string> pin = ask ? ask() : std::nullopt;
        if (!alive) return;  // the pairing ended meanwhile
        QDBusConnection(bus).send(Answer(message, pin, passkey));
      });
      return true;
    }
    if (member == QLatin1String("AuthorizeService")) {
      // Nothing is served to the remote device.
      connection.send(message.createErrorReply(QStringLiteral("org.bluez.Error.Rejected"),
                                               QStringLiteral("Not served")));
      return true;
    }
    // The user chose this device: its confirmation and authorisation requests are accepted;
    // a PIN or passkey it displays needs no answer; Cancel and Release end nothing of ours.
    if (member == QLatin1String("RequestConfirmation") ||
        member == QLatin1String("RequestAuthorization") ||
        member == QLatin1String("DisplayPinCode") || member == QLatin1String("DisplayPasskey") ||
        member == QLatin1String("Cancel") || member == QLatin1String("Release")) {
      connection.send(message.createReply());
      return true;
    }
    return false;
  }

 private:
  static QDBusMessage Answer(const QDBusMessage& request, const std::optional<std::string>& pin,
                             bool passkey) {
    const auto canceled = [&] {
      return request.createErrorReply(QStringLiteral("org.bluez.Error.Canceled"),
                                      QStringLiteral("Canceled by the user"));
    };
    if (!pin) return canceled();
    const QString text = QString::fromStdString(*pin).trimmed();
    if (!passkey) return request.createReply(text);
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 999999) {
      return request.createErrorReply(QStringLiteral("org.bluez.Error.Rejected"),
                                      QStringLiteral("A passkey is a number up to 999999"));
    }
    return request.createReply(QVariant::fromValue(value));
  }

  std::function<std::optional<std::string>()> ask_pin_;
};

BluezPairing::BluezPairing(QDBusConnection bus, QString device_path, std::string device_name,
                           PairingEvents events, int timeout_ms, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      device_path_(std::move(device_path)),
      device_name_(std::move(device_name)),
      events_(std::move(events)),
      timeout_ms_(timeout_ms),
      agent_path_(QStringLiteral("/org/quillon/pairing_agent_%1").arg(++g_agents)) {}

BluezPairing::~BluezPairing() {
  if (running_) {
    // The service goes on bonding otherwise; nobody waits for its answer.
    bus_.send(QDBusMessage::createMethodCall(kService, device_path_, kDevice,
                                             QStringLiteral("CancelPairing")));
  }
  Unregister();
}

void BluezPairing::Start() {
  running_ = true;
  agent_ = new PairingAgent(events_.AskPin);
  agent_->setParent(this);
  if (!bus_.isConnected() ||
      !bus_.registerVirtualObject(agent_path_, agent_, QDBusConnection::SingleNode)) {
    QTimer::singleShot(0, this, [this] {
      Finish(PairingResult::kFailed, "The pairing agent cannot be offered on the system bus");
    });
    return;
  }
  QDBusMessage reg = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/bluez"),
                                                    kAgentManager, QStringLiteral("RegisterAgent"));
  reg << QVariant::fromValue(QDBusObjectPath(agent_path_)) << QStringLiteral("KeyboardDisplay");
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(reg, 5000), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
    watcher->deleteLater();
    const QDBusError error = watcher->error();
    if (error.isValid()) {
      Finish(PairingResult::kFailed,
             "The pairing agent was not accepted: " + error.message().toStdString());
      return;
    }
    registered_ = true;
    Pair();
  });
}

void BluezPairing::Pair() {
  // Sent on the connection that registered the agent, so that the service asks this agent.
  const QDBusMessage pair =
      QDBusMessage::createMethodCall(kService, device_path_, kDevice, QStringLiteral("Pair"));
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(pair, timeout_ms_), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
    watcher->deleteLater();
    const QDBusError error = watcher->error();
    if (!error.isValid()) {
      Finish(PairingResult::kPaired, {});
      return;
    }
    const PairingResult result = ResultOf(error);
    if (result == PairingResult::kTimedOut && error.type() == QDBusError::NoReply) {
      // Our wait ran out, not the service's: stop its bonding.
      bus_.send(QDBusMessage::createMethodCall(kService, device_path_, kDevice,
                                               QStringLiteral("CancelPairing")));
    }
    Finish(result, error.message().toStdString());
  });
}

void BluezPairing::Finish(PairingResult result, const std::string& detail) {
  if (!running_) return;
  running_ = false;
  Unregister();
  if (events_.Finished) events_.Finished(result, detail);
}

void BluezPairing::Unregister() {
  if (registered_) {
    QDBusMessage unreg = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/bluez"), kAgentManager, QStringLiteral("UnregisterAgent"));
    unreg << QVariant::fromValue(QDBusObjectPath(agent_path_));
    bus_.send(unreg);
    registered_ = false;
  }
  if (agent_) {
    bus_.unregisterObject(agent_path_);
    agent_->deleteLater();
    agent_ = nullptr;
  }
}

}  // namespace quillon

#else

namespace quillon {
QString BluezDevicePath(const QString& adapter_path, const QString& address) {
  QString id = address.toUpper();
  id.replace(QLatin1Char(':'), QLatin1Char('_'));
  return adapter_path + QStringLiteral("/dev_") + id;
}
}  // namespace quillon

#endif
