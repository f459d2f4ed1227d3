// Paths are UTF-8 text everywhere inside the program; this turns one into a filesystem
// path, which opens the file through the wide-character calls where the system has them,
// so names in any script work.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillon {

inline std::filesystem::path Utf8Path(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The path back as UTF-8 text.
inline std::string PathUtf8(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

}  // namespace quillon
