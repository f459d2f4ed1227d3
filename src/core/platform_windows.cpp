// The core's system services on Windows: wide-character calls at the boundary, UTF-8
// inside.
#include <windows.h>
// after windows.h
#include <io.h>
#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "core/platform.h"
#include "core/win32_text.h"

namespace quillon {

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
  return _wfopen(Utf8ToWide(path).c_str(), Utf8ToWide(mode).c_str());
}

bool MakeFolder(const std::string& path) {
  return CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr) ||
         GetLastError() == ERROR_ALREADY_EXISTS;
}

std::tm LocalTime(std::time_t t) {
  std::tm tm{};
  localtime_s(&tm, &t);
  return tm;
}

bool IsTerminal(std::FILE* f) {
  return ::_isatty(::_fileno(f)) != 0;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> words;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) {  // fall back to the ANSI arguments
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : words;
  }
  for (int i = 1; i < count; ++i) words.push_back(WideToUtf8(wide[i]));
  LocalFree(wide);
  return words;
}

void PrepareConsole() {
  SetConsoleOutputCP(CP_UTF8);
}

}  // namespace quillon
