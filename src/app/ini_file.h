// INI files as Windows reads them: sections and keys case-insensitive, defaults for
// missing keys, values read from the file as it is now.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  // Each read loads the file afresh, so edits made while the program runs show at once.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;
  // A missing key or a value that is not a whole number gives def.
  int64_t ReadInteger(const std::string& section, const std::string& key, int64_t def) const;
  // Writes one value, keeping the rest of the file; false when the file cannot be written.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool SectionExists(const std::string& section) const;

 private:
  std::string path_;
};

}  // namespace quillon
