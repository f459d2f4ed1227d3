// What the serial port component asks of the operating system, and nothing more: open with
// settings, read with a deadline, write, the hang-up check, drain and purge, and the events
// its workers wait on. One implementation file per system (tcomm_linux.cpp,
// tcomm_windows.cpp); the life cycle, the write queue and the worker loops around these
// calls are written once (tcomm.cpp, comm_workers.cpp, comm_delivery.cpp).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/serial/native_handle.h"
#include "link/serial/read_block.h"

namespace quillon {

// Besides these, each system defines CommDevicePath (tcomm.h).

// Opens the port at path exclusively, ready for the workers (non-blocking or overlapped,
// driver queues set up). Throws ECommsError with the text to show; never returns kNoPort.
NativeHandle OpenPort(const std::string& path);
void ClosePort(NativeHandle port);

enum class PortQueue { kInput, kOutput, kBoth };
// Discards what the driver holds in the queue (and aborts what is pending on it).
void PurgePort(NativeHandle port, PortQueue which);
// Tells the driver the read time-outs, where it times reads itself (Windows); the read
// worker times blocks with ReadBlock either way.
void ApplyReadTimeouts(NativeHandle port, const ReadBlock::Timeouts& timeouts);

// True when the line behind the open port has gone: the device was unplugged or the other
// side closed (the driver reports a hang-up or refuses its state).
bool PortHungUp(NativeHandle port);
// Bytes the driver still holds for sending; 0 when it cannot say.
uint64_t PortOutputQueued(NativeHandle port);
// Waits, without a time limit, until the driver has sent the last bytes it holds (the
// caller waits for its queue to empty first). False when the port failed.
bool FlushPortOutput(NativeHandle port);

// Best effort: the read worker runs above normal priority, the write worker a little less.
enum class PortWorker { kRead, kWrite };
void RaiseWorkerPriority(PortWorker worker);

// A flag the workers can wait on with the port (an eventfd, an event object). It stays set
// until cleared.
class PortEvent {
 public:
  PortEvent();
  ~PortEvent();
  PortEvent(const PortEvent&) = delete;
  PortEvent& operator=(const PortEvent&) = delete;
  bool Create();  // false when the system has none to give
  void Set();
  void Clear();
  NativeHandle native() const { return handle_; }

 private:
  NativeHandle handle_ = kNoPort;
};
// Waits until a or b is set: 0 for a (a wins when both are), 1 for b, -1 on failure.
int WaitForEither(const PortEvent& a, const PortEvent& b);

// What one wait of the read worker brought.
struct PortRead {
  enum Kind {
    kBytes,      // count bytes were put into the buffer
    kLineEvent,  // a line error and/or a modem change the driver announced
    kNothing,    // the wait passed (or was interrupted): look at the clock again
    kClosed,     // the close signal was set
    kEnded,      // the port was closed under the worker, or the driver asks for no reads
    kHungUp,     // the line went away or the port failed
  };
  Kind kind = kNothing;
  size_t count = 0;
  bool block_ended = false;  // kBytes: the driver ended the block itself (its read time-outs)
  bool error_event = false;  // kLineEvent: errors holds line-error flags (CE_ bits)
  uint32_t errors = 0;
  uint32_t modem = 0;  // kLineEvent: ME_ bits
};

// The read worker's system half: one outstanding read of the port (and, where the driver
// announces them, one outstanding wait for line events) beside the close signal.
class PortReader {
 public:
  PortReader(NativeHandle port, const PortEvent& close);
  // Aborts what is pending and lets it finish before the buffers go.
  ~PortReader();
  PortReader(const PortReader&) = delete;
  PortReader& operator=(const PortReader&) = delete;
  // Waits until bytes arrive (at most space of them go to into), a line event, the close
  // signal, or until wait has passed (no wait: no limit).
  PortRead Wait(uint8_t* into, size_t space, std::optional<std::chrono::nanoseconds> wait);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// What one write of the write worker brought.
struct PortWrite {
  enum Kind { kWritten, kClosed, kEnded, kHungUp };
  Kind kind = kWritten;
  uint32_t count = 0;  // kWritten: 1 to size bytes were handed to the driver
};
// Hands bytes to the driver, waiting while its queue is full, until some were taken or the
// close signal is set.
PortWrite WritePort(NativeHandle port, const uint8_t* data, uint32_t size, const PortEvent& close);

}  // namespace quillon
