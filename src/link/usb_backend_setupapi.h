// The USB backend for real printers on Windows: SetupAPI lists the present USB device
// interfaces, and the printer's device path is opened as a file with overlapped I/O.
// Every system call goes through SetupApi, so the logic is testable with a fake (there is
// no USB printer to enumerate under Wine).
#pragma once

#include <windows.h>
// after windows.h
#include <setupapi.h>

#include <memory>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/usb_backend.h"

namespace quillon {

// The SetupAPI and file calls the backend uses, one virtual per call with the system's
// own signature.
class SetupApi {
 public:
  virtual ~SetupApi() = default;
  virtual HDEVINFO GetClassDevs(const GUID* cls, DWORD flags) = 0;
  virtual BOOL EnumDeviceInterfaces(HDEVINFO set, const GUID* cls, DWORD index,
                                    SP_DEVICE_INTERFACE_DATA* data) = 0;
  virtual BOOL GetDeviceInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                        SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD size,
                                        DWORD* required) = 0;
  virtual BOOL DestroyDeviceInfoList(HDEVINFO set) = 0;
  virtual HANDLE OpenDevice(const wchar_t* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* sa,
                            DWORD disposition, DWORD flags) = 0;
  virtual BOOL WriteFile(HANDLE h, const void* data, DWORD size, DWORD* done, OVERLAPPED* ov) = 0;
  virtual BOOL ReadFile(HANDLE h, void* data, DWORD size, DWORD* done, OVERLAPPED* ov) = 0;
  virtual BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* done, BOOL wait) = 0;
  virtual DWORD WaitForSingleObject(HANDLE h, DWORD ms) = 0;
  virtual BOOL CancelIoEx(HANDLE h, OVERLAPPED* ov) = 0;
  virtual BOOL CloseHandle(HANDLE h) = 0;
  virtual DWORD GetLastError() = 0;
};

// The real calls.
SetupApi& RealSetupApi();

// The USB device interface class whose present members are listed.
inline constexpr GUID kUsbDeviceInterfaceClass = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

// How an open failure is classified, and what the user is told.
UsbError ClassifyOpenError(DWORD error);
std::string OpenErrorMessage(DWORD error, const std::string& path);

class SetupApiBackend final : public UsbBackend {
 public:
  explicit SetupApiBackend(SetupApi& api = RealSetupApi(), Clock& clock = SystemClock())
      : api_(api), clock_(clock) {}
  // Every present USB device interface's path, in the system's enumeration order.
  void ListDevicePaths(std::vector<std::string>& paths) override;
  // Opens the path for reading and writing, shared, existing only, overlapped.
  UsbOpenResult Open(const std::string& path) override;

  // One overlapped write waits this long; a printer that takes nothing is written to again
  // until the hold-off (kMinWriteHoldOffMs, or the command's reply wait when longer) has
  // passed without progress.
  static constexpr DWORD kWriteTimeoutMs = 2000;

 private:
  SetupApi& api_;
  Clock& clock_;
};

}  // namespace quillon
