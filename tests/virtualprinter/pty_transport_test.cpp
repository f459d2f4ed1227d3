// The pseudo-terminal transport end to end, with plain termios on the port side.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <fstream>

#include "virtualprinter/pty_transport.h"
#include "vp_rig.h"

namespace quillon::vp::testing {
namespace {

// Reads until n bytes came or the port stays silent for a generous while.
std::vector<uint8_t> ReadPort(int fd, size_t n) {
  std::vector<uint8_t> got;
  while (got.size() < n) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) break;
    uint8_t buf[256];
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r <= 0) break;
    got.insert(got.end(), buf, buf + r);
  }
  return got;
}

TEST(PtyTransport, AnswersPacketsAndPrintsRawOutputThroughTheTerminal) {
  VirtualPrinter printer(BlankFlash());
  printer.state().settings.language = 2;
  PtyTransport pty(printer);
  const std::string link = ::testing::TempDir() + "vp_port_link";
  std::string error;
  ASSERT_TRUE(pty.Start(error, link)) << error;
  char target[PATH_MAX] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(pty.port_path(), target);

  const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios tio{};
  ASSERT_EQ(::tcgetattr(fd, &tio), 0);
  ::cfmakeraw(&tio);
  tio.c_iflag |= IXOFF;  // as the serial path sets it: reply bytes 11 and 13 pass
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);

  const std::vector<uint8_t> query = {0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1};
  ASSERT_EQ(::write(fd, query.data(), query.size()), 7);
  EXPECT_EQ(ReadPort(fd, 8),
            (std::vector<uint8_t>{0x10, 0xA1, 0x00, 0x00, 0x01, 0x00, 0x02, 0xB4}));

  // A set whose reply carries 0x11 and 0x13 bytes arrives untouched.
  const auto set =
      MakeFrame(kKindOrdinary, 0xB1, 1, std::vector<uint8_t>{0x11, 0, 0, 0, 0x13, 0, 0, 0});
  ASSERT_EQ(::write(fd, set.data(), set.size()), static_cast<ssize_t>(set.size()));
  const auto reply = ReadPort(fd, 15);
  ASSERT_EQ(reply.size(), 15u);
  EXPECT_EQ(reply[6], 0x11);
  EXPECT_EQ(reply[10], 0x13);

  // Text, then a query: its reply shows the text before it was taken in.
  ASSERT_EQ(::write(fd, "A\n", 2), 2);
  ASSERT_EQ(::write(fd, query.data(), query.size()), 7);
  EXPECT_EQ(ReadPort(fd, 8).size(), 8u);
  ::close(fd);
  pty.Stop();
  EXPECT_GT(printer.paper().height(), 0);
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0);  // the link went with the port
}

TEST(PtyTransport, LeavesAnExistingFileAtTheLinkPathAlone) {
  VirtualPrinter printer(BlankFlash());
  PtyTransport pty(printer);
  const std::string path = ::testing::TempDir() + "vp_not_a_link";
  std::ofstream(path) << "keep";
  std::string error;
  EXPECT_FALSE(pty.Start(error, path));
  EXPECT_NE(error.find("left alone"), std::string::npos);
  std::string content;
  std::ifstream(path) >> content;
  EXPECT_EQ(content, "keep");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace quillon::vp::testing
