// USB printers on Windows through SetupAPI and the device's file interface.
#include "link/usb_backend_setupapi.h"

#include <algorithm>
#include <cstring>

#include "core/win32_text.h"
#include "link/usb_backend_system.h"

namespace quillon {
namespace {

class RealApi final : public SetupApi {
 public:
  HDEVINFO GetClassDevs(const GUID* cls, DWORD flags) override {
    return SetupDiGetClassDevsW(cls, nullptr, nullptr, flags);
  }
  BOOL EnumDeviceInterfaces(HDEVINFO set, const GUID* cls, DWORD index,
                            SP_DEVICE_INTERFACE_DATA* data) override {
    return SetupDiEnumDeviceInterfaces(set, nullptr, cls, index, data);
  }
  BOOL GetDeviceInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD size,
                                DWORD* required) override {
    return SetupDiGetDeviceInterfaceDetailW(set, data, detail, size, required, nullptr);
  }
  BOOL DestroyDeviceInfoList(HDEVINFO set) override { return SetupDiDestroyDeviceInfoList(set); }
  HANDLE OpenDevice(const wchar_t* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* sa,
                    DWORD disposition, DWORD flags) override {
    return ::CreateFileW(path, access, share, sa, disposition, flags, nullptr);
  }
  BOOL WriteFile(HANDLE h, const void* data, DWORD size, DWORD* done, OVERLAPPED* ov) override {
    return ::WriteFile(h, data, size, done, ov);
  }
  BOOL ReadFile(HANDLE h, void* data, DWORD size, DWORD* done, OVERLAPPED* ov) override {
    return ::ReadFile(h, data, size, done, ov);
  }
  BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* done, BOOL wait) override {
    return ::GetOverlappedResult(h, ov, done, wait);
  }
  DWORD WaitForSingleObject(HANDLE h, DWORD ms) override { return ::WaitForSingleObject(h, ms); }
  BOOL CancelIoEx(HANDLE h, OVERLAPPED* ov) override { return ::CancelIoEx(h, ov); }
  BOOL CloseHandle(HANDLE h) override { return ::CloseHandle(h); }
  DWORD GetLastError() override { return ::GetLastError(); }
};

// The device is gone when a transfer fails with one of these.
bool DeviceGone(DWORD error) {
  switch (error) {
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_GEN_FAILURE:
    case ERROR_BAD_COMMAND:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
      return true;
    default:
      return false;
  }
}

// An open printer: one overlapped transfer at a time, each with its own deadline.
class SetupApiDevice final : public UsbDevice {
 public:
  SetupApiDevice(SetupApi& api, Clock& clock, HANDLE file, HANDLE event)
      : api_(api), clock_(clock), file_(file), event_(event) {}
  ~SetupApiDevice() override {
    api_.CloseHandle(file_);
    ::CloseHandle(event_);
  }

  void SetWriteHoldOff(uint32_t ms) override { hold_off_ = std::max(ms, kMinWriteHoldOffMs); }

