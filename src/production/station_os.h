// What the station asks of the operating system: the host's name, this process's id,
// whether another station process still runs, UTC time, and a lock on a file shared by
// several station processes. One file per system implements it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace quillon::production {

std::string HostName();
int64_t ProcessId();
// False only when no process with that id runs on this host.
bool ProcessAlive(int64_t pid);
std::tm UtcTime(std::time_t t);

// An exclusive lock on a file (created when missing), held from construction to
// destruction; other processes wait. locked() is false when the file cannot be opened.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool locked() const { return locked_; }

 private:
  intptr_t handle_ = -1;
  bool locked_ = false;
};

}  // namespace quillon::production
