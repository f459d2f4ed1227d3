#include "app/qt_comm_notifier.h"

#include <QCoreApplication>
#include <QEvent>
#include <utility>

#include "link/serial/tcomm.h"

namespace quillon {
namespace {

const QEvent::Type kCommEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// One notification for its port; the bytes it carries go with the event.
class CommEvent final : public QEvent {
 public:
  CommEvent(TComm* target, CommMessage message)
      : QEvent(kCommEventType), target(target), message(std::move(message)) {}
  TComm* target;
  CommMessage message;
};

}  // namespace

QtCommNotifier::~QtCommNotifier() {
  QCoreApplication::removePostedEvents(this, kCommEventType);
}

bool QtCommNotifier::post(TComm* target, CommMessage message) {
  // postEvent is thread-safe, keeps posting order and takes ownership of the event.
  QCoreApplication::postEvent(this, new CommEvent(target, std::move(message)));
  return true;
}

void QtCommNotifier::forget(TComm*) {
  QCoreApplication::removePostedEvents(this, kCommEventType);
}

void QtCommNotifier::customEvent(QEvent* event) {
  if (event->type() != kCommEventType) return;
  auto* e = static_cast<CommEvent*>(event);
  e->target->CommWndProc(e->message);
}

}  // namespace quillon
