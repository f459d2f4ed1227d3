// quillon-cli on a serial line in real use: output is delivered before the program ends,
// a hung-up line ends a flow at once, and SIGINT/SIGTERM stop a command in a reply wait.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>

#include "cli_runner.h"

namespace quillon::testing {
namespace {

using Steady = std::chrono::steady_clock;

std::vector<std::string> Serial(const CliHome& home, const PtyPrinter& p,
                                std::vector<std::string> words) {
  std::vector<std::string> args = {"--home", home.path(), "--port", p.port()};
  args.insert(args.end(), words.begin(), words.end());
  return args;
}

// A 24-bit bitmap of width x height, black and white stripes.
void WriteBmp(const std::string& path, int width, int height) {
  const int row = (width * 3 + 3) / 4 * 4;
  const uint32_t data = static_cast<uint32_t>(row * height);
  std::string f(54 + data, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(2, 54 + data);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  f[26] = 1;
  f[28] = 24;
  put32(34, data);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width * 3; ++x) f[54 + y * row + x] = (y / 8) % 2 ? '\xff' : '\0';
  }
  std::ofstream(path, std::ios::binary) << f;
}

size_t Count(const std::string& hay, const std::string& needle) {
  size_t n = 0;
  for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
  return n;
}

TEST(CliSerialDelivery, EverySendAndEveryBandArrivesBeforeSuccess) {
  CliHome home;
  PtyPrinter printer(home);
  ASSERT_TRUE(printer.ready());
  std::string expected;
  for (int i = 0; i < 12; ++i) {
    const std::string line = "delivery check line " + std::to_string(i) + " 0123456789";
    CliRun run = RunCli(Serial(home, printer, {"send", "text", line}));
    ASSERT_EQ(run.exit_code, 0) << run.err;
    expected += line;
  }
  EXPECT_TRUE(WaitFor([&] { return ReadAll(printer.capture()).size() >= expected.size(); }));
  EXPECT_EQ(ReadAll(printer.capture()), expected);

  // 576 x 600 dots: 25 bands of 24 rows, 72 bytes a row, each behind its 8-byte header.
  WriteBmp(home.File("wide.bmp"), 576, 600);
  const size_t before = ReadAll(printer.capture()).size();
  CliRun print = RunCli(Serial(home, printer, {"print", "image", home.File("wide.bmp")}));
  ASSERT_EQ(print.exit_code, 0) << print.err;
  const size_t band = 8 + 24 * 72;
  EXPECT_TRUE(WaitFor([&] { return ReadAll(printer.capture()).size() >= before + 25 * band; }));
  const std::string bands = ReadAll(printer.capture()).substr(before);
  EXPECT_EQ(bands.size(), 25 * band);
  EXPECT_EQ(Count(bands, std::string("\x1d\x76\x30\x00\x48\x00\x18\x00", 8)), 25u);
}

TEST(CliSerialLine, HangUpDuringAFontDownloadEndsItAtOnce) {
  CliHome home;
  PtyPrinter printer(home, {"--hangup-after", "3"});
  ASSERT_TRUE(printer.ready());
  std::ofstream(home.File("font.bin"), std::ios::binary) << std::string(40000, 'F');
  const auto start = Steady::now();
  CliRun run = RunCli(Serial(home, printer, {"font", "download", home.File("font.bin")}));
  const auto took = Steady::now() - start;
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_LT(took, std::chrono::seconds(2));
  EXPECT_NE(run.err.find("serial line was lost"), std::string::npos) << run.err;
}

// A font download whose erase is never answered, stopped by sig once the erase is out.
void StopInEraseWait(int sig) {
  CliHome home;
  PtyPrinter printer(home, {"--drop-code", "E0"});
  ASSERT_TRUE(printer.ready());
  std::ofstream(home.File("font.bin"), std::ios::binary) << std::string(20000, 'F');
  CliChild cli(home, Serial(home, printer, {"font", "download", home.File("font.bin")}));
  ASSERT_TRUE(
      WaitFor([&] { return ReadAll(printer.capture()).find("\x10\xe0") != std::string::npos; }));
  const auto start = Steady::now();
  kill(cli.pid(), sig);
  EXPECT_EQ(cli.Wait(), 1);
  EXPECT_LT(Steady::now() - start, std::chrono::seconds(1));
  const std::string err = cli.err();
  EXPECT_NE(err.find("stopped at flash address 0"), std::string::npos) << err;
  EXPECT_NE(err.find(sig == SIGINT ? "SIGINT" : "SIGTERM"), std::string::npos) << err;
  // The port and its lock were released: the next command on it succeeds.
  CliRun next = RunCli(Serial(home, printer, {"get", "language"}));
  EXPECT_EQ(next.exit_code, 0) << next.err;
}

TEST(CliSerialStop, SigintAndSigtermEndAnEraseWait) {
  StopInEraseWait(SIGINT);
  StopInEraseWait(SIGTERM);
}

}  // namespace
}  // namespace quillon::testing
