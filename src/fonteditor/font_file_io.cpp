// Whole-file read and atomic save of font files over the system's file calls, and the name
// the save dialog proposes.
#include "fonteditor/font_file_io.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "core/platform.h"
#include "core/utf8_path.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

// The most one read or write is asked to move (the C runtime on Windows takes an int).
constexpr size_t kMaxTransfer = 0x40000000u;

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

FileResult Failure(std::string text) {
  return {false, std::move(text)};
}

// Closes a descriptor once, on every path.
class Fd {
 public:
  Fd(FileSystemCalls& calls, int fd) : calls_(calls), fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int Close() {
    if (fd_ < 0) return 0;
    const int rc = calls_.Close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  FileSystemCalls& calls_;
  int fd_;
};

// The file the save really replaces: a symbolic link is followed so that the link survives.
fs::path SaveTarget(const std::string& path) {
  std::error_code ec;
  const fs::path p = Utf8Path(path);
  if (fs::is_symlink(p, ec)) {
    auto real = fs::canonical(p, ec);
    if (!ec) return real;
  }
  return p;
}

}  // namespace

FileResult ReadFontFile(const std::string& path, std::vector<uint8_t>& out,
                        FileSystemCalls& calls) {
  const std::string what = "Cannot open font file " + Quoted(path) + ": ";
  Fd fd(calls, calls.OpenRead(Utf8Path(path)));
  if (fd.get() < 0) return Failure(what + std::strerror(errno) + ".");
  bool regular = false;
  uint64_t size = 0;
  if (!calls.Stat(fd.get(), regular, size)) return Failure(what + std::strerror(errno) + ".");
  if (!regular) return Failure(what + "it is not a regular file.");
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    size_t done = 0;
    for (;;) {
      if (done == bytes.size()) bytes.resize(bytes.size() + 65536);  // the file grew meanwhile
      const size_t want = std::min(bytes.size() - done, kMaxTransfer);
      const ssize_t n = calls.Read(fd.get(), bytes.data() + done, want);
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
                              FileSystemCalls& calls) {
  const std::string what = "Cannot save font file " + Quoted(path) + ": ";
  const std::string kept = " The file on disk was not changed.";
  const fs::path target = SaveTarget(path);
  std::error_code ec;
  if (fs::is_directory(target, ec)) return Failure(what + "it is a folder." + kept);
  // The replacement below would go through where a plain overwrite would be refused.
  if (const std::string why = calls.Unwritable(target); !why.empty())
    return Failure(what + why + "." + kept);

  fs::path temp;
  Fd fd(calls, calls.CreateTemp(target, temp));
  if (fd.get() < 0) return Failure(what + std::strerror(errno) + "." + kept);
  auto fail = [&](int err) {
    fd.Close();
    std::error_code ignored;
    fs::remove(temp, ignored);
    return Failure(what + std::strerror(err) + "." + kept);
  };

  if (calls.KeepMode(fd.get(), target) != 0) return fail(errno);
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t want = std::min(bytes.size() - done, kMaxTransfer);
    const ssize_t n = calls.Write(fd.get(), bytes.data() + done, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno);
    if (n == 0) return fail(ENOSPC);
    done += static_cast<size_t>(n);
  }
  if (calls.Flush(fd.get()) != 0) return fail(errno);
  if (fd.Close() != 0) return fail(errno);
  if (calls.Replace(temp, target) != 0) return fail(errno);

  // The data is already safe, so a failure here is not reported.
  fs::path folder = target.parent_path();
  calls.SyncFolder(folder.empty() ? fs::path(".") : folder);
  return {true, {}};
}

std::string DefaultFontFileName(int year, int month, int day) {
  char name[40];
  std::snprintf(name, sizeof name, "FOnt_KX_8M_%04d%02d%02d.bin", year, month, day);
  return name;
}

std::string DefaultFontFileNameToday() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  const std::tm local = LocalTime(now);
  return DefaultFontFileName(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace quillon
