// Whole-file read and atomic save of font files on Windows: CRT descriptors opened by
// wide-character path, flushed with _commit, and MoveFileExW to replace the old file.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>

#include "core/utf8_path.h"
#include "core/win32_text.h"
#include "fonteditor/font_file_io.h"

namespace quillon {
namespace {

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

FileResult Failure(std::string text) {
  return {false, std::move(text)};
}

// Closes a descriptor once, on every path.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int Close() {
    if (fd_ < 0) return 0;
    const int rc = ::_close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

}  // namespace

ssize_t FileOps::Write(int fd, const void* data, size_t size) {
  const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
  return ::_write(fd, data, chunk);
}
int FileOps::Fsync(int fd) {
  return ::_commit(fd);
}
int FileOps::Rename(const char* from, const char* to) {
  if (MoveFileExW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return -1;
}

FileOps& PosixFileOps() {
  static FileOps ops;
  return ops;
}

FileResult ReadFontFile(const std::string& path, std::vector<uint8_t>& out) {
  const std::string what = "Cannot open font file " + Quoted(path) + ": ";
  Fd fd(::_wopen(Utf8ToWide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT));
  if (fd.get() < 0) return Failure(what + std::strerror(errno) + ".");
  struct _stat64 st {};
  if (::_fstat64(fd.get(), &st) != 0) return Failure(what + std::strerror(errno) + ".");
  if ((st.st_mode & _S_IFMT) != _S_IFREG) return Failure(what + "it is not a regular file.");
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
    size_t done = 0;
    for (;;) {
      if (done == bytes.size()) bytes.resize(bytes.size() + 65536);  // the file grew meanwhile
      const size_t want = bytes.size() - done;
      const int n = ::_read(fd.get(), bytes.data() + done,
                            static_cast<unsigned>(want > 0x40000000u ? 0x40000000u : want));
      if (n < 0) return Failure(what + std::strerror(errno) + ".");
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    out = std::move(bytes);
  } catch (const std::bad_alloc&) {
    return Failure(what + "the file is too large to load.");
  }
  return {true, {}};
}

FileResult SaveFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                              FileOps& ops) {
  const std::string what = "Cannot save font file " + Quoted(path) + ": ";
  const std::string kept = " The file on disk was not changed.";
  const std::filesystem::path target = Utf8Path(path);
  std::error_code ec;
  if (std::filesystem::is_directory(target, ec)) return Failure(what + "it is a folder." + kept);
  // The move below would replace a read-only file; refuse as a plain overwrite would.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    return Failure(what + "the file is read-only." + kept);
  }

  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // A temporary name of our own in the target's folder, created exclusively.
  std::filesystem::path temp;
  int raw = -1;
  for (unsigned attempt = 0; raw < 0 && attempt < 100; ++attempt) {
    temp = folder / (L"." + target.filename().wstring() + L"." +
                     std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt));
    raw = ::_wopen(temp.c_str(), _O_WRONLY | _O_BINARY | _O_CREAT | _O_EXCL | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
    if (raw < 0 && errno != EEXIST) break;
  }
  Fd fd(raw);
  if (fd.get() < 0) return Failure(what + std::strerror(errno) + "." + kept);

  auto fail = [&](const char* step, int err) {
    fd.Close();
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return Failure(what + step + std::strerror(err) + "." + kept);
  };

  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ops.Write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) return fail("", errno);
    if (n == 0) return fail("", ENOSPC);
    done += static_cast<size_t>(n);
  }
  if (ops.Fsync(fd.get()) != 0) return fail("", errno);
  if (fd.Close() != 0) return fail("", errno);
  if (ops.Rename(PathUtf8(temp).c_str(), PathUtf8(target).c_str()) != 0) {
    const int err = errno;
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return Failure(what + std::strerror(err) + "." + kept);
  }
  return {true, {}};
}

}  // namespace quillon
