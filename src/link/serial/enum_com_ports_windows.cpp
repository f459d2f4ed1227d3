// Serial port discovery from the registry: every value of HARDWARE\DEVICEMAP\SERIALCOMM
// is one port, its data the port's name.
#include "link/serial/windows_serial.h"

#include <algorithm>
#include <cctype>

#include "core/win32_text.h"
#include "link/serial/enum_com_ports.h"

namespace quillon {

bool ComNameLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

// root "/" reads HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM; any other root names a
// key under HKEY_CURRENT_USER laid out the same way (tests).
void EnumComPorts(std::vector<std::string>& ports, const std::string& root) {
  HKEY key = nullptr;
  const bool system = root == "/";
  const std::wstring sub = system ? L"HARDWARE\\DEVICEMAP\\SERIALCOMM" : Utf8ToWide(root);
  if (RegOpenKeyExW(system ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ,
                    &key) != ERROR_SUCCESS) {
    return;
  }
  std::vector<std::string> found;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD name_len = 256;
    wchar_t data[128];  // 256 bytes
    DWORD data_bytes = sizeof data;
    DWORD type = 0;
    const LONG rc = RegEnumValueW(key, index, name, &name_len, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data), &data_bytes);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) {  // including data longer than 256 bytes
      RegCloseKey(key);
      return;
    }
    // The port name up to its terminating NUL (the data need not carry one).
    const size_t chars = data_bytes / sizeof(wchar_t);
    size_t len = 0;
    while (len < chars && data[len] != L'\0') ++len;
    found.push_back(WideToUtf8(std::wstring_view(data, len)));
  }
  RegCloseKey(key);
  std::stable_sort(found.begin(), found.end(), ComNameLess);
  ports = std::move(found);
}

}  // namespace quillon
