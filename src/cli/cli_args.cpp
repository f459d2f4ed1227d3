#include "cli/cli_args.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace quillon::cli {

std::optional<std::string> Args::Next() {
  for (size_t i = 0; i < words_.size(); ++i) {
    if (used_[i]) continue;
    if (words_[i].size() > 1 && words_[i][0] == '-' && words_[i] != "-" &&
        !(words_[i].size() > 1 && (std::isdigit(static_cast<unsigned char>(words_[i][1]))))) {
      continue;  // a flag (negative numbers count as positional)
    }
    used_[i] = true;
    return words_[i];
  }
  return std::nullopt;
}

bool Args::Flag(const std::string& name) {
  for (size_t i = 0; i < words_.size(); ++i) {
    if (!used_[i] && words_[i] == name) {
      used_[i] = true;
      return true;
    }
  }
  return false;
}

std::optional<std::string> Args::Value(const std::string& name, bool* missing_value) {
  if (missing_value) *missing_value = false;
  for (size_t i = 0; i < words_.size(); ++i) {
    if (used_[i]) continue;
    if (words_[i] == name) {
      used_[i] = true;
      if (i + 1 < words_.size() && !used_[i + 1]) {
        used_[i + 1] = true;
        return words_[i + 1];
      }
      if (missing_value) *missing_value = true;
      return std::nullopt;
    }
    if (words_[i].rfind(name + "=", 0) == 0) {
      used_[i] = true;
      return words_[i].substr(name.size() + 1);
    }
  }
  return std::nullopt;
}

bool Args::Help() {
  return Flag("--help") || Flag("-h");
}

std::optional<std::string> Args::Leftover() const {
  for (size_t i = 0; i < words_.size(); ++i) {
    if (!used_[i]) return words_[i];
  }
  return std::nullopt;
}

std::optional<long long> ParseInt(const std::string& text, long long min, long long max) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return std::nullopt;
  return v;
}

}  // namespace quillon::cli
