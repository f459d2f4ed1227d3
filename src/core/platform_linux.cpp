// The core's system services on Linux.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/platform.h"

namespace quillon {

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

bool MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

std::tm LocalTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

bool IsTerminal(std::FILE* f) {
  return ::isatty(::fileno(f)) != 0;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

void PrepareConsole() {}  // terminals take UTF-8 as it is

}  // namespace quillon
