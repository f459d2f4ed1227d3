// TComm over a Windows COM port: exclusive overlapped open of "\\.\COMn", driver queues,
// DCB line settings and COMMTIMEOUTS, the workers' start and stop, and the owner-thread
// dispatch of their notifications.
#include "link/serial/windows_serial.h"

#include <new>
#include <system_error>

#include "core/win32_text.h"
#include "link/serial/comm_workers_windows.h"
#include "link/serial/line_settings.h"
#include "link/serial/tcomm.h"

namespace quillon {

std::string CommDevicePath(const std::string& name) {
  if (name.rfind("\\\\", 0) == 0) return name;  // already a device path
  return "\\\\.\\" + name;
}

TComm::TComm(Notifier& notifier, SerialLineIo& io) : notifier_(notifier), io_(io) {}

TComm::~TComm() {
  StopComm();
  notifier_.forget(this);
}

void TComm::StartComm() {
  if (hCommFile != 0) throw ECommsError(kCommAlreadyOpen);

  const std::wstring path = Utf8ToWide(CommDevicePath(FCommName));
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw ECommsError(kCommOpenFailed);
  if (!SetupComm(h, INPUTBUFFERSIZE, INPUTBUFFERSIZE)) {
    CloseHandle(h);
    throw ECommsError(kCommSetupFailed);
  }

  hCommFile = CommHandleValue(h);
  (void)PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  FSendDataEmpty.store(true);
  _SetCommTimeout();
  _SetCommState();

  hCloseEvent = std::make_unique<CloseSignal>();
  if (!hCloseEvent->Create()) {
    CloseHandles();
    throw ECommsError(kCommEventFailed);
  }

  const PostTarget target{&notifier_, this};
  try {
    ReadThread = std::make_unique<TReadThread>(h, *hCloseEvent, target);
    ReadThread->Start();
  } catch (const std::exception&) {
    ReadThread.reset();
    CloseHandles();
    throw ECommsError(kCommReadThreadFailed);
  }
  try {
    WriteThread = std::make_unique<TWriteThread>(h, *hCloseEvent, target, FSendDataEmpty);
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
  if (hCommFile == 0) return;
  CloseReadThread();
  CloseWriteThread();
  CloseHandles();
}

void TComm::CloseReadThread() {
  if (!ReadThread) return;
  hCloseEvent->Set();
  (void)PurgeComm(CommHandleOf(hCommFile), PURGE_RXABORT | PURGE_RXCLEAR);
  ReadThread->Join();  // every wait of the worker includes the close signal
  ReadThread.reset();
}

void TComm::CloseWriteThread() {
  if (!WriteThread) return;
  hCloseEvent->Set();
  (void)PurgeComm(CommHandleOf(hCommFile), PURGE_TXABORT | PURGE_TXCLEAR);
  FSendDataEmpty.store(true);
  WriteThread->Join();
  WriteThread.reset();
}

void TComm::CloseHandles() {
  hCloseEvent.reset();
  if (hCommFile != 0) CloseHandle(CommHandleOf(hCommFile));
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
  return true;
}

uint32_t TComm::GetModemState() {
  int bits = 0;
  if (hCommFile == 0 || !io_.GetModemBits(hCommFile, bits)) return 0;
  return static_cast<uint32_t>(bits);  // the driver's MS_ bits as they are
}

void TComm::_SetCommState() {
  ApplyLineSettings(hCommFile, line_, io_);
}

void TComm::_SetCommTimeout() {
  port_timeouts_.interval.store(FReadIntervalTimeout);
  port_timeouts_.total_multiplier.store(FReadTotalTimeoutMultiplier);
  port_timeouts_.total_constant.store(FReadTotalTimeoutConstant);
  COMMTIMEOUTS t = {};
  t.ReadIntervalTimeout = FReadIntervalTimeout;
  t.ReadTotalTimeoutMultiplier = FReadTotalTimeoutMultiplier;
  t.ReadTotalTimeoutConstant = FReadTotalTimeoutConstant;
  // A write always goes on until it is whole (the write worker owns the waiting).
  t.WriteTotalTimeoutMultiplier = 0;
  t.WriteTotalTimeoutConstant = 0;
  (void)SetCommTimeouts(CommHandleOf(hCommFile), &t);
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
