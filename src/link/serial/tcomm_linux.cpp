// The serial port's system calls on Linux: a terminal device opened exclusively and
// non-blocking, waits in poll() on the port and an eventfd close signal, tcflush/tcdrain.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/serial/port_system.h"
#include "link/serial/tcomm.h"
#include "link/serial/unique_fd.h"

namespace quillon {
namespace {

ECommsError OpenError(int err, const std::string& path) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return ECommsError(CommOpenErrorText(PortOpenFailure::kMissing, path));
    case EACCES:
    case EPERM:
      return ECommsError(CommOpenErrorText(PortOpenFailure::kAccess, path));
    case EBUSY:
    case EWOULDBLOCK:
      return ECommsError(CommOpenErrorText(PortOpenFailure::kBusy, path));
    default:
      return ECommsError(CommOpenErrorText(PortOpenFailure::kOther, path, std::strerror(err)));
  }
}

// 0 means "no port" to the component: a descriptor 0 (standard input closed) is moved.
bool AvoidZero(UniqueFd& fd) {
  if (fd.get() != 0) return true;
  UniqueFd moved(fcntl(fd.get(), F_DUPFD_CLOEXEC, 3));
  if (!moved.valid()) return false;
  fd = std::move(moved);
  return true;
}

timespec Timespec(std::chrono::nanoseconds wait) {
  return timespec{static_cast<time_t>(wait.count() / 1000000000),
                  static_cast<long>(wait.count() % 1000000000)};
}

}  // namespace

std::string CommDevicePath(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return "/dev/" + name;
}

NativeHandle OpenPort(const std::string& path) {
  // Exclusive: the advisory lock keeps out other programs that honour it (as most serial
  // tools do), TIOCEXCL refuses later opens of the device itself.
  UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) throw OpenError(errno, path);
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) throw OpenError(EBUSY, path);
  if (!AvoidZero(fd)) throw OpenError(errno, path);
  // Not a terminal (a plain file, a socket): the driver cannot be set up as a serial port.
  if (!isatty(fd.get()) || ioctl(fd.get(), TIOCEXCL) != 0) throw ECommsError(kCommSetupFailed);
  return fd.release();
}

void ClosePort(NativeHandle port) {
  close(port);
}

void PurgePort(NativeHandle port, PortQueue which) {
  const int queue = which == PortQueue::kInput    ? TCIFLUSH
                    : which == PortQueue::kOutput ? TCOFLUSH
                                                  : TCIOFLUSH;
  (void)tcflush(port, queue);
}

void ApplyReadTimeouts(NativeHandle, const ReadBlock::Timeouts&) {
  // The terminal driver returns what it has at once (VMIN 1, VTIME 0): the worker times.
}

bool PortHungUp(NativeHandle port) {
  pollfd line{port, 0, 0};
  return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

uint64_t PortOutputQueued(NativeHandle port) {
  int queued = 0;
  if (ioctl(port, TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<uint64_t>(queued);
}

bool FlushPortOutput(NativeHandle port) {
  while (tcdrain(port) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

void RaiseWorkerPriority(PortWorker worker) {
  // Without the privilege to raise priority the thread simply stays normal.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()),
                    worker == PortWorker::kRead ? -10 : -5);
}

// ---- events ----

PortEvent::PortEvent() = default;

PortEvent::~PortEvent() {
  if (handle_ != kNoPort) close(handle_);
}

bool PortEvent::Create() {
  UniqueFd fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!fd.valid() || !AvoidZero(fd)) return false;
  if (handle_ != kNoPort) close(handle_);
  handle_ = fd.release();
  return true;
}

void PortEvent::Set() {
  const uint64_t one = 1;
  while (write(handle_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void PortEvent::Clear() {
  uint64_t value;
  while (read(handle_, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

int WaitForEither(const PortEvent& a, const PortEvent& b) {
  for (;;) {
    pollfd fds[2] = {{a.native(), POLLIN, 0}, {b.native(), POLLIN, 0}};
    const int r = poll(fds, 2, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (fds[0].revents != 0) return 0;
    if (fds[1].revents != 0) return 1;
  }
}

// ---- reads and writes ----

struct PortReader::State {
  NativeHandle port;
  const PortEvent& close;
};

PortReader::PortReader(NativeHandle port, const PortEvent& close)
    : state_(new State{port, close}) {}

PortReader::~PortReader() = default;

PortRead PortReader::Wait(uint8_t* into, size_t space,
                          std::optional<std::chrono::nanoseconds> wait) {
  const timespec ts = Timespec(wait.value_or(std::chrono::nanoseconds::zero()));
  pollfd fds[2] = {{state_->close.native(), POLLIN, 0}, {state_->port, POLLIN, 0}};
  if (ppoll(fds, 2, wait ? &ts : nullptr, nullptr) < 0)
    return {errno == EINTR ? PortRead::kNothing : PortRead::kHungUp};
  if (fds[0].revents != 0) return {PortRead::kClosed};  // the close signal wins
  if (fds[1].revents & POLLNVAL) return {PortRead::kEnded};
  if (fds[1].revents == 0) return {PortRead::kNothing};
  const ssize_t n = read(state_->port, into, space);
  if (n > 0) return {PortRead::kBytes, static_cast<size_t>(n)};
  if (n == 0) return {PortRead::kHungUp};  // a hung-up terminal reads as end of file
  if (errno == EBADF) return {PortRead::kEnded};
  if (errno == EAGAIN || errno == EINTR)
    return {fds[1].revents & (POLLHUP | POLLERR) ? PortRead::kHungUp : PortRead::kNothing};
  return {PortRead::kHungUp};  // EIO: the device went away or the other side closed
}

PortWrite WritePort(NativeHandle port, const uint8_t* data, uint32_t size, const PortEvent& close) {
  for (;;) {
    const ssize_t n = write(port, data, size);
    if (n > 0) return {PortWrite::kWritten, static_cast<uint32_t>(n)};
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EBADF) return {PortWrite::kEnded};
    if (n < 0 && errno != EAGAIN) return {PortWrite::kHungUp};
    // The driver's output queue is full: wait until it takes more, or for the close signal.
    pollfd fds[2] = {{close.native(), POLLIN, 0}, {port, POLLOUT, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return {PortWrite::kHungUp};
    }
    if (fds[0].revents != 0) return {PortWrite::kClosed};
    if (fds[1].revents & POLLNVAL) return {PortWrite::kEnded};
    if ((fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLOUT))
      return {PortWrite::kHungUp};
  }
}

}  // namespace quillon
