// The virtual printer's serial transport on Windows: overlapped reads and writes on a COM
// port, woken by the engine when a reply is queued.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "core/win32_text.h"
#include "virtualprinter/com_transport.h"

namespace quillon::vp {

bool ComTransport::Start(const std::string& port, uint32_t baud, std::string& error) {
  Stop();
  const std::string path = port.rfind("\\\\", 0) == 0 ? port : "\\\\.\\" + port;
  HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = "cannot open " + port + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  DCB d = {};
  d.DCBlength = sizeof d;
  if (GetCommState(h, &d)) {
    d.BaudRate = baud;
    d.fBinary = 1;
    d.fParity = 0;
    d.fOutxCtsFlow = d.fOutxDsrFlow = 0;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fRtsControl = RTS_CONTROL_ENABLE;
    d.fOutX = d.fInX = 0;  // raw: 0x11 and 0x13 are data
    d.fNull = 0;
    d.fAbortOnError = 0;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    (void)SetCommState(h, &d);
  }
  COMMTIMEOUTS t = {};
  t.ReadIntervalTimeout = 1;  // a read ends 1 ms after the line goes quiet
  (void)SetCommTimeouts(h, &t);
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!wake_) {
    CloseHandle(h);
    error = "cannot create an event";
    return false;
  }
  port_handle_ = h;
  port_ = port;
  stop_ = false;
  printer_.SetReplyNotifier([this] { SetEvent(static_cast<HANDLE>(wake_)); });
  thread_ = std::thread([this] { Run(); });
  return true;
}

void ComTransport::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    SetEvent(static_cast<HANDLE>(wake_));
    thread_.join();
  }
  if (port_handle_ || wake_) printer_.SetReplyNotifier(nullptr);
  if (port_handle_) CloseHandle(static_cast<HANDLE>(port_handle_));
  if (wake_) CloseHandle(static_cast<HANDLE>(wake_));
  port_handle_ = wake_ = nullptr;
}

void ComTransport::Run() {
  const HANDLE port = static_cast<HANDLE>(port_handle_);
  HANDLE read_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE write_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  OVERLAPPED rov = {}, wov = {};
  rov.hEvent = read_done;
  wov.hEvent = write_done;
  uint8_t in[4096];
  std::vector<uint8_t> out;      // reply bytes not yet handed to the port
  std::vector<uint8_t> writing;  // the bytes of the write in progress
  bool read_pending = false, write_pending = false;
  while (!stop_ && read_done && write_done) {
    uint8_t buf[4096];
    size_t n;
    while ((n = printer_.TakeReply(buf, sizeof buf)) > 0) out.insert(out.end(), buf, buf + n);

    if (!read_pending) {
      DWORD got = 0;
      if (ReadFile(port, in, sizeof in, &got, &rov)) {
        if (got > 0) printer_.Receive(in, got);
        continue;
      }
      if (GetLastError() != ERROR_IO_PENDING) break;
      read_pending = true;
    }
    if (!write_pending && !out.empty()) {
      writing.swap(out);
      out.clear();
      DWORD put = 0;
      if (WriteFile(port, writing.data(), static_cast<DWORD>(writing.size()), &put, &wov)) {
        writing.erase(writing.begin(), writing.begin() + put);
        out.insert(out.begin(), writing.begin(), writing.end());
        continue;
      }
      if (GetLastError() != ERROR_IO_PENDING) break;
      write_pending = true;
    }

    const int64_t next = printer_.MsUntilReply();
    const DWORD timeout = next < 0 ? INFINITE : static_cast<DWORD>(std::min<int64_t>(next, 60000));
    const HANDLE waits[3] = {static_cast<HANDLE>(wake_), read_done, write_done};
    const DWORD r = WaitForMultipleObjects(write_pending ? 3 : 2, waits, FALSE, timeout);
    if (r == WAIT_FAILED) break;
    if (r == WAIT_OBJECT_0 + 1) {
      DWORD got = 0;
      read_pending = false;
      if (!GetOverlappedResult(port, &rov, &got, FALSE)) break;
      ResetEvent(read_done);
      if (got > 0) printer_.Receive(in, got);
    } else if (r == WAIT_OBJECT_0 + 2) {
      DWORD put = 0;
      write_pending = false;
      if (!GetOverlappedResult(port, &wov, &put, FALSE)) break;
      ResetEvent(write_done);
      writing.erase(writing.begin(), writing.begin() + std::min<size_t>(put, writing.size()));
      out.insert(out.begin(), writing.begin(), writing.end());
      writing.clear();
    }
  }
  // Let pending operations finish with our records before they go.
  if (read_pending || write_pending) {
    CancelIoEx(port, nullptr);
    DWORD ignored = 0;
    if (read_pending) (void)GetOverlappedResult(port, &rov, &ignored, TRUE);
    if (write_pending) (void)GetOverlappedResult(port, &wov, &ignored, TRUE);
  }
  if (read_done) CloseHandle(read_done);
  if (write_done) CloseHandle(write_done);
}

}  // namespace quillon::vp
