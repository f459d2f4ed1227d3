// The serial port's system calls on Windows: an overlapped "\\.\COMn" handle opened
// exclusively with its driver queues, COMMTIMEOUTS, PurgeComm and FlushFileBuffers; the
// workers wait on event objects with one overlapped operation outstanding at a time.
#include "link/serial/windows_serial.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/win32_text.h"
#include "link/serial/port_system.h"
#include "link/serial/tcomm.h"

namespace quillon {
namespace {

// Line events the read worker watches: carrier detect, line errors, ring.
constexpr DWORD kWatchedCommEvents = EV_RLSD | EV_ERR | EV_RING;

bool InvalidHandle(DWORD error) {
  return error == ERROR_INVALID_HANDLE;
}

// What a failed call means to a worker: a port closed under it ends it quietly.
template <typename Result>
Result Failed(typename Result::Kind hung_up, typename Result::Kind ended) {
  return {InvalidHandle(GetLastError()) ? ended : hung_up};
}

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

// Ends an overlapped operation that may still be pending, so its record and event can go.
void Settle(HANDLE port, OVERLAPPED& ov, bool pending) {
  if (!pending) return;
  CancelIoEx(port, &ov);
  DWORD n = 0;
  (void)GetOverlappedResult(port, &ov, &n, TRUE);
}

}  // namespace

std::string CommDevicePath(const std::string& name) {
  if (name.rfind("\\\\", 0) == 0) return name;  // already a device path
  return "\\\\.\\" + name;
}

NativeHandle OpenPort(const std::string& path) {
  HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw OpenError(GetLastError(), path);
  if (!SetupComm(h, INPUTBUFFERSIZE, INPUTBUFFERSIZE)) {
    CloseHandle(h);
    throw ECommsError(kCommSetupFailed);
  }
  ForgetCommErrors(h);  // a port closed before under the same handle value
  return h;
}

void ClosePort(NativeHandle port) {
  ForgetCommErrors(port);
  CloseHandle(port);
}

void PurgePort(NativeHandle port, PortQueue which) {
  DWORD flags = 0;
  if (which != PortQueue::kOutput) flags |= PURGE_RXABORT | PURGE_RXCLEAR;
  if (which != PortQueue::kInput) flags |= PURGE_TXABORT | PURGE_TXCLEAR;
  (void)PurgeComm(port, flags);
}

void ApplyReadTimeouts(NativeHandle port, const ReadBlock::Timeouts& timeouts) {
  COMMTIMEOUTS t = {};
  t.ReadIntervalTimeout = timeouts.interval;
  t.ReadTotalTimeoutMultiplier = timeouts.total_multiplier;
  t.ReadTotalTimeoutConstant = timeouts.total_constant;
  // A write always goes on until it is whole (the write worker owns the waiting).
  t.WriteTotalTimeoutMultiplier = 0;
  t.WriteTotalTimeoutConstant = 0;
  (void)SetCommTimeouts(port, &t);
}

bool PortHungUp(NativeHandle port) {
  COMSTAT status = {};
  return !PeekCommStatus(port, status);  // a port whose device is gone refuses its status
}

uint64_t PortOutputQueued(NativeHandle port) {
  COMSTAT status = {};
  if (!PeekCommStatus(port, status)) return 0;
  return status.cbOutQue;
}

bool FlushPortOutput(NativeHandle port) {
  return FlushFileBuffers(port) != 0;
}

void RaiseWorkerPriority(PortWorker worker) {
  SetThreadPriority(GetCurrentThread(), worker == PortWorker::kRead ? THREAD_PRIORITY_HIGHEST
                                                                    : THREAD_PRIORITY_ABOVE_NORMAL);
}

// ---- events ----

PortEvent::PortEvent() = default;

PortEvent::~PortEvent() {
  if (handle_) CloseHandle(handle_);
}

bool PortEvent::Create() {
  if (handle_) CloseHandle(handle_);
  handle_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // manual reset
  return handle_ != nullptr;
}

void PortEvent::Set() {
  SetEvent(handle_);
}

void PortEvent::Clear() {
  ResetEvent(handle_);
}

int WaitForEither(const PortEvent& a, const PortEvent& b) {
  const HANDLE waits[2] = {a.native(), b.native()};
  const DWORD r = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  if (r == WAIT_OBJECT_0) return 0;
  if (r == WAIT_OBJECT_0 + 1) return 1;
  return -1;
}

// ---- reads and writes ----

// The port's own time-outs end each read (the interval after a byte), so every read that
// brings bytes ends a block.
struct PortReader::State {
  HANDLE port;
  const PortEvent& close;
  bool started = false;
  bool line_events = true;  // false when the driver cannot report line events
  bool first_line_wait = true;
  bool read_pending = false, event_pending = false;
  PortEvent read_done, event_done;
  OVERLAPPED read_ov = {}, event_ov = {};
  DWORD event_mask = 0;
  uint8_t buffer[INPUTBUFFERSIZE] = {};
  size_t held = 0, taken = 0;  // bytes read into buffer, of those handed out

