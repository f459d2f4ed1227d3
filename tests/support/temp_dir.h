// A fresh empty folder under the system's temp directory (any system), for one test.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

namespace quillon::testing {

inline std::filesystem::path MakeTempDir(const std::string& prefix) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    const auto dir = std::filesystem::temp_directory_path() /
                     (prefix + std::to_string(stamp) + "-" + std::to_string(++counter));
    if (std::filesystem::create_directory(dir)) return dir;
  }
}

}  // namespace quillon::testing
