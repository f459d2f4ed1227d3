// Serial port discovery from sysfs and /dev.
#include "link/serial/enum_com_ports.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

#include "link/serial/unique_fd.h"

namespace fs = std::filesystem;

namespace quillon {
namespace {

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

// An 8250-style port entry exists for every possible ttyS line; only those with a UART
// behind them are ports. sysfs says so in "type"; older kernels need the ioctl.
bool UartPresent(const fs::path& class_entry, const fs::path& device) {
  std::ifstream type_file(class_entry / "type");
  int type = PORT_UNKNOWN;
  if (type_file >> type) return type != PORT_UNKNOWN;
  UniqueFd fd(open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) return false;
  serial_struct info{};
  if (ioctl(fd.get(), TIOCGSERIAL, &info) != 0) return false;
  return info.type != PORT_UNKNOWN;
}

}  // namespace

bool ComNameLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

void EnumComPorts(std::vector<std::string>& ports, const std::string& root) {
  const fs::path base(root);
  const fs::path tty_class = base / "sys/class/tty";
  std::error_code ec;
  fs::directory_iterator it(tty_class, ec);
  if (ec) return;

  std::set<std::string> found;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return;
    const std::string name = it->path().filename().string();
    const bool usb = StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM");
    const bool uart = StartsWith(name, "ttyS");
    if (!usb && !uart) continue;
    if (!fs::exists(it->path() / "device", ec)) continue;  // virtual terminals have none
    if (uart && !UartPresent(it->path(), base / "dev" / name)) continue;
    found.insert(name);
  }
  for (fs::directory_iterator dev(base / "dev", ec); !ec && dev != fs::directory_iterator();
       dev.increment(ec)) {
    const std::string name = dev->path().filename().string();
    if (StartsWith(name, "rfcomm")) found.insert(name);
  }

  std::vector<std::string> sorted(found.begin(), found.end());
  std::stable_sort(sorted.begin(), sorted.end(), ComNameLess);
  ports = std::move(sorted);
}

}  // namespace quillon
