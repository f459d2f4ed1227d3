// How the serial port's worker threads hand notifications to the owner's thread: the
// Notifier seam, the notification kinds, and a queue-based notifier that is also the
// message pump of the CLI and the tests.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "link/message_pump.h"

namespace quillon {

class TComm;

// Notification kinds posted by the workers (the first user message number plus 1 to 5).
inline constexpr uint32_t PWM_GOTCOMMDATA = 1025;       // p1: byte count, p2: the block
inline constexpr uint32_t PWM_RECEIVEERROR = 1026;      // p2: line-error flags (CE_ bits)
inline constexpr uint32_t PWM_REQUESTHANGUP = 1027;     // a worker met an unrecoverable failure
inline constexpr uint32_t PWM_MODEMSTATECHANGE = 1028;  // p2: ME_ bits
inline constexpr uint32_t PWM_SENDDATAEMPTY = 1029;     // the send queue has drained

// The owner-thread queue of a TComm (what a notification window is on Windows).
//
// post() is called by the worker threads; it must keep posting order, must never block
// for long (a short lock is fine) and must never call into the TComm itself. On the
// owner's thread, every accepted notification is later handed to
// target->CommWndProc(kind, p1, p2), in posting order.
//
// A PWM_GOTCOMMDATA notification owns its block (p2, allocated with new uint8_t[]):
// CommWndProc releases it; a notification dropped undelivered is released with
// ReleaseCommMessage. When post() returns false, the poster keeps the block.
//
// forget(target) runs on the owner's thread when a TComm goes away: it drops that
// target's pending notifications (releasing them) so nothing is delivered to freed memory.
//
// A Qt implementation posts a QEvent carrying (target, kind, p1, p2) to a QObject living
// on the GUI thread (QCoreApplication::postEvent is thread-safe and keeps order); the
// event's destructor calls ReleaseCommMessage unless it was delivered, and forget()
// removes that receiver's posted events.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual bool post(TComm* target, uint32_t kind, uint32_t p1, uintptr_t p2) = 0;
  virtual void forget(TComm* target) = 0;
};

// Frees what an undelivered notification owns (the block of PWM_GOTCOMMDATA).
void ReleaseCommMessage(uint32_t kind, uintptr_t p2);

// A locked queue drained by ProcessMessages: the notifier and message pump of the CLI,
// the benchmarks and the tests. ProcessMessages runs on the owner's thread.
class QueueNotifier final : public Notifier, public MessagePump {
 public:
  QueueNotifier() = default;
  QueueNotifier(const QueueNotifier&) = delete;
  QueueNotifier& operator=(const QueueNotifier&) = delete;
  ~QueueNotifier() override;

  bool post(TComm* target, uint32_t kind, uint32_t p1, uintptr_t p2) override;
  void forget(TComm* target) override;

  // Dispatches every notification pending on entry; when none is pending, first waits at
  // most max_wait_ms for one to arrive.
  void ProcessMessages(uint32_t max_wait_ms) override;

  // Notifications waiting to be dispatched (for tests and diagnostics).
  size_t Pending() const;

 private:
  struct Message {
    TComm* target;
    uint32_t kind;
    uint32_t p1;
    uintptr_t p2;
  };

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Message> queue_;
};

}  // namespace quillon
