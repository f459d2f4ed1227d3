#include "core/sfunc.h"

#include "core/file_locations.h"
#include "core/platform_folders.h"

namespace quillon {

std::string GetApplicationPath() {
  std::string home = HomeFolder();
  return home.empty() ? ExecutableFolder() : home;
}

void SetApplicationPath(const std::string& folder) {
  SetHomeFolder(folder);
}

uint32_t HexToint(const std::string& hex) {
  if (hex.empty()) return 0;
  uint64_t v = 0;
  for (char c : hex) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return 0;
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) return 0;
  }
  return static_cast<uint32_t>(v);
}

}  // namespace quillon
