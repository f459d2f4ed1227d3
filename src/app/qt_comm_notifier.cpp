#include "app/qt_comm_notifier.h"

#include <QCoreApplication>
#include <QEvent>

#include "link/serial/tcomm.h"

namespace quillon {
namespace {

const QEvent::Type kCommEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// One notification; whatever it owns is released unless it reached its port.
class CommEvent final : public QEvent {
 public:
  CommEvent(TComm* target, uint32_t kind, uint32_t p1, uintptr_t p2)
      : QEvent(kCommEventType), target(target), kind(kind), p1(p1), p2(p2) {}
  ~CommEvent() override {
    if (!delivered) ReleaseCommMessage(kind, p2);
  }
  TComm* target;
  uint32_t kind;
  uint32_t p1;
  uintptr_t p2;
  bool delivered = false;
};

}  // namespace

QtCommNotifier::~QtCommNotifier() {
  QCoreApplication::removePostedEvents(this, kCommEventType);
}

bool QtCommNotifier::post(TComm* target, uint32_t kind, uint32_t p1, uintptr_t p2) {
  // postEvent is thread-safe, keeps posting order and takes ownership of the event.
  QCoreApplication::postEvent(this, new CommEvent(target, kind, p1, p2));
  return true;
}

void QtCommNotifier::forget(TComm*) {
  QCoreApplication::removePostedEvents(this, kCommEventType);
}

void QtCommNotifier::customEvent(QEvent* event) {
  if (event->type() != kCommEventType) return;
  auto* e = static_cast<CommEvent*>(event);
  e->delivered = true;  // the port releases the block from here on
  e->target->CommWndProc(e->kind, e->p1, e->p2);
}

}  // namespace quillon
