// The file calls of font files on Windows: C runtime descriptors opened by wide-character
// path, _commit, and MoveFileExW, which replaces an existing file and returns only once the
// move is on the disk.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "fonteditor/font_file_io.h"

namespace quillon {

int FileSystemCalls::OpenRead(const std::filesystem::path& path) {
  return ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

bool FileSystemCalls::Stat(int fd, bool& regular, uint64_t& size) {
  struct _stat64 st {};
  if (::_fstat64(fd, &st) != 0) return false;
  regular = (st.st_mode & _S_IFMT) == _S_IFREG;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

ssize_t FileSystemCalls::Read(int fd, void* data, size_t size) {
  return ::_read(fd, data, static_cast<unsigned>(size));
}

std::string FileSystemCalls::Unwritable(const std::filesystem::path& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return "the file is read-only";
  return {};
}

int FileSystemCalls::CreateTemp(const std::filesystem::path& target, std::filesystem::path& temp) {
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // A temporary name of our own in the target's folder, created exclusively.
  int fd = -1;
  for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = folder / (L"." + target.filename().wstring() + L"." +
                     std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt));
    fd = ::_wopen(temp.c_str(), _O_WRONLY | _O_BINARY | _O_CREAT | _O_EXCL | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
    if (fd < 0 && errno != EEXIST) break;
  }
  return fd;
}

int FileSystemCalls::KeepMode(int, const std::filesystem::path&) {
  return 0;  // no modes here; a read-only file is refused before (Unwritable)
}

ssize_t FileSystemCalls::Write(int fd, const void* data, size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(size));
}

int FileSystemCalls::Flush(int fd) {
  return ::_commit(fd);
}

int FileSystemCalls::Close(int fd) {
  return ::_close(fd);
}

int FileSystemCalls::Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return -1;
}

void FileSystemCalls::SyncFolder(const std::filesystem::path&) {
  // MOVEFILE_WRITE_THROUGH has made the move durable already.
}

FileSystemCalls& SystemFileCalls() {
  static FileSystemCalls calls;
  return calls;
}

}  // namespace quillon
