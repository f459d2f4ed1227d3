// sysfs facts about USB printers and the device that talks through /dev/usb/lpN.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "link/usb_backend_usblp.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

constexpr int kWritePollMs = 100;  // one wait for the node to take more bytes
constexpr char kPrinterClass[] = "07";

std::string ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

// The first "lpN" entry the driver made for the interface (usbmisc on current kernels, usb
// on older ones).
std::string LpEntry(const fs::path& iface) {
  std::error_code ec;
  for (const char* cls : {"usbmisc", "usb"}) {
    for (const auto& e : fs::directory_iterator(iface / cls, ec)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("lp", 0) == 0) return name;
    }
  }
  return {};
}

int OpenNode(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  return fd >= 0 ? fd : -errno;
}

// A printer reached through the kernel printer driver's node: the driver stays bound.
class UsblpDevice final : public UsbDevice {
 public:
  UsblpDevice(int fd, Clock& clock) : fd_(fd), clock_(clock) {}
  ~UsblpDevice() override { ::close(fd_); }
  UsblpDevice(const UsblpDevice&) = delete;
  UsblpDevice& operator=(const UsblpDevice&) = delete;

  void SetWriteHoldOff(uint32_t ms) override { hold_off_ = std::max(ms, kMinWriteHoldOffMs); }

  bool Write(const uint8_t* data, size_t len) override {
    if (gone_) return false;
    size_t sent = 0;
    uint32_t last_progress = clock_.NowMs();
    while (sent < len) {
      const ssize_t n = ::write(fd_, data + sent, len - sent);
      if (n > 0) {
        sent += static_cast<size_t>(n);
        last_progress = clock_.NowMs();
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        if (errno == ENODEV || errno == EIO || errno == EPIPE) gone_ = true;
        return false;
      }
      // The printer holds the bus off (busy erasing, out of paper): wait while it is there.
      if (ElapsedMs(last_progress, clock_.NowMs()) >= hold_off_) return false;
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, kWritePollMs) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
        gone_ = true;
        return false;
      }
    }
    return true;
  }

  int Read(uint8_t* buf, size_t cap, uint32_t timeout_ms) override {
    if (gone_) return -1;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<uint32_t>(timeout_ms, 60000)));
    if (ready <= 0) return 0;
    if (p.revents & POLLIN) {
      const ssize_t n = ::read(fd_, buf, cap);
      if (n > 0) return static_cast<int>(n);
      if (n < 0 && (errno == ENODEV || errno == EIO)) {
        gone_ = true;
        return -1;
      }
    }
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
      gone_ = true;
      return -1;
    }
    // Ready but nothing to take: wait out the slice so the caller's loop cannot spin.
    ::poll(nullptr, 0, static_cast<int>(std::min<uint32_t>(timeout_ms, 60000)));
    return 0;
  }

 private:
  int fd_;
  Clock& clock_;
  uint32_t hold_off_ = kMinWriteHoldOffMs;
  bool gone_ = false;
};

}  // namespace

UsbNodeAccess& SystemNodeAccess() {
  static UsbNodeAccess access{"/sys/bus/usb/devices", "/dev/usb", OpenNode};
  return access;
}

std::string UsbPortPath(uint8_t bus, const uint8_t* ports, int count) {
  if (count <= 0) return {};
  std::string path = std::to_string(bus) + "-";
  for (int i = 0; i < count; ++i) {
    if (i > 0) path += '.';
    path += std::to_string(ports[i]);
  }
  return path;
}

UsbSysfsFacts ReadUsbSysfs(const UsbNodeAccess& access, const std::string& port_path) {
  UsbSysfsFacts facts;
  if (port_path.empty()) return facts;
  const fs::path dev = fs::path(access.sysfs_root) / port_path;
  std::error_code ec;
  if (!fs::is_directory(dev, ec)) return facts;
  facts.found = true;
  facts.serial = ReadLine(dev / "serial");
  std::vector<std::string> ifaces;
  for (const auto& e : fs::directory_iterator(dev, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(port_path + ":", 0) == 0) ifaces.push_back(name);
  }
  std::sort(ifaces.begin(), ifaces.end());
  for (const std::string& name : ifaces) {
    if (ReadLine(dev / name / "bInterfaceClass") != kPrinterClass) continue;
    facts.interface = name;
    const fs::path link = fs::read_symlink(dev / name / "driver", ec);
    if (!ec) facts.driver = link.filename().string();
    const std::string lp = LpEntry(dev / name);
    if (!lp.empty()) facts.node = (fs::path(access.dev_root) / lp).string();
    break;
  }
  return facts;
}

bool UsblpNodeUsable(const UsbSysfsFacts& facts) {
  return facts.driver == "usblp" && !facts.node.empty() &&
         ::access(facts.node.c_str(), R_OK | W_OK) == 0;
}

std::string UsbRouteText(const UsbSysfsFacts& facts) {
  if (UsblpNodeUsable(facts)) return "kernel printer driver " + facts.node;
  if (facts.driver == "usblp") return kRouteLibusbDetached;
  return kRouteLibusb;
}

UsbOpenResult OpenUsblpNode(const UsbNodeAccess& access, const std::string& node, Clock& clock) {
  UsbOpenResult r;
  const int fd = access.open_node ? access.open_node(node) : OpenNode(node);
  if (fd >= 0) {
    r.device = std::make_unique<UsblpDevice>(fd, clock);
    r.route = "kernel printer driver " + node;
    return r;
  }
  r.node = node;
  switch (-fd) {
    case EACCES:
    case EPERM:
      r.error = UsbError::kAccess;
      r.message = "No permission to read and write " + node + ".";
      break;
    case EBUSY:
      r.error = UsbError::kBusy;
      r.holder = UsbHolder::kKernelDriver;
      r.message = "The printer is in use by another program through the kernel printer driver (" +
                  node + "). Close that program, or pause the print queue, and try again.";
      break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      r.error = UsbError::kNotFound;
      r.message = "The printer is no longer connected (" + node + ").";
      break;
    default:
      r.error = UsbError::kIo;
      r.message = node + " could not be opened (errno " + std::to_string(-fd) + ").";
  }
  return r;
}

}  // namespace quillon
