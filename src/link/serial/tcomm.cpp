// TComm's life cycle over the system's port (port_system.h): the open with its settings,
// the workers' start and stop, queued writes, the setters' effect on an open port, and the
// owner-thread dispatch of the workers' notifications.
#include "link/serial/tcomm.h"

#include <cerrno>
#include <new>
#include <system_error>

#include "link/serial/comm_workers.h"
#include "link/serial/line_settings.h"

namespace quillon {

TComm::TComm(Notifier& notifier, SerialLineIo& io) : notifier_(notifier), io_(io) {}

TComm::~TComm() {
  StopComm();
  notifier_.forget(this);
}

void TComm::StartComm() {
  if (IsOpen()) throw ECommsError(kCommAlreadyOpen);

  hCommFile = OpenPort(CommDevicePath(FCommName));
  // Stale input goes; output is left alone. A fresh open has sent nothing, and on a
  // pseudo-terminal an output flush reaches into the other side's input, where the bytes a
  // previous session delivered may still wait to be read.
  PurgePort(hCommFile, PortQueue::kInput);
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
    if (!WriteThread->Create()) throw std::system_error(ENOMEM, std::generic_category());
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
  if (!IsOpen()) return;
  // Before the close signal, which both workers share: the write worker may end at once.
  if (!discard_output && WriteThread) WriteThread->KeepOutputOnExit();
  CloseReadThread();
  CloseWriteThread(discard_output);
  CloseHandles();
}

void TComm::CloseReadThread() {
  if (!ReadThread) return;
  hCloseEvent->Set();
  PurgePort(hCommFile, PortQueue::kInput);
  ReadThread->Join();  // every wait of the worker includes the close signal
  ReadThread.reset();
}

void TComm::CloseWriteThread(bool discard_output) {
  if (!WriteThread) return;
  hCloseEvent->Set();
  if (discard_output) PurgePort(hCommFile, PortQueue::kOutput);
  FSendDataEmpty.store(true);
  WriteThread->Join();
  WriteThread.reset();
}

void TComm::CloseHandles() {
  hCloseEvent.reset();
  if (IsOpen()) ClosePort(hCommFile);
  hCommFile = kNoPort;
}

bool TComm::WriteCommData(const uint8_t* pDataToWrite, uint16_t dwSizeofDataToWrite) {
  if (!WriteThread || dwSizeofDataToWrite == 0) return false;
  WriteQueue::Block block;
  try {
    block.assign(pDataToWrite, pDataToWrite + dwSizeofDataToWrite);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!WriteThread->queue().Push(std::move(block))) return false;
  handed_ += dwSizeofDataToWrite;
  return true;
}

uint32_t TComm::GetModemState() {
  int bits = 0;
  if (!IsOpen() || !io_.GetModemBits(hCommFile, bits)) return 0;
  return ModemStatusFromDriver(bits);
}

void TComm::_SetCommState() {
  ApplyLineSettings(hCommFile, line_, io_);
}

void TComm::_SetCommTimeout() {
  port_timeouts_.interval.store(FReadIntervalTimeout);
  port_timeouts_.total_multiplier.store(FReadTotalTimeoutMultiplier);
  port_timeouts_.total_constant.store(FReadTotalTimeoutConstant);
  ApplyReadTimeouts(hCommFile,
                    {FReadIntervalTimeout, FReadTotalTimeoutMultiplier, FReadTotalTimeoutConstant});
}

void TComm::CommWndProc(const CommMessage& message) {
  switch (message.kind()) {
    case PWM_GOTCOMMDATA:
      if (OnReceiveData) OnReceiveData(*this, message.data(), message.size());
      break;
    case PWM_RECEIVEERROR:
      if (OnReceiveError) OnReceiveError(*this, message.value());
      break;
    case PWM_REQUESTHANGUP:
      if (OnRequestHangup) OnRequestHangup(*this);
      break;
    case PWM_MODEMSTATECHANGE:
      if (OnModemStateChange) OnModemStateChange(*this, message.value());
      break;
    case PWM_SENDDATAEMPTY:
      if (OnSendDataEmpty) OnSendDataEmpty(*this);
      break;
    default:
      break;
  }
}

}  // namespace quillon