  bool Write(const uint8_t* data, size_t len) override {
    size_t sent = 0;
    uint32_t last_progress = clock_.NowMs();
    int empty_returns = 0;  // writes that completed without taking a byte
    do {                    // a write of 0 bytes is still issued
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(len - sent, 1u << 20));
      bool timed_out = false;
      const int n = Transfer(true, const_cast<uint8_t*>(data) + sent, chunk,
                             SetupApiBackend::kWriteTimeoutMs, &timed_out);
      if (n < 0) return false;  // refused or gone
      sent += static_cast<size_t>(n);
      if (n > 0 || chunk == 0) {
        last_progress = clock_.NowMs();
        empty_returns = 0;
        continue;
      }
      // A printer erasing its flash, busy or out of paper holds the pipe off: it is written
      // to again while it is present, until the hold-off passes without a byte taken.
      if ((!timed_out && ++empty_returns >= kEmptyWriteLimit) ||
          ElapsedMs(last_progress, clock_.NowMs()) >= hold_off_) {
        return false;
      }
    } while (sent < len);
    return true;
  }

  int Read(uint8_t* buf, size_t cap, uint32_t timeout_ms) override {
    if (cap > 4096) cap = 4096;
    bool timed_out = false;
    return Transfer(false, buf, static_cast<DWORD>(cap), timeout_ms, &timed_out);
  }

 private:
  // Completed writes that take nothing, in a row, before a write fails (a device that
  // answers at once without taking bytes would otherwise be written to in a tight loop).
  static constexpr int kEmptyWriteLimit = 3;

  // One transfer; the byte count, 0 when nothing moved in time (timed_out tells that the
  // wait ran out), -1 on failure (for reads, only when the device is gone: any other failed
  // read counts as nothing read).
  int Transfer(bool write, uint8_t* data, DWORD size, DWORD timeout_ms, bool* timed_out) {
    OVERLAPPED ov = {};
    ov.hEvent = event_;
    DWORD done = 0;
    const BOOL ok = write ? api_.WriteFile(file_, data, size, &done, &ov)
                          : api_.ReadFile(file_, data, size, &done, &ov);
    if (ok) return static_cast<int>(done);
    DWORD error = api_.GetLastError();
    if (error == ERROR_IO_PENDING) {
      if (api_.WaitForSingleObject(event_, timeout_ms) != WAIT_OBJECT_0) {
        *timed_out = true;
        api_.CancelIoEx(file_, &ov);  // bytes that came meanwhile still count
      }
      if (api_.GetOverlappedResult(file_, &ov, &done, TRUE)) return static_cast<int>(done);
      error = api_.GetLastError();
      if (error == ERROR_OPERATION_ABORTED) return static_cast<int>(done);
    }
    if (write || DeviceGone(error)) return -1;
    return 0;
  }

  SetupApi& api_;
  Clock& clock_;
  uint32_t hold_off_ = kMinWriteHoldOffMs;
  HANDLE file_;
  HANDLE event_;
};

}  // namespace

SetupApi& RealSetupApi() {
  static RealApi api;
  return api;
}

UsbError ClassifyOpenError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
      return UsbError::kNotFound;
    case ERROR_ACCESS_DENIED:
      return UsbError::kAccess;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return UsbError::kBusy;
    default:
      return UsbError::kIo;
  }
}

std::string OpenErrorMessage(DWORD error, const std::string& path) {
  switch (ClassifyOpenError(error)) {
    case UsbError::kNotFound:
      return "the printer is no longer connected (" + path + ")";
    case UsbError::kAccess:
      return "Windows refused access to the printer (" + path + ")";
    case UsbError::kBusy:
      return "another program is using the printer (" + path + ")";
    default:
      return "the printer could not be opened (Windows error " + std::to_string(error) + ", " +
             path + ")";
  }
}

void SetupApiBackend::ListDevicePaths(std::vector<std::string>& paths) {
  const HDEVINFO set =
      api_.GetClassDevs(&kUsbDeviceInterfaceClass, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    if (!api_.EnumDeviceInterfaces(set, &kUsbDeviceInterfaceClass, index, &data)) break;
    DWORD required = 0;
    (void)api_.GetDeviceInterfaceDetail(set, &data, nullptr, 0, &required);
    // The fixed part is the record's own size on this platform (8 bytes on 64-bit), the
    // path follows it.
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) break;
    std::vector<uint8_t> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!api_.GetDeviceInterfaceDetail(set, &data, detail, required, nullptr)) break;
    const size_t chars =
        (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
    size_t len = 0;
    while (len < chars && detail->DevicePath[len] != L'\0') ++len;
    paths.push_back(WideToUtf8(std::wstring_view(detail->DevicePath, len)));
  }
  api_.DestroyDeviceInfoList(set);
}

UsbOpenResult SetupApiBackend::Open(const std::string& path) {
  UsbOpenResult r;
  SECURITY_ATTRIBUTES sa = {};
  sa.nLength = sizeof sa;
  sa.lpSecurityDescriptor = nullptr;
  sa.bInheritHandle = FALSE;
  const std::wstring wide = Utf8ToWide(path);
  const HANDLE file =
      api_.OpenDevice(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = api_.GetLastError();
    r.error = ClassifyOpenError(error);
    r.message = OpenErrorMessage(error, path);
    return r;
  }
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!event) {
    api_.CloseHandle(file);
    r.error = UsbError::kIo;
    r.message = "the printer could not be opened (no event for its transfers)";
    return r;
  }
  r.device = std::make_unique<SetupApiDevice>(api_, clock_, file, event);
  return r;
}

std::unique_ptr<UsbBackend> MakeSystemUsbBackend() {
  return std::make_unique<SetupApiBackend>();
}

}  // namespace quillon
