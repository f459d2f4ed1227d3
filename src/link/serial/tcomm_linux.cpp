// TComm over a Linux terminal device: exclusive non-blocking open, termios line settings,
// the workers' start and stop, and the owner-thread dispatch of their notifications.
#include "link/serial/tcomm.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include "link/serial/comm_workers.h"
#include "link/serial/line_settings.h"

namespace quillon {

std::string CommDevicePath(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return "/dev/" + name;
}

TComm::TComm(Notifier& notifier, SerialLineIo& io) : notifier_(notifier), io_(io) {}

TComm::~TComm() {
  StopComm();
  notifier_.forget(this);
}

void TComm::StartComm() {
  if (hCommFile != 0) throw ECommsError(kCommAlreadyOpen);

  // Exclusive: the advisory lock keeps out other programs that honour it (as most serial
  // tools do), TIOCEXCL refuses later opens of the device itself.
  const std::string path = CommDevicePath(FCommName);
  auto open_error = [&path](int err) {
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
  };
  UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) throw open_error(errno);
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) throw open_error(EBUSY);
  if (fd.get() == 0) {  // 0 means "closed" to callers of Handle
    UniqueFd moved(fcntl(fd.get(), F_DUPFD_CLOEXEC, 3));
    if (!moved.valid()) throw open_error(errno);
    fd = std::move(moved);
  }
  // Not a terminal (a plain file, a socket): the driver cannot be set up as a serial port.
  if (!isatty(fd.get()) || ioctl(fd.get(), TIOCEXCL) != 0) throw ECommsError(kCommSetupFailed);

  hCommFile = fd.release();
  // Stale input goes; output is left alone. A fresh open has sent nothing, and on a
  // pseudo-terminal an output flush reaches into the other side's input, where the bytes a
  // previous session delivered may still wait to be read.
  (void)tcflush(hCommFile, TCIFLUSH);
  FSendDataEmpty.store(true);
  handed_ = 0;
  line_lost_ = false;
  _SetCommTimeout();
  _SetCommState();

  hCloseEvent = std::make_unique<CloseSignal>();
  if (!hCloseEvent->Create()) {
    CloseHandles();
    throw ECommsError(kCommEventFailed);
  }

  const PostTarget target{&notifier_, this};
  try {
    ReadThread =
        std::make_unique<TReadThread>(hCommFile, *hCloseEvent, target, io_, port_timeouts_);
    ReadThread->Start();
  } catch (const std::exception&) {
    ReadThread.reset();
    CloseHandles();
    throw ECommsError(kCommReadThreadFailed);
  }
  try {
    WriteThread = std::make_unique<TWriteThread>(hCommFile, *hCloseEvent, target, FSendDataEmpty);
    if (!WriteThread->Create()) throw std::system_error(errno, std::generic_category());
    WriteThread->Start();
  } catch (const std::exception&) {
    WriteThread.reset();
    CloseReadThread();
    CloseHandles();
    throw ECommsError(kCommWriteThreadFailed);
  }
}

void TComm::StopComm() {
  Stop(true);
}

void TComm::Stop(bool discard_output) {
  if (hCommFile == 0) return;
  // Before the close signal, which both workers share: the write worker may end at once.
  if (!discard_output && WriteThread) WriteThread->KeepOutputOnExit();
  CloseReadThread();
  CloseWriteThread(discard_output);
  CloseHandles();
}

void TComm::CloseReadThread() {
  if (!ReadThread) return;
  hCloseEvent->Set();
  (void)tcflush(hCommFile, TCIFLUSH);
  ReadThread->Join();  // every wait of the worker includes the close signal
  ReadThread.reset();
}

void TComm::CloseWriteThread(bool discard_output) {
  if (!WriteThread) return;
  hCloseEvent->Set();
  if (discard_output) (void)tcflush(hCommFile, TCOFLUSH);
  FSendDataEmpty.store(true);
  WriteThread->Join();
  WriteThread.reset();
}

void TComm::CloseHandles() {
  hCloseEvent.reset();
  if (hCommFile != 0) close(hCommFile);
  hCommFile = 0;
}

bool TComm::WriteCommData(const uint8_t* pDataToWrite, uint16_t dwSizeofDataToWrite) {
  if (!WriteThread || dwSizeofDataToWrite == 0) return false;
  WriteQueue::Entry entry;
  entry.kind = PWM_COMMWRITE;
  entry.count = dwSizeofDataToWrite;
  entry.block = new (std::nothrow) uint8_t[entry.count + 1]();
  if (!entry.block) return false;
  std::copy(pDataToWrite, pDataToWrite + entry.count, entry.block);
  if (!WriteThread->queue().Push(entry)) {
    delete[] entry.block;
    return false;
  }
  handed_ += entry.count;
  return true;
}

uint32_t TComm::GetModemState() {
  int bits = 0;
  if (hCommFile == 0 || !io_.GetModemBits(hCommFile, bits)) return 0;
  return ModemStatusFromTiocm(bits);
}

void TComm::_SetCommState() {
  ApplyLineSettings(hCommFile, line_, io_);
}

void TComm::_SetCommTimeout() {
  port_timeouts_.interval.store(FReadIntervalTimeout);
  port_timeouts_.total_multiplier.store(FReadTotalTimeoutMultiplier);
  port_timeouts_.total_constant.store(FReadTotalTimeoutConstant);
}

void TComm::CommWndProc(uint32_t kind, uint32_t p1, uintptr_t p2) {
  switch (kind) {
    case PWM_GOTCOMMDATA: {
      // The block goes whatever the handler does, even if it throws.
      std::unique_ptr<uint8_t[]> block(reinterpret_cast<uint8_t*>(p2));
      if (OnReceiveData) OnReceiveData(*this, block.get(), static_cast<uint16_t>(p1));
      break;
    }
    case PWM_RECEIVEERROR:
      if (OnReceiveError) OnReceiveError(*this, static_cast<uint32_t>(p2));
      break;
    case PWM_REQUESTHANGUP:
      if (OnRequestHangup) OnRequestHangup(*this);
      break;
    case PWM_MODEMSTATECHANGE:
      if (OnModemStateChange) OnModemStateChange(*this, static_cast<uint32_t>(p2));
      break;
    case PWM_SENDDATAEMPTY:
      if (OnSendDataEmpty) OnSendDataEmpty(*this);
      break;
    default:
      break;
  }
}

}  // namespace quillon
