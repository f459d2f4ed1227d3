// The station's system services on Linux.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "production/station_os.h"

namespace quillon::production {

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

int64_t ProcessId() {
  return static_cast<int64_t>(::getpid());
}

bool ProcessAlive(int64_t pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::tm UtcTime(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  return tm;
}

FileLock::FileLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  handle_ = fd;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return;
  }
  locked_ = true;
}

FileLock::~FileLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // releases the lock
}

}  // namespace quillon::production
