// Linux folders: /proc/self/exe for the program, the XDG base directories for the user.
#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "core/platform_folders.h"

namespace quillon {
namespace {

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

// $variable when it holds an absolute path (relative ones are ignored, as the XDG base
// directory rules say), else fallback below the home folder.
std::string XdgFolder(const char* variable, const char* fallback) {
  std::string base;
  if (const char* v = std::getenv(variable); v && v[0] == '/') {
    base = v;
  } else {
    base = HomeDirectory() + "/" + fallback;
  }
  if (base.back() != '/') base += '/';
  return base + "quillon/";
}

}  // namespace

std::string ExecutableFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string path(buf, static_cast<size_t>(n));
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

bool FolderIsWritable(const std::string& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string UserConfigFolder() {
  return XdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string UserStateFolder() {
  return XdgFolder("XDG_STATE_HOME", ".local/state");
}

}  // namespace quillon
