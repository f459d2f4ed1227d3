// The network link on loopback: address forms, refused and unanswered connects, and a
// connection that breaks while a reply is awaited.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "link/printer_link.h"
#include "link/tcp_link.h"
#include "protocol/esc_cmd.h"
#include "virtualprinter/tcp_transport.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {
namespace {

TEST(NetAddress, ParsesHostAndPort) {
  struct Case {
    const char* text;
    const char* host;  // nullptr: refused
    uint16_t port;
  };
  const Case cases[] = {
      {"192.168.1.50", "192.168.1.50", 9100},
      {"printer.local:9101", "printer.local", 9101},
      {"[::1]:515", "::1", 515},
      {"::1", "::1", 9100},
      {"127.0.0.1:65535", "127.0.0.1", 65535},
      {"127.0.0.1:0", nullptr, 0},
      {"127.0.0.1:65536", nullptr, 0},
      {"127.0.0.1:", nullptr, 0},
      {"127.0.0.1:91x", nullptr, 0},
      {":9100", nullptr, 0},
      {"", nullptr, 0},
      {"[::1", nullptr, 0},
  };
  for (const Case& c : cases) {
    std::string error;
    auto a = ParseNetAddress(c.text, error);
    if (!c.host) {
      EXPECT_FALSE(a) << c.text;
      EXPECT_FALSE(error.empty()) << c.text;
      continue;
    }
    ASSERT_TRUE(a) << c.text << ": " << error;
    EXPECT_EQ(a->host, c.host);
    EXPECT_EQ(a->port, c.port);
  }
  EXPECT_EQ((NetAddress{"::1", 9100}).Text(), "[::1]:9100");
}

// A loopback socket bound to a free port; listening when backlog >= 0.
struct LoopbackSocket {
  explicit LoopbackSocket(int backlog) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    if (backlog >= 0) ::listen(fd, backlog);
  }
  ~LoopbackSocket() { ::close(fd); }
  int fd = -1;
  uint16_t port = 0;
};

TEST(TcpLinkConnect, RefusedAndUnansweredConnectsNameTheAddress) {
  SleepingPump pump;
  {
    LoopbackSocket closed(-1);  // bound, never listening: the connect is refused
    TcpLink net(SystemClock(), pump);
    net.SetAddress({"127.0.0.1", closed.port});
    EXPECT_FALSE(net.Open());
    EXPECT_EQ(net.LastError().rfind(
                  "no printer answers at 127.0.0.1:" + std::to_string(closed.port) + " (", 0),
              0u)
        << net.LastError();
  }
  // A listener that never accepts: once its queue is full, further connects go unanswered.
  LoopbackSocket full(0);
  std::vector<int> queued;
  for (int i = 0; i < 8; ++i) {
    int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(full.port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(c, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    queued.push_back(c);
    pollfd p{c, POLLOUT, 0};
    if (::poll(&p, 1, 200) == 0) break;  // this one hangs: the queue is full
  }
  TcpLink net(SystemClock(), pump);
  net.connect_timeout_ms = 300;
  net.SetAddress({"127.0.0.1", full.port});
  EXPECT_FALSE(net.Open());
  EXPECT_EQ(net.LastError(), "no printer answers at 127.0.0.1:" + std::to_string(full.port));
  for (int c : queued) ::close(c);
}

TEST(TcpLinkExchange, ABrokenConnectionEndsTheWaitAtOnce) {
  vp::VirtualPrinter printer;
  vp::Faults faults;
  faults.unplug_after_packets = 1;  // the second command finds the printer gone
  printer.SetFaults(faults);
  vp::TcpTransport server(printer);
  std::string error;
  ASSERT_TRUE(server.Start("127.0.0.1", 0, error)) << error;
  SleepingPump pump;
  TcpLink net(SystemClock(), pump);
  net.SetAddress({"127.0.0.1", server.port()});
  vp::VirtualUsbBackend usb(printer);
  PrinterLink link(usb, SystemClock(), pump);
  link.SetNetLink(&net);
  link.SetUseNetwork(true);
  EscCmd esc(link);

  ASSERT_TRUE(link.OpenUsb()) << link.LastOpenError();
  EXPECT_TRUE(esc.cmd_flash_erase(0x1000, 1));  // the flash builders leave the link open
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(esc.cmd_flash_erase(0, 0));  // waits up to 120 s for a reply
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(net.connected());
  // Raw output into a broken connection is not reported as taken.
  const uint8_t text[] = {'A', '\n'};
  link.SendAndRecv(text, 2, {}, 0, 0);
  EXPECT_FALSE(link.last_write_ok());
  link.CloseUSB();
}

TEST(TcpLinkExchange, TheVirtualPrinterServesOneClientAtATime) {
  vp::VirtualPrinter printer;
  vp::TcpTransport server(printer);
  std::string error;
  ASSERT_TRUE(server.Start("127.0.0.1", 0, error)) << error;
  SleepingPump pump;
  vp::VirtualUsbBackend usb(printer);
  TcpLink net_a(SystemClock(), pump), net_b(SystemClock(), pump);
  PrinterLink a(usb, SystemClock(), pump), b(usb, SystemClock(), pump);
  for (auto [link, net] : {std::pair{&a, &net_a}, std::pair{&b, &net_b}}) {
    net->SetAddress({"127.0.0.1", server.port()});
    link->SetNetLink(net);
    link->SetUseNetwork(true);
    ASSERT_TRUE(link->OpenUsb());  // the second waits in the listen queue
  }
  const uint8_t query[7] = {0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1};
  uint8_t reply[16];
  EXPECT_EQ(a.SendAndRecv(query, 7, reply, 8, 1000), 8);
  EXPECT_EQ(b.SendAndRecv(query, 7, reply, 8, 300), 0);  // not served while a is connected
  a.CloseUSB();
  EXPECT_EQ(b.SendAndRecv(query, 7, reply, 8, 1000), 8);
  b.CloseUSB();
  EXPECT_EQ(server.clients(), 2u);
}

}  // namespace
}  // namespace quillon
