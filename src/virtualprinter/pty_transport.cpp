#include "virtualprinter/pty_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace quillon::vp {
namespace {

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

bool SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

bool PtyTransport::Start(std::string& error, const std::string& link_path) {
  Stop();
  char name[PATH_MAX] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  termios tio{};
  ::tcgetattr(slave_, &tio);
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B115200);
  ::cfsetospeed(&tio, B115200);
  ::tcsetattr(slave_, TCSANOW, &tio);
  if (::pipe(wake_) != 0 || !SetNonBlocking(master_) || !SetNonBlocking(wake_[0]) ||
      !SetNonBlocking(wake_[1])) {
    error = std::string("cannot set up the pseudo-terminal: ") + std::strerror(errno);
    Stop();
    return false;
  }
  port_path_ = name;
  if (!link_path.empty()) {
    struct stat st {};
    if (::lstat(link_path.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        error = link_path + " exists and is not a symbolic link; it was left alone";
        Stop();
        return false;
      }
      ::unlink(link_path.c_str());
    }
    if (::symlink(port_path_.c_str(), link_path.c_str()) != 0) {
      error = "cannot create " + link_path + ": " + std::strerror(errno);
      Stop();
      return false;
    }
    link_path_ = link_path;
  }
  stop_ = false;
  printer_.SetReplyNotifier([this] { Wake(); });
  thread_ = std::thread([this] { Run(); });
  return true;
}

void PtyTransport::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    Wake();
    thread_.join();
  }
  if (master_ >= 0 || wake_[0] >= 0) printer_.SetReplyNotifier(nullptr);
  if (!link_path_.empty()) {
    char target[PATH_MAX] = {};
    const ssize_t n = ::readlink(link_path_.c_str(), target, sizeof target - 1);
    if (n > 0 && port_path_ == std::string(target, static_cast<size_t>(n))) {
      ::unlink(link_path_.c_str());
    }
    link_path_.clear();
  }
  CloseFd(master_);
  CloseFd(slave_);
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
}

void PtyTransport::Wake() {
  if (wake_[1] >= 0) {
    const char c = 1;
    (void)!::write(wake_[1], &c, 1);  // a full pipe already means "wake up"
  }
}

void PtyTransport::Run() {
  std::vector<uint8_t> out;  // reply bytes ready but not yet taken by the terminal
  uint8_t buf[4096];
  while (!stop_) {
    const size_t n = printer_.TakeReply(buf, sizeof buf);
    out.insert(out.end(), buf, buf + n);
    if (n == sizeof buf) continue;  // more may be ready

    const int64_t next = printer_.MsUntilReply();
    pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (out.empty() ? 0 : POLLOUT)), 0},
                     {wake_[0], POLLIN, 0}};
    const int timeout = next < 0 ? -1 : static_cast<int>(std::min<int64_t>(next, INT_MAX));
    if (::poll(fds, 2, timeout) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents & POLLIN) {
      while (::read(wake_[0], buf, sizeof buf) > 0) {
      }
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t got = ::read(master_, buf, sizeof buf);
      if (got > 0) {
        if (tap_) tap_(buf, static_cast<size_t>(got));
        printer_.Receive(buf, static_cast<size_t>(got));
      }
    }
    if (!out.empty() && (fds[0].revents & POLLOUT)) {
      const ssize_t put = ::write(master_, out.data(), out.size());
      if (put > 0) out.erase(out.begin(), out.begin() + put);
    }
    if (printer_.HangUpDue()) {
      // Both sides of this end go, so the host's side of the line sees the hang-up.
      CloseFd(master_);
      CloseFd(slave_);
      break;
    }
  }
}

}  // namespace quillon::vp
