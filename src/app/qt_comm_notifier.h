// The GUI's Notifier for one serial port: the workers' notifications travel as posted Qt
// events to this object on the GUI thread and are handed to the port there, in order,
// whenever the window processes its events (also inside the waits of an exchange).
#pragma once

#include <QObject>

#include "link/serial/comm_notifier.h"

namespace quillon {

// Serves exactly one TComm: forget() drops every notification still queued.
class QtCommNotifier final : public QObject, public Notifier {
 public:
  explicit QtCommNotifier(QObject* parent = nullptr) : QObject(parent) {}
  ~QtCommNotifier() override;

  bool post(TComm* target, CommMessage message) override;
  void forget(TComm* target) override;

 protected:
  void customEvent(QEvent* event) override;
};

}  // namespace quillon
