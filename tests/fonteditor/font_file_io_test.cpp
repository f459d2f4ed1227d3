// Reading font files and saving them atomically: every failing step leaves the old file whole
// and no temporary file behind.
#include "fonteditor/font_file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

std::vector<uint8_t> Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Put(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

class FontFileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("quillon_fontio_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    target = dir / "font.bin";
  }
  void TearDown() override { fs::remove_all(dir); }

  // Names in the folder other than the target: leftovers of a failed save.
  std::vector<std::string> Strays() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
      if (e.path() != target) names.push_back(e.path().filename().string());
    }
    return names;
  }

  fs::path dir, target;
};

TEST_F(FontFileIo, SaveThenReadGivesTheSameBytesAndKeepsPermissions) {
  Put(target, Bytes(100, 1));
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto content = Bytes(70000, 9);
  const FileResult saved = SaveFileAtomically(target.string(), content);
  ASSERT_TRUE(saved.ok) << saved.error;
  std::vector<uint8_t> back;
  ASSERT_TRUE(ReadFontFile(target.string(), back).ok);
  EXPECT_EQ(back, content);
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(Strays().empty());

  // A new file, and an empty one, are saved too.
  const fs::path fresh = dir / "new.bin";
  ASSERT_TRUE(SaveFileAtomically(fresh.string(), {}).ok);
  EXPECT_EQ(fs::file_size(fresh), 0u);
}

TEST_F(FontFileIo, SavingThroughASymlinkReplacesTheFileItPointsTo) {
  Put(target, Bytes(10, 1));
  const fs::path link = dir / "link.bin";
  fs::create_symlink(target, link);
  ASSERT_TRUE(SaveFileAtomically(link.string(), Bytes(20, 2)).ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(target), Bytes(20, 2));
}

// Fails one step of the save the way a full disk or a failing device would.
class FailingOps : public FileSystemCalls {
 public:
  enum Step { kWrite, kFsync, kRename };
  explicit FailingOps(Step step) : step_(step) {}
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (step_ != kWrite) return FileSystemCalls::Write(fd, data, size);
    // The first call gets part of the data through, then the disk is full.
    if (writes_++ == 0) return FileSystemCalls::Write(fd, data, size / 2);
    errno = ENOSPC;
    return -1;
  }
  int Flush(int fd) override {
    if (step_ != kFsync) return FileSystemCalls::Flush(fd);
    errno = EIO;
    return -1;
  }
  int Replace(const fs::path& from, const fs::path& to) override {
    if (step_ != kRename) return FileSystemCalls::Replace(from, to);
    errno = EXDEV;
    return -1;
  }

 private:
  Step step_;
  int writes_ = 0;
};

TEST_F(FontFileIo, AFailingStepKeepsTheOldFileWhole) {
  const auto old_content = Bytes(5000, 3);
  for (auto step : {FailingOps::kWrite, FailingOps::kFsync, FailingOps::kRename}) {
    SCOPED_TRACE(step);
    Put(target, old_content);
    FailingOps ops(step);
    const FileResult r = SaveFileAtomically(target.string(), Bytes(8000, 4), ops);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("font.bin"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("not changed"), std::string::npos) << r.error;
    EXPECT_EQ(Slurp(target), old_content);
    EXPECT_TRUE(Strays().empty());
  }
  FailingOps full(FailingOps::kWrite);
  EXPECT_NE(
      SaveFileAtomically(target.string(), Bytes(8000, 4), full).error.find(std::strerror(ENOSPC)),
      std::string::npos);
}

TEST_F(FontFileIo, UnwritableTargetsAreReported) {
  // A folder in the way of the file.
  fs::create_directory(target);
  Put(target / "inside", Bytes(3, 3));
  FileResult r = SaveFileAtomically(target.string(), Bytes(10, 1));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("folder"), std::string::npos) << r.error;
  EXPECT_EQ(Slurp(target / "inside"), Bytes(3, 3));

  // A folder that does not exist.
  r = SaveFileAtomically((dir / "missing" / "font.bin").string(), Bytes(10, 1));
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());

  // A folder without write permission (permissions do not bind the superuser).
  if (::geteuid() != 0) {
    const fs::path locked = dir / "locked";
    fs::create_directory(locked);
    Put(locked / "font.bin", Bytes(10, 5));
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    r = SaveFileAtomically((locked / "font.bin").string(), Bytes(10, 6));
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(Slurp(locked / "font.bin"), Bytes(10, 5));
  }
}

TEST_F(FontFileIo, ReadFailuresLeaveTheBufferAlone) {
  std::vector<uint8_t> buffer = Bytes(4, 4);
  FileResult r = ReadFontFile((dir / "nothing.bin").string(), buffer);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("nothing.bin"), std::string::npos);
  r = ReadFontFile(dir.string(), buffer);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(buffer, Bytes(4, 4));

  Put(target, {});
  ASSERT_TRUE(ReadFontFile(target.string(), buffer).ok);
  EXPECT_TRUE(buffer.empty());
}

TEST(FontFileName, DatedDefaultName) {
  EXPECT_EQ(DefaultFontFileName(2024, 3, 15), "FOnt_KX_8M_20240315.bin");
  EXPECT_EQ(DefaultFontFileNameToday().size(), std::string("FOnt_KX_8M_20240315.bin").size());
}

}  // namespace
}  // namespace quillon
