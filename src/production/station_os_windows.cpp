// The station's system services on Windows.
#include <windows.h>

#include "core/utf8_path.h"
#include "production/station_os.h"

namespace quillon::production {

std::string HostName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size) || size == 0) return "localhost";
  return PathUtf8(std::filesystem::path(std::wstring(name, size)));
}

int64_t ProcessId() {
  return static_cast<int64_t>(GetCurrentProcessId());
}

bool ProcessAlive(int64_t pid) {
  if (pid <= 0) return false;
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return running;
}

std::tm UtcTime(std::time_t t) {
  std::tm tm{};
  gmtime_s(&tm, &t);
  return tm;
}

FileLock::FileLock(const std::string& path) {
  HANDLE h = CreateFileW(Utf8Path(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  handle_ = reinterpret_cast<intptr_t>(h);
  OVERLAPPED at{};
  locked_ = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &at) != 0;
}

FileLock::~FileLock() {
  if (handle_ == -1) return;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  if (locked_) {
    OVERLAPPED at{};
    UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &at);
  }
  CloseHandle(h);
}

}  // namespace quillon::production
