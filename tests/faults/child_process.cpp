// Forked children with limits for the disk and permission scenarios.
#include "faults/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::faults {

std::string RunInChild(const ChildLimits& limits, const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "child failed: no pipe";
  const pid_t pid = ::fork();
  if (pid < 0) return "child failed: no fork";
  if (pid == 0) {
    ::close(fds[0]);
    std::string out;
    bool ready = true;
    if (limits.max_file_size != RLIM_INFINITY) {
      ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
      const rlimit r{limits.max_file_size, limits.max_file_size};
      ready = ::setrlimit(RLIMIT_FSIZE, &r) == 0;
    }
    if (ready && limits.unprivileged && ::geteuid() == 0) {
      ready = ::setgid(65534) == 0 && ::setuid(65534) == 0;
    }
    out = ready ? body() : "child failed: limits not set";
    for (size_t at = 0; at < out.size();) {
      const ssize_t n = ::write(fds[1], out.data() + at, out.size() - at);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
    out.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status))
    return "child failed: died with signal " + std::to_string(WTERMSIG(status));
  return out;
}

}  // namespace quillon::faults
