// The disk misbehaving: the exchange log's folder missing, read-only or full (exchanges go
// on), and a font file saved onto a read-only target or a full disk (the old file stays).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/ulog.h"
#include "faults/child_process.h"
#include "faults/reliability_table.h"
#include "fonteditor/font_file_io.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "support/fake_clock.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::faults {
namespace {

namespace fs = std::filesystem;

// A fresh folder under /tmp that anyone may enter (the unprivileged children read it).
class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/quillon-faults-XXXXXX";
    path_ = mkdtemp(name);
    ::chmod(path_.c_str(), 0755);
  }
  ~TempFolder() {
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(path_, ec)) {
      ::chmod(e.path().c_str(), e.is_directory() ? 0755 : 0644);
    }
    ::chmod(path_.c_str(), 0755);
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + seed + (i >> 9));
  return bytes;
}

// Runs count language queries against the virtual printer with every exchange logged in
// folder; returns "<answered> of <count> queries answered, log <bytes> bytes".
std::string LoggedQueries(const std::string& folder, int count) {
  quillon::testing::FakeClock clock{1000};
  quillon::testing::FakeClockPump pump{clock};
  vp::VirtualPrinter::Options options;
  options.load_factory_font = false;
  vp::VirtualPrinter printer{options, clock};
  printer.UseManualTime([&](uint32_t ms) { clock.Advance(ms); });
  vp::VirtualUsbBackend usb{printer};
  ExchangeLog log{folder};
  log.switches.TXD_ONOFF = 1;
  log.switches.RXD_ONOFF = 1;
  log.switches.ADD_DATETIME = 1;
  PrinterLink link{usb, clock, pump, &log};
  link.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);
  link.FindPrinter();
  EscCmd esc{link};
  int answered = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t language = 0;
    if (esc.cmd_language(0, language)) ++answered;
  }
  std::error_code ec;
  const auto bytes = fs::file_size(log.DailyFileName(), ec);
  return std::to_string(answered) + " of " + std::to_string(count) + " queries answered, log " +
         (ec ? std::string("not written") : std::to_string(bytes) + " bytes");
}

constexpr int kQueries = 200;
const std::string kAllAnswered = std::to_string(kQueries) + " of " + std::to_string(kQueries);

TEST(LogFolderFaults, ExchangesGoOnWhateverTheLogFolder) {
  TempFolder tmp;
  {
    // A file stands where the log's folder should be (the log makes missing folders, so a
    // folder that is merely gone would be made), so the log folder cannot be made.
    std::ofstream(tmp.path() + "/gone") << "a file, not a folder";
    const std::string observed = LoggedQueries(tmp.path() + "/gone/", kQueries);
    EXPECT_EQ(observed.rfind(kAllAnswered, 0), 0u) << observed;
    Record("Disk and files", "exchange log folder missing and impossible to create",
           "every exchange goes on, nothing logged", observed);
  }
  {
    const std::string folder = tmp.path() + "/readonly/";
    fs::create_directories(folder + "log");
    ::chmod((folder + "log").c_str(), 0555);
    const std::string observed =
        RunInChild({.unprivileged = true}, [&] { return LoggedQueries(folder, kQueries); });
    EXPECT_EQ(observed.rfind(kAllAnswered, 0), 0u) << observed;
    Record("Disk and files", "exchange log folder read-only",
           "every exchange goes on, nothing logged", observed);
  }
  {
    // A full disk: no file may grow past 4 KiB, a few dozen log lines.
    const std::string folder = tmp.path() + "/full/";
    fs::create_directories(folder);
    const std::string observed =
        RunInChild({.max_file_size = 4096}, [&] { return LoggedQueries(folder, kQueries); });
    EXPECT_EQ(observed.rfind(kAllAnswered, 0), 0u) << observed;
    EXPECT_NE(observed.find("log 4096 bytes"), std::string::npos) << observed;
    Record("Disk and files", "disk full while logging (files limited to 4 KiB)",
           "every exchange goes on, the log stops at the limit", observed);
  }
}

// Saves new content onto target in a child with the given limits; returns the child's
// report: "saved" or "refused: <message>".
std::string SaveInChild(const ChildLimits& limits, const std::string& target,
                        const std::vector<uint8_t>& content) {
  return RunInChild(limits, [&] {
    const FileResult r = SaveFileAtomically(target, content);
    return r.ok ? std::string("saved") : "refused: " + r.error;
  });
}

// What is left in the folder besides the target (temporary files must not stay).
size_t OtherFiles(const std::string& folder, const std::string& target) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder)) n += e.path() != target;
  return n;
}

TEST(FontSaveFaults, TheOldFileStaysWholeWhenTheSaveCannotComplete) {
  TempFolder tmp;
  const std::vector<uint8_t> old_font = Pattern(64 * 1024, 1);
  const std::vector<uint8_t> new_font = Pattern(8 * 1024 * 1024, 2);
  struct Case {
    const char* scenario;
    const char* folder;
    mode_t folder_mode, file_mode;
    ChildLimits limits;
  };
  const Case cases[] = {
      {"font saved into a read-only folder", "rofolder", 0555, 0644, {.unprivileged = true}},
      {"font saved onto a read-only file", "rofile", 0777, 0444, {.unprivileged = true}},
      {"font saved onto a full disk (files limited to 1 MiB)",
       "full",
       0755,
       0644,
       {.max_file_size = 1024 * 1024}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    const std::string folder = tmp.path() + "/" + c.folder;
    const std::string target = folder + "/FOnt_KX_8M_20261209.bin";
    fs::create_directories(folder);
    WriteAll(target, old_font);
    ::chmod(target.c_str(), c.file_mode);
    ::chmod(folder.c_str(), c.folder_mode);
    const std::string report = SaveInChild(c.limits, target, new_font);
    ::chmod(folder.c_str(), 0755);
    const bool whole = ReadAll(target) == old_font;
    const size_t left = OtherFiles(folder, target);
    EXPECT_EQ(report.rfind("refused: Cannot save font file", 0), 0u) << report;
    EXPECT_NE(report.find("The file on disk was not changed."), std::string::npos) << report;
    EXPECT_TRUE(whole);
    EXPECT_EQ(left, 0u);
    Record("Disk and files", c.scenario,
           "refused with a message naming the file, the old file whole, no temporary left",
           (report == "saved" ? report
                              : "refused (\"" + report.substr(report.rfind(": ") + 2) + "\")") +
               ", old file " + (whole ? "whole" : "DAMAGED") + ", " + std::to_string(left) +
               " temporary files left");
  }
}

}  // namespace
}  // namespace quillon::faults
