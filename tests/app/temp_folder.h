// A fresh program folder per test under the system's temp directory, removed afterwards, so
// tests never read or write next to each other or next to the binaries.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/sfunc.h"

namespace quillon::testing {

class TempProgramFolder {
 public:
  // suffix tells apart several folders of one test.
  explicit TempProgramFolder(const std::string& suffix = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("quillon_app_") + (info ? info->test_suite_name() : "x") + "_" +
                       (info ? info->name() : "x") + suffix;
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    SetApplicationPath(folder());
  }
  ~TempProgramFolder() {
    SetApplicationPath("");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string folder() const { return path_.string() + "/"; }
  std::string file(const std::string& name) const { return folder() + name; }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path path_;
};

}  // namespace quillon::testing
