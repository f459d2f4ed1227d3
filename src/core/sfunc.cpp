#include "core/sfunc.h"

#include <mutex>

#include "core/platform.h"

namespace quillon {
namespace {

std::mutex g_path_mutex;
std::string g_path_override;

}  // namespace

std::string GetApplicationPath() {
  std::lock_guard lock(g_path_mutex);
  if (!g_path_override.empty()) return g_path_override;
  return ExecutableFolder();
}

void SetApplicationPath(const std::string& folder) {
  std::lock_guard lock(g_path_mutex);
  g_path_override = folder;
  if (!g_path_override.empty() && g_path_override.back() != '/') g_path_override += '/';
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
