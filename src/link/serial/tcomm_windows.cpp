// TComm over a Windows COM port: exclusive overlapped open of "\\.\COMn", driver queues,
// DCB line settings and COMMTIMEOUTS, the workers' start and stop, and the owner-thread
// dispatch of their notifications.
#include "link/serial/windows_serial.h"

#include <new>
#include <string>
#include <system_error>

#include "core/win32_text.h"
#include "link/serial/comm_workers_windows.h"
#include "link/serial/line_settings.h"
#include "link/serial/tcomm.h"

namespace quillon {
namespace {

// Why CreateFile refused the port, as the user is told. A port that another program holds
// answers "access denied" on Windows.
ECommsError OpenError(DWORD error, const std::string& path) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
      return ECommsError(CommOpenErrorText(PortOpenFailure::kMissing, path));
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return ECommsError(CommOpenErrorText(PortOpenFailure::kBusy, path));
    default:
      break;
  }
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string detail = n > 0 && text ? WideToUtf8(std::wstring_view(text, n)) : std::string();
  if (text) LocalFree(text);
  while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r' ||
                             detail.back() == ' ' || detail.back() == '.'))
    detail.pop_back();
  if (detail.empty()) detail = "error " + std::to_string(error);
  return ECommsError(CommOpenErrorText(PortOpenFailure::kOther, path, detail));
}

}  // namespace

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

  const std::string path = CommDevicePath(FCommName);
  HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw OpenError(GetLastError(), path);
  if (!SetupComm(h, INPUTBUFFERSIZE, INPUTBUFFERSIZE)) {
    CloseHandle(h);
    throw ECommsError(kCommSetupFailed);
  }

  hCommFile = CommHandleValue(h);
  // Stale input goes; output is left alone. A fresh handle has no write of its own, and on
  // a port backed by a pseudo-terminal (Wine) an output purge reaches into the other side's
  // input, where the bytes a previous session delivered may still wait to be read.
  (void)PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR);
  ForgetCommErrors(h);
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
  (void)PurgeComm(CommHandleOf(hCommFile), PURGE_RXABORT | PURGE_RXCLEAR);
  ReadThread->Join();  // every wait of the worker includes the close signal
  ReadThread.reset();
}

void TComm::CloseWriteThread(bool discard_output) {
  if (!WriteThread) return;
  hCloseEvent->Set();
  if (discard_output) (void)PurgeComm(CommHandleOf(hCommFile), PURGE_TXABORT | PURGE_TXCLEAR);
  FSendDataEmpty.store(true);
  WriteThread->Join();
  WriteThread.reset();
}

void TComm::CloseHandles() {
  hCloseEvent.reset();
  if (hCommFile != 0) {
    ForgetCommErrors(CommHandleOf(hCommFile));
    CloseHandle(CommHandleOf(hCommFile));
  }
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
