#include "cli/cli_args.h"

#include <cassert>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <set>

namespace quillon::cli {

bool TakesValue(const std::string& flag) {
  static const std::set<std::string> kTakesValue = {
      "--block",     "--count",       "--data",     "--dns",      "--encoding",
      "--file",      "--gap",         "--gateway",  "--height",   "--ip",
      "--key",       "--mask",        "--packsize", "--password", "--sector",
      "--server-ip", "--server-port", "--ssid",     "--type",     "--width"};
  return kTakesValue.count(flag) > 0;
}

std::optional<std::string> Args::Next() {
  for (size_t i = 0; i < words_.size(); ++i) {
    if (used_[i]) continue;
    const std::string& w = words_[i];
    if (w.size() > 1 && w[0] == '-' && !std::isdigit(static_cast<unsigned char>(w[1]))) {
      if (TakesValue(w)) ++i;  // and its value
      continue;
    }
    used_[i] = true;
    return w;
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
  assert(TakesValue(name));  // else Next would take its value as a positional word
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
