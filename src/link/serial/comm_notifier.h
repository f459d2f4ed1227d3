// How the serial port's worker threads hand notifications to the owner's thread: the
// Notifier seam, the notification kinds, and a queue-based notifier that is also the
// message pump of the CLI and the tests.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "link/message_pump.h"

namespace quillon {

class TComm;

// Notification kinds posted by the workers (the first user message number plus 1 to 5).
inline constexpr uint32_t PWM_GOTCOMMDATA = 1025;       // the bytes received
inline constexpr uint32_t PWM_RECEIVEERROR = 1026;      // value: line-error flags (CE_ bits)
inline constexpr uint32_t PWM_REQUESTHANGUP = 1027;     // a worker met an unrecoverable failure
inline constexpr uint32_t PWM_MODEMSTATECHANGE = 1028;  // value: ME_ bits
inline constexpr uint32_t PWM_SENDDATAEMPTY = 1029;     // the send queue has drained

// One notification of a worker: its kind and what it carries. A received block travels
// inside the message, so a message that is dropped undelivered frees its bytes itself.
class CommMessage {
 public:
  CommMessage() = default;
  // A notification without bytes; value as its kind says.
  explicit CommMessage(uint32_t kind, uint32_t value = 0) : kind_(kind), value_(value) {}
  // PWM_GOTCOMMDATA with a copy of count bytes (at most 65535), stored with a 0 after them
  // as the receive handlers are promised. Throws std::bad_alloc when memory is short.
  static CommMessage Received(const uint8_t* data, size_t count);

  uint32_t kind() const { return kind_; }
  uint32_t value() const { return value_; }
  // PWM_GOTCOMMDATA: the bytes (data()[size()] is 0).
  const uint8_t* data() const { return bytes_.data(); }
  uint16_t size() const { return static_cast<uint16_t>(value_); }

 private:
  uint32_t kind_ = 0;
  uint32_t value_ = 0;  // PWM_GOTCOMMDATA: the byte count
  std::vector<uint8_t> bytes_;
};

// The owner-thread queue of a TComm (what a notification window is on Windows).
//
// post() is called by the worker threads; it must keep posting order, must never block
// for long (a short lock is fine) and must never call into the TComm itself. On the
// owner's thread, every accepted notification is later handed to
// target->CommWndProc(message), in posting order.
//
// forget(target) runs on the owner's thread when a TComm goes away: it drops that
// target's pending notifications so nothing is delivered to freed memory.
//
// A Qt implementation posts a QEvent carrying (target, message) to a QObject living on
// the GUI thread (QCoreApplication::postEvent is thread-safe and keeps order), and
// forget() removes that receiver's posted events.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual bool post(TComm* target, CommMessage message) = 0;
  virtual void forget(TComm* target) = 0;
};

// A locked queue drained by ProcessMessages: the notifier and message pump of the CLI,
// the benchmarks and the tests. ProcessMessages runs on the owner's thread.
class QueueNotifier final : public Notifier, public MessagePump {
 public:
  QueueNotifier() = default;
  QueueNotifier(const QueueNotifier&) = delete;
  QueueNotifier& operator=(const QueueNotifier&) = delete;
  ~QueueNotifier() override = default;

  bool post(TComm* target, CommMessage message) override;
  void forget(TComm* target) override;

  // Dispatches every notification pending on entry; when none is pending, first waits at
  // most max_wait_ms for one to arrive.
  void ProcessMessages(uint32_t max_wait_ms) override;

  // Notifications waiting to be dispatched (for tests and diagnostics).
  size_t Pending() const;

 private:
  struct Message {
    TComm* target = nullptr;
    CommMessage message;
  };

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Message> queue_;
};

}  // namespace quillon
