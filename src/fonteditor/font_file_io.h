// Reading a font file whole and saving it so that a failure never leaves a damaged file:
// the bytes go to a temporary file in the target's folder that takes the old file's mode,
// are flushed, then the temporary file replaces the old one by a rename. The same on every
// system; only the calls differ.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// Outcome of a file operation; error is a sentence for the user when ok is false.
struct FileResult {
  bool ok = false;
  std::string error;
};

// The file-system calls a font file's read and atomic save go through, one implementation
// per system (font_file_io_linux.cpp, font_file_io_windows.cpp); tests derive from it to
// make any step fail. Descriptors are the C runtime's; a failing call sets errno.
class FileSystemCalls {
 public:
  virtual ~FileSystemCalls() = default;
  // Opens the file for reading; a descriptor or -1.
  virtual int OpenRead(const std::filesystem::path& path);
  // Whether the open file is a regular file, and its size; false when it cannot be asked.
  virtual bool Stat(int fd, bool& regular, uint64_t& size);
  virtual ssize_t Read(int fd, void* data, size_t size);
  // Why the existing file at target may not be replaced ("" when it may, or is not there).
  virtual std::string Unwritable(const std::filesystem::path& target);
  // Creates a new file of its own beside target, open for writing: a descriptor or -1;
  // temp gets its name.
  virtual int CreateTemp(const std::filesystem::path& target, std::filesystem::path& temp);
  // Gives the new file the mode of the one it replaces (rw-r--r-- when there is none), where
  // the system has modes; 0 or -1.
  virtual int KeepMode(int fd, const std::filesystem::path& target);
  virtual ssize_t Write(int fd, const void* data, size_t size);
  // Flushes the file's data to the device.
  virtual int Flush(int fd);
  virtual int Close(int fd);
  // Puts from in the place of to, replacing the file there; 0 or -1.
  virtual int Replace(const std::filesystem::path& from, const std::filesystem::path& to);
  // Makes the replacement itself durable, where the system asks for that separately.
  virtual void SyncFolder(const std::filesystem::path& folder);
};

// The real calls.
FileSystemCalls& SystemFileCalls();

// Reads the whole regular file at path into out; out is untouched on failure.
FileResult ReadFontFile(const std::string& path, std::vector<uint8_t>& out,
                        FileSystemCalls& calls = SystemFileCalls());

// Writes bytes to path atomically: on any failure the old file (if any) is unchanged, the
// temporary file is removed and the error names what went wrong.
FileResult SaveFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                              FileSystemCalls& calls = SystemFileCalls());

// "FOnt_KX_8M_" + yyyymmdd + ".bin", the name the save dialog proposes.
std::string DefaultFontFileName(int year, int month, int day);
std::string DefaultFontFileNameToday();

}  // namespace quillon
