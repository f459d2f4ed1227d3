// Automatic status back (GS a): the four status bytes come when paper or cover change,
// over a TCP connection and over the pseudo-terminal alike.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "virtualprinter/pty_transport.h"
#include "virtualprinter/tcp_transport.h"
#include "vp_rig.h"

namespace quillon::vp::testing {
namespace {

std::vector<uint8_t> ReadBytes(int fd, size_t n) {
  std::vector<uint8_t> got;
  while (got.size() < n) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) break;
    uint8_t buf[64];
    const ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - got.size()));
    if (r <= 0) break;
    got.insert(got.end(), buf, buf + r);
  }
  return got;
}

// Enables the automatic status on fd, then opens the cover and runs out of paper.
void ExpectStatusChanges(VirtualPrinter& printer, int fd) {
  const uint8_t enable[] = {0x1D, 'a', 0x0F};
  ASSERT_EQ(::write(fd, enable, sizeof enable), 3);
  EXPECT_EQ(ReadBytes(fd, 4), (std::vector<uint8_t>{0x10, 0x00, 0x00, 0x00}));  // at once
  printer.WithState([](PrinterState& s) { s.cover_open = true; });
  EXPECT_EQ(ReadBytes(fd, 4), (std::vector<uint8_t>{0x38, 0x00, 0x00, 0x00}));
  printer.WithState([](PrinterState& s) {
    s.cover_open = false;
    s.paper = PaperLevel::kOut;
  });
  EXPECT_EQ(ReadBytes(fd, 4), (std::vector<uint8_t>{0x18, 0x00, 0x0F, 0x00}));
  printer.WithState([](PrinterState& s) { s.settings.language = 3; });  // no status change
  printer.WithState([](PrinterState& s) { s.paper = PaperLevel::kPresent; });
  EXPECT_EQ(ReadBytes(fd, 4), (std::vector<uint8_t>{0x10, 0x00, 0x00, 0x00}));
}

TEST(EscPosStatus, AutomaticStatusComesOverTcpAndThePseudoTerminal) {
  VirtualPrinter printer(BlankFlash());
  std::string error;
  {
    TcpTransport tcp(printer);
    ASSERT_TRUE(tcp.Start("127.0.0.1", 0, error)) << error;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(tcp.port());
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ExpectStatusChanges(printer, fd);
    ::close(fd);
  }
  PtyTransport pty(printer);
  ASSERT_TRUE(pty.Start(error)) << error;
  const int fd = ::open(pty.port_path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  ExpectStatusChanges(printer, fd);
  ::close(fd);
}

}  // namespace
}  // namespace quillon::vp::testing
