#include "virtualprinter/tcp_transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace quillon::vp {
namespace {

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

bool TcpTransport::Start(const std::string& address, uint16_t port, std::string& error) {
  Stop();
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
    error = "'" + address + "' is not an IPv4 address";
    return false;
  }
  listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int one = 1;
  if (listen_ < 0 || ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      ::bind(listen_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(listen_, 4) != 0 || ::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
    error =
        "cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    Stop();
    return false;
  }
  socklen_t len = sizeof sa;
  ::getsockname(listen_, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
  stop_ = false;
  printer_.SetReplyNotifier([this] { Wake(); });
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TcpTransport::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    Wake();
    thread_.join();
  }
  if (listen_ >= 0) printer_.SetReplyNotifier(nullptr);
  CloseFd(listen_);
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
}

void TcpTransport::Wake() {
  if (wake_[1] >= 0) {
    const char c = 1;
    (void)!::write(wake_[1], &c, 1);  // a full pipe already means "wake up"
  }
}

void TcpTransport::Run() {
  while (!stop_) {
    pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) {
      char buf[64];
      while (::read(wake_[0], buf, sizeof buf) > 0) {
      }
    }
    if (!(fds[0].revents & POLLIN)) continue;
    int client = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0) continue;
    ++clients_;
    if (printer_.Plugged()) {
      const int one = 1;
      ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      Serve(client);
    }
    ::close(client);  // a vanished printer drops whoever reaches it
  }
}

void TcpTransport::Serve(int client) {
  // A new connection starts a fresh stream, as a printer's network interface does.
  printer_.ResetInput();
  std::vector<uint8_t> out;  // reply bytes not yet taken by the socket
  uint8_t buf[4096];
  while (!stop_) {
    if (!printer_.Plugged()) return;  // gone mid-session: the connection breaks
    const size_t n = printer_.TakeReply(buf, sizeof buf);
    out.insert(out.end(), buf, buf + n);
    if (n == sizeof buf) continue;
    const int64_t next = printer_.MsUntilReply();
    const short events = static_cast<short>(POLLIN | (out.empty() ? 0 : POLLOUT));
    pollfd fds[2] = {{client, events, 0}, {wake_[0], POLLIN, 0}};
    const int timeout = next < 0 ? -1 : static_cast<int>(std::min<int64_t>(next, INT_MAX));
    if (::poll(fds, 2, timeout) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents & POLLIN) {
      while (::read(wake_[0], buf, sizeof buf) > 0) {
      }
    }
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      if (!(fds[0].revents & POLLIN)) return;  // reset by the client
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t got = ::recv(client, buf, sizeof buf, 0);
      if (got > 0) {
        printer_.Receive(buf, static_cast<size_t>(got));
      } else if (got == 0) {
        // The host is done: a band or command it cut short is dropped, and the printer
        // closes its side, which tells the host everything was taken.
        printer_.ResetInput();
        return;
      } else if (errno != EAGAIN && errno != EINTR) {
        return;
      }
    }
    if (!out.empty() && (fds[0].revents & POLLOUT)) {
      const ssize_t put = ::send(client, out.data(), out.size(), MSG_NOSIGNAL);
      if (put > 0) {
        out.erase(out.begin(), out.begin() + put);
      } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
        return;
      }
    }
  }
}

}  // namespace quillon::vp
