// Windows folders: the module's own path for the program, the user's application-data
// folders (%APPDATA%, %LOCALAPPDATA%) for settings and state.
#include <windows.h>

#include <cwchar>
#include <vector>

#include "core/platform_folders.h"
#include "core/win32_text.h"

namespace quillon {
namespace {

std::string Slashes(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// %variable%\quillon/, or the program's folder when the variable is missing.
std::string UserFolder(const wchar_t* variable) {
  wchar_t buf[32768];
  const DWORD n = GetEnvironmentVariableW(variable, buf, 32768);
  if (n == 0 || n >= 32768) return ExecutableFolder();
  return Slashes(WideToUtf8(std::wstring_view(buf, n))) + "quillon/";
}

}  // namespace

std::string ExecutableFolder() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return "./";
    if (n < buf.size()) {
      std::string path = WideToUtf8(std::wstring_view(buf.data(), n));
      for (char& c : path)
        if (c == '\\') c = '/';
      const size_t slash = path.rfind('/');
      return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    }
    if (buf.size() >= 32768) return "./";
    buf.resize(buf.size() * 2);
  }
}

bool FolderIsWritable(const std::string& folder) {
  // Windows has no cheap "may I write here" question: create a file that goes away again.
  const std::wstring probe = Utf8ToWide(folder + "/.quillon-write-test");
  const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::string UserConfigFolder() {
  return UserFolder(L"APPDATA");
}

std::string UserStateFolder() {
  return UserFolder(L"LOCALAPPDATA");
}

}  // namespace quillon
