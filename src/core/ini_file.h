// INI files as Windows reads them: sections and keys case-insensitive, defaults for
// missing keys, values read from the file as it is now.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

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

  // Every key of a section read in one pass (keys lower-cased, so lookups ignore case like
  // ReadString). Empty when the file or the section is missing.
  std::map<std::string, std::string> ReadSection(const std::string& section) const;
  // Writes many values of one section with a single load and save of the file.
  bool WriteStrings(const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& values);

 private:
  std::string path_;
};

}  // namespace quillon
