// Whole-file read and atomic save of font files (POSIX).
#include "fonteditor/font_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

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
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

// The file the save really replaces: a symbolic link is followed so that the link survives.
std::filesystem::path SaveTarget(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p(path);
  if (std::filesystem::is_symlink(p, ec)) {
    auto real = std::filesystem::canonical(p, ec);
    if (!ec) return real;
  }
  return p;
}

}  // namespace

ssize_t FileOps::Write(int fd, const void* data, size_t size) {
  return ::write(fd, data, size);
}
int FileOps::Fsync(int fd) {
  return ::fsync(fd);
}
int FileOps::Rename(const char* from, const char* to) {
  return ::rename(from, to);
}

FileOps& PosixFileOps() {
  static FileOps ops;
  return ops;
}

FileResult ReadFontFile(const std::string& path, std::vector<uint8_t>& out) {
  const std::string what = "Cannot open font file " + Quoted(path) + ": ";
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return Failure(what + std::strerror(errno) + ".");
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return Failure(what + std::strerror(errno) + ".");
  if (!S_ISREG(st.st_mode)) return Failure(what + "it is not a regular file.");
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
    size_t done = 0;
    for (;;) {
      if (done == bytes.size()) bytes.resize(bytes.size() + 65536);  // the file grew meanwhile
      const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
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
  const std::filesystem::path target = SaveTarget(path);
  std::error_code ec;
  if (std::filesystem::is_directory(target, ec)) return Failure(what + "it is a folder." + kept);
  // The rename below would replace a file the user may not write; refuse as a plain
  // overwrite would.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
    return Failure(what + std::strerror(errno) + "." + kept);
  }

  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return Failure(what + std::strerror(errno) + "." + kept);

  auto fail = [&](const char* step, int err) {
    fd.Close();
    ::unlink(temp.c_str());
    return Failure(what + step + std::strerror(err) + "." + kept);
  };

  // Keep the permissions of the file being replaced; a new file gets rw-r--r--.
  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  if (::fchmod(fd.get(), mode) != 0) return fail("", errno);

  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ops.Write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail("", errno);
    if (n == 0) return fail("", ENOSPC);
    done += static_cast<size_t>(n);
  }
  if (ops.Fsync(fd.get()) != 0) return fail("", errno);
  if (fd.Close() != 0) return fail("", errno);
  if (ops.Rename(temp.c_str(), target.c_str()) != 0) return fail("", errno);

  // Make the rename itself durable; the data is already safe, so a failure here is not reported.
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return {true, {}};
}

}  // namespace quillon
