// The file calls of font files on Linux: descriptors, mkostemp, fchmod, fsync, rename(2)
// and the folder's fsync.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fonteditor/font_file_io.h"

namespace quillon {

int FileSystemCalls::OpenRead(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

bool FileSystemCalls::Stat(int fd, bool& regular, uint64_t& size) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  regular = S_ISREG(st.st_mode);
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

ssize_t FileSystemCalls::Read(int fd, void* data, size_t size) {
  return ::read(fd, data, size);
}

std::string FileSystemCalls::Unwritable(const std::filesystem::path& target) {
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0)
    return std::strerror(errno);
  return {};
}

int FileSystemCalls::CreateTemp(const std::filesystem::path& target, std::filesystem::path& temp) {
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string name = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) temp = name;
  return fd;
}

int FileSystemCalls::KeepMode(int fd, const std::filesystem::path& target) {
  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  return ::fchmod(fd, mode);
}

ssize_t FileSystemCalls::Write(int fd, const void* data, size_t size) {
  return ::write(fd, data, size);
}

int FileSystemCalls::Flush(int fd) {
  return ::fsync(fd);
}

int FileSystemCalls::Close(int fd) {
  return ::close(fd);
}

int FileSystemCalls::Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str());
}

void FileSystemCalls::SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

FileSystemCalls& SystemFileCalls() {
  static FileSystemCalls calls;
  return calls;
}

}  // namespace quillon
