// Reading a font file whole and saving it so that a failure never leaves a damaged file:
// the bytes go to a temporary file in the target's folder, are flushed, then renamed over it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// Outcome of a file operation; error is a sentence for the user when ok is false.
struct FileResult {
  bool ok = false;
  std::string error;
};

// Reads the whole regular file at path into out; out is untouched on failure.
FileResult ReadFontFile(const std::string& path, std::vector<uint8_t>& out);

// The system calls the save goes through, so tests can make any step fail.
class FileOps {
 public:
  virtual ~FileOps() = default;
  virtual ssize_t Write(int fd, const void* data, size_t size);
  virtual int Fsync(int fd);
  virtual int Rename(const char* from, const char* to);
};

// The real calls.
FileOps& PosixFileOps();

// Writes bytes to path atomically: on any failure the old file (if any) is unchanged, the
// temporary file is removed and the error names what went wrong.
FileResult SaveFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                              FileOps& ops = PosixFileOps());

// "FOnt_KX_8M_" + yyyymmdd + ".bin", the name the save dialog proposes.
std::string DefaultFontFileName(int year, int month, int day);
std::string DefaultFontFileNameToday();

}  // namespace quillon
