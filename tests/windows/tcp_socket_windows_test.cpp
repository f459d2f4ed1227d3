// The network link's Winsock socket on loopback: a refused connect names its cause, and a
// connection carries bytes both ways and reports the peer's end.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <string>

#include "link/clock.h"
#include "link/message_pump.h"
#include "link/tcp_link.h"
#include "link/tcp_socket.h"

namespace quillon {
namespace {

// A loopback socket bound to a free port; listening when backlog >= 0.
struct Loopback {
  explicit Loopback(int backlog) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof sa;
    bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    if (backlog >= 0) listen(s, backlog);
  }
  ~Loopback() {
    closesocket(s);
    WSACleanup();
  }
  SOCKET s = INVALID_SOCKET;
  uint16_t port = 0;
};

TEST(TcpSocketWindows, ARefusedConnectNamesItsCause) {
  Loopback closed(-1);  // bound, never listening
  SleepingPump pump;
  TcpLink net(SystemClock(), pump);
  net.SetAddress({"127.0.0.1", closed.port});
  EXPECT_FALSE(net.Open());
  EXPECT_EQ(net.LastError().rfind(
                "no printer answers at 127.0.0.1:" + std::to_string(closed.port) + " (", 0),
            0u)
      << net.LastError();
}

TEST(TcpSocketWindows, BytesGoBothWaysAndThePeersEndIsSeen) {
  Loopback server(1);
  TcpSocket client;
  TcpSocket::Step step = client.StartConnect("127.0.0.1", server.port);
  for (int i = 0; i < 30 && step == TcpSocket::Step::kPending; ++i)
    step = client.FinishConnect(100);
  ASSERT_EQ(step, TcpSocket::Step::kDone) << client.error();
  const SOCKET peer = accept(server.s, nullptr, nullptr);
  ASSERT_NE(peer, INVALID_SOCKET);

  const uint8_t ping[] = {'p', 'i', 'n', 'g'};
  size_t sent = 0;
  ASSERT_EQ(client.Send(ping, sizeof ping, sent, 100), TcpSocket::Step::kDone) << client.error();
  EXPECT_EQ(sent, sizeof ping);
  char got[8] = {};
  int n = 0;
  for (int have = 0; have < 4 && (n = recv(peer, got + have, 4 - have, 0)) > 0;) have += n;
  EXPECT_EQ(std::string(got, 4), "ping");

  uint8_t reply[8] = {};
  EXPECT_EQ(client.Receive(reply, sizeof reply, 0), 0);  // nothing yet, no wait
  ASSERT_EQ(send(peer, "pong", 4, 0), 4);
  int received = 0;
  for (int i = 0; i < 30 && received < 4; ++i) {
    n = client.Receive(reply + received, sizeof reply - received, 100);
    ASSERT_GE(n, 0) << client.error();
    received += n;
  }
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), received), "pong");

  client.ShutdownSend();
  EXPECT_EQ(recv(peer, got, sizeof got, 0), 0);  // the end of stream
  closesocket(peer);
  n = 0;
  for (int i = 0; i < 30 && n == 0; ++i) n = client.Receive(reply, sizeof reply, 100);
  EXPECT_EQ(n, -1);
  EXPECT_EQ(client.error(), "the printer closed the connection");
}

}  // namespace
}  // namespace quillon
