// The atomic save on every system: it replaces a file that is there and keeps its mode.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/utf8_path.h"
#include "fonteditor/font_file_io.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

TEST(FontFileSave, ReplacesAnExistingFileAndKeepsItsMode) {
  const fs::path dir =
      fs::temp_directory_path() /
      ("quillon_fontsave_" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  const fs::path target = dir / "font.bin";
  std::ofstream(target, std::ios::binary) << "old bytes";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  const fs::perms mode = fs::status(target).permissions();

  const std::vector<uint8_t> bytes = {0, 1, 2, 0xFF};
  const FileResult saved = SaveFileAtomically(PathUtf8(target), bytes);
  ASSERT_TRUE(saved.ok) << saved.error;
  std::ifstream in(target, std::ios::binary);
  EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), bytes);
  EXPECT_EQ(fs::status(target).permissions(), mode);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  in.close();
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quillon
