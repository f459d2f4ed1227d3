#include "app/qt_message_pump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "link/precise_pause.h"

namespace quillon {

void QtMessagePump::ProcessMessages(uint32_t max_wait_ms) {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  const bool handled = dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
  if (handled || max_wait_ms == 0) return;

  QElapsedTimer elapsed;
  elapsed.start();
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(max_wait_ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
  // While the application quits, nested loops return at once: sleep out the rest of the
  // slice so that the waits of a running flow do not turn into a busy loop.
  const qint64 left = static_cast<qint64>(max_wait_ms) - elapsed.elapsed();
  if (left > 0) PauseMs(static_cast<uint32_t>(left));
}

}  // namespace quillon