  bool Start(PortRead& failed);
  bool ArmLineWait(PortRead& result);
  bool ArmRead(PortRead& result);
  PortRead LineEvent(bool retrieve);
  PortRead ReadDone();
  PortRead HandOut(uint8_t* into, size_t space);
};

// The events and the line-event mask; false (failed says why) when they cannot be had.
bool PortReader::State::Start(PortRead& failed) {
  started = true;
  failed = {PortRead::kHungUp};
  if (!read_done.Create() || !event_done.Create()) return false;
  read_ov.hEvent = read_done.native();
  event_ov.hEvent = event_done.native();
  return SetCommMask(port, kWatchedCommEvents) != 0;
}

// Starts the wait for a line event; false with the result when it ended at once.
bool PortReader::State::ArmLineWait(PortRead& result) {
  const bool first = first_line_wait;
  first_line_wait = false;
  if (WaitCommEvent(port, &event_mask, &event_ov)) {
    result = LineEvent(false);
    return false;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_IO_PENDING) {
    event_pending = true;
    return true;
  }
  if (first && !InvalidHandle(error)) {
    // A driver that cannot watch its modem lines at all (a virtual port without them)
    // still carries data: receive without line events rather than not at all.
    line_events = false;
    return true;
  }
  result = {InvalidHandle(error) ? PortRead::kEnded : PortRead::kHungUp};
  return false;
}

// Starts a read; false with the result when it ended at once.
bool PortReader::State::ArmRead(PortRead& result) {
  DWORD n = 0;
  if (ReadFile(port, buffer, INPUTBUFFERSIZE, &n, &read_ov)) {
    // Nothing at once means the time-outs ask for an immediate return: reading again
    // would spin, so the worker ends, as the driver asked.
    held = n;
    taken = 0;
    result = n == 0 ? PortRead{PortRead::kEnded} : PortRead{PortRead::kNothing};
    return false;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_IO_PENDING) {
    read_pending = true;
    return true;
  }
  result = {InvalidHandle(error) ? PortRead::kEnded : PortRead::kHungUp};
  return false;
}

PortRead PortReader::State::LineEvent(bool retrieve) {
  DWORD n = 0;
  if (retrieve && !GetOverlappedResult(port, &event_ov, &n, FALSE))
    return Failed<PortRead>(PortRead::kHungUp, PortRead::kEnded);
  PortRead r{PortRead::kLineEvent};
  if (event_mask & EV_ERR) {
    DWORD errors = 0;
    if (!TakeCommErrors(port, errors)) return Failed<PortRead>(PortRead::kHungUp, PortRead::kEnded);
    r.error_event = true;
    r.errors = errors;
  }
  if (event_mask & EV_RLSD) r.modem |= ME_RLSD;
  if (event_mask & EV_RING) r.modem |= ME_RING;
  if (!r.error_event && r.modem == 0) return {PortRead::kHungUp};
  return r;
}

PortRead PortReader::State::ReadDone() {
  DWORD n = 0;
  if (!GetOverlappedResult(port, &read_ov, &n, FALSE)) {
    if (GetLastError() == ERROR_OPERATION_ABORTED &&
        WaitForSingleObject(close.native(), 0) == WAIT_OBJECT_0)
      return {PortRead::kClosed};
    return Failed<PortRead>(PortRead::kHungUp, PortRead::kEnded);
  }
  held = n;  // none: a total time-out passed with nothing, and reading goes on
  taken = 0;
  return {PortRead::kNothing};
}

PortRead PortReader::State::HandOut(uint8_t* into, size_t space) {
  const size_t n = std::min(held - taken, space);
  std::memcpy(into, buffer + taken, n);
  taken += n;
  if (taken == held) held = taken = 0;
  PortRead r{PortRead::kBytes, n};
  r.block_ended = true;
  return r;
}

PortReader::PortReader(NativeHandle port, const PortEvent& close)
    : state_(new State{port, close}) {}

PortReader::~PortReader() {
  State& s = *state_;
  if (!s.started) return;
  // Abort the pending read and line-event wait, and let both finish with our records.
  (void)SetCommMask(s.port, 0);
  Settle(s.port, s.read_ov, s.read_pending);
  Settle(s.port, s.event_ov, s.event_pending);
}

PortRead PortReader::Wait(uint8_t* into, size_t space,
                          std::optional<std::chrono::nanoseconds> wait) {
  State& s = *state_;
  PortRead r;
  if (s.held > 0) return s.HandOut(into, space);
  if (!s.started && !s.Start(r)) return r;
  if (s.line_events && !s.event_pending && !s.ArmLineWait(r)) return r;
  if (!s.read_pending && !s.ArmRead(r)) return s.held > 0 ? s.HandOut(into, space) : r;

  // The close signal wins over the line event, the line event over the read.
  HANDLE waits[3] = {s.close.native(), s.event_done.native(), s.read_done.native()};
  DWORD count = 3;
  if (!s.line_events) {
    waits[1] = s.read_done.native();
    count = 2;
  }
  DWORD ms = INFINITE;
  if (wait) {
    const auto whole = std::chrono::ceil<std::chrono::milliseconds>(*wait).count();
    ms = static_cast<DWORD>(std::min<long long>(whole, INFINITE - 1));
  }
  const DWORD fired = WaitForMultipleObjects(count, waits, FALSE, ms);
  if (fired == WAIT_TIMEOUT) return {PortRead::kNothing};
  if (fired == WAIT_OBJECT_0) return {PortRead::kClosed};
  const HANDLE which = fired - WAIT_OBJECT_0 < count ? waits[fired - WAIT_OBJECT_0] : nullptr;
  if (which == s.event_done.native()) {
    s.event_pending = false;
    return s.LineEvent(true);
  }
  if (which == s.read_done.native()) {
    s.read_pending = false;
    r = s.ReadDone();
    return s.held > 0 ? s.HandOut(into, space) : r;
  }
  return {PortRead::kHungUp};
}

PortWrite WritePort(NativeHandle port, const uint8_t* data, uint32_t size, const PortEvent& close) {
  PortEvent done;
  if (!done.Create()) return {PortWrite::kHungUp};
  OVERLAPPED ov = {};
  ov.hEvent = done.native();
  DWORD written = 0;
  if (!WriteFile(port, data, size, &written, &ov)) {
    const DWORD error = GetLastError();
    if (InvalidHandle(error)) return {PortWrite::kEnded};
    if (error != ERROR_IO_PENDING) return {PortWrite::kHungUp};
    const HANDLE waits[2] = {close.native(), done.native()};
    const DWORD r = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (r != WAIT_OBJECT_0 + 1) {
      Settle(port, ov, true);
      return {r == WAIT_OBJECT_0 ? PortWrite::kClosed : PortWrite::kHungUp};
    }
    if (!GetOverlappedResult(port, &ov, &written, TRUE))
      return Failed<PortWrite>(PortWrite::kHungUp, PortWrite::kEnded);
  }
  return {PortWrite::kWritten, written};
}

}  // namespace quillon
