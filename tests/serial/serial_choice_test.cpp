// The serial settings dialog's OK (port name, rate, serial link on or off) and the list
// of serial ports from a fake sysfs tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/serial/enum_com_ports.h"
#include "link/serial/serial_path.h"
#include "pty_pair.h"
#include "support/scripted_usb.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

class SerialChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(pty.master(), 0);
    ConfigureMainWindowPort(comm);
    AttachSerialPort(link, comm);
  }

  QueueNotifier notifier;
  testing::ScriptedUsb usb;
  PrinterLink link{usb, SystemClock(), notifier};
  testing::PtyPair pty;
  TComm comm{notifier};
};

TEST_F(SerialChoiceTest, TickedOkOpensThePortWithTheChosenNameAndRate) {
  EXPECT_EQ(ApplySerialChoice(link, comm, pty.slave_path(), "250000", true), "");
  EXPECT_TRUE(link.UseCommPort());
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_TRUE(SerialLinkReady(link));
  EXPECT_EQ(comm.CommName(), pty.slave_path());
  EXPECT_EQ(comm.BaudRate(), 250000u);

  // Again on another port: the open one is stopped first.
  testing::PtyPair second;
  EXPECT_EQ(ApplySerialChoice(link, comm, second.slave_path(), "9600", true), "");
  EXPECT_EQ(comm.CommName(), second.slave_path());
  EXPECT_TRUE(comm.IsOpen());

  // Unticked: the serial link is off again; the port is left as it is.
  EXPECT_EQ(ApplySerialChoice(link, comm, second.slave_path(), "9600", false), "");
  EXPECT_FALSE(link.UseCommPort());
  EXPECT_TRUE(comm.IsOpen());
  EXPECT_FALSE(SerialLinkReady(link));
}

TEST_F(SerialChoiceTest, PortThatWillNotOpenLeavesTheSerialLinkOff) {
  link.SetUseCommPort(true);
  EXPECT_EQ(ApplySerialChoice(link, comm, "COM12", "115200", true),
            "打开串口出错\r\n此串口不存在或被占用\r\n/dev/COM12 does not exist");
  EXPECT_FALSE(link.UseCommPort());
  EXPECT_FALSE(comm.IsOpen());
  EXPECT_EQ(comm.CommName(), "COM12");  // a typed name is stored as typed
  EXPECT_FALSE(SerialLinkReady(link));
}

TEST_F(SerialChoiceTest, BadRateStopsAfterTheName) {
  link.SetUseCommPort(true);
  EXPECT_EQ(ApplySerialChoice(link, comm, "ttyUSB3", "115k", true),
            "'115k' is not a valid integer value");
  EXPECT_EQ(comm.CommName(), "ttyUSB3");
  EXPECT_EQ(comm.BaudRate(), 115200u);
  EXPECT_TRUE(link.UseCommPort());
  EXPECT_FALSE(comm.IsOpen());

  // 0 would hang the line up and a negative rate would wrap: refused the same way.
  EXPECT_EQ(ApplySerialChoice(link, comm, "ttyUSB3", "0", false), "'0' is not a valid baud rate");
  EXPECT_EQ(ApplySerialChoice(link, comm, "ttyUSB3", "-9600", false),
            "'-9600' is not a valid baud rate");
  EXPECT_EQ(comm.BaudRate(), 115200u);
  EXPECT_TRUE(link.UseCommPort());
}

TEST(TextToIntTest, FollowsTheRuntimeConversion) {
  int32_t v = 0;
  std::string error;
  EXPECT_TRUE(TextToInt("  57600", v, error));
  EXPECT_EQ(v, 57600);
  EXPECT_TRUE(TextToInt("+2147483647", v, error));
  EXPECT_EQ(v, 2147483647);
  EXPECT_TRUE(TextToInt("-2147483648", v, error));
  EXPECT_EQ(v, -2147483647 - 1);
  for (const char* bad :
       {"", " ", "-", "9600 ", "96 00", "2147483648", "99999999999999999999", "1e5", "0x10"}) {
    EXPECT_FALSE(TextToInt(bad, v, error)) << bad;
    EXPECT_EQ(error, std::string("'") + bad + "' is not a valid integer value");
  }
}

// A fake root with the sysfs and /dev entries EnumComPorts looks at.
class FakeRoot {
 public:
  FakeRoot() : path_(fs::temp_directory_path() / ("quillon-tty-" + std::to_string(getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_ / "sys/class/tty");
    fs::create_directories(path_ / "dev");
  }
  ~FakeRoot() { fs::remove_all(path_); }
  // A tty class entry; with_device gives it the "device" link of real hardware.
  void Tty(const std::string& name, bool with_device, const char* uart_type = nullptr) {
    const fs::path entry = path_ / "sys/class/tty" / name;
    fs::create_directories(entry);
    if (with_device) fs::create_directories(entry / "device");
    if (uart_type) std::ofstream(entry / "type") << uart_type << "\n";
  }
  void Dev(const std::string& name) { std::ofstream(path_ / "dev" / name); }
  std::string root() const { return path_.string(); }

 private:
  fs::path path_;
};

TEST(EnumComPortsTest, ListsDeviceBackedPortsSortedIgnoringCase) {
  FakeRoot root;
  root.Tty("ttyUSB10", true);
  root.Tty("ttyUSB2", true);
  root.Tty("ttyACM0", true);
  root.Tty("ttyS0", true, "4");  // a 16550A is there
  root.Tty("ttyS1", true, "0");  // PORT_UNKNOWN: no UART behind the line
  root.Tty("ttyS2", true);       // no type and no device node to ask: not listed
  root.Tty("tty7", false);       // virtual console
  root.Tty("ttyUSB9", false);    // no device behind it
  root.Tty("console", false);
  root.Dev("rfcomm0");
  root.Dev("RFCOMM_not_a_port");
  root.Dev("ttyS2");

  std::vector<std::string> ports{"stale"};
  EnumComPorts(ports, root.root());
  EXPECT_EQ(ports,
            (std::vector<std::string>{"rfcomm0", "ttyACM0", "ttyS0", "ttyUSB10", "ttyUSB2"}));

  EXPECT_TRUE(ComNameLess("COM1", "com10"));
  EXPECT_TRUE(ComNameLess("com10", "COM3"));
  EXPECT_FALSE(ComNameLess("COM3", "com3"));

  // Without a tty class the list is left as it was.
  std::vector<std::string> kept{"COM3"};
  EnumComPorts(kept, root.root() + "/nowhere");
  EXPECT_EQ(kept, std::vector<std::string>{"COM3"});
}

}  // namespace
}  // namespace quillon
