// The libusb backend over a fake of the library: device paths, interface choice, open
// errors the user can act on, and the bulk write and read rules.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "fake_libusb.h"

namespace quillon::testing {
namespace {

constexpr const char* kPrinterPath = "usb:bus-001:port-1.4:vid_c0de&pid_7001";

bool Called(const FakeLibusb& fake, const std::string& call) {
  return std::find(fake.calls.begin(), fake.calls.end(), call) != fake.calls.end();
}

// No sysfs at all: every printer is reached through libusb.
UsbNodeAccess NoSysfs() {
  return UsbNodeAccess{"/nonexistent/sys", "/nonexistent/dev", nullptr};
}

class LibusbBackendTest : public ::testing::Test {
 protected:
  // A printer whose class-7 interface has bulk OUT 0x01 and bulk IN 0x81.
  FakeUsbDevice& AddPrinter(uint16_t in_packet = 64) {
    FakeUsbDevice& d = fake.Add(0xC0DE, 0x7001, 1, {1, 4});
    d.alts.push_back({0, 0, 7, {BulkOut(0x01), BulkIn(0x01, in_packet)}});
    return d;
  }
  std::unique_ptr<UsbDevice> OpenPrinter() {
    UsbOpenResult r = backend->Open(kPrinterPath);
    EXPECT_TRUE(r.device) << r.message;
    return std::move(r.device);
  }

  FakeLibusb fake;
  std::unique_ptr<LibusbBackend> backend =
      std::make_unique<LibusbBackend>(fake, NoSysfs(), fake.clock);
};

TEST_F(LibusbBackendTest, PathsCarryIdsBusAndPortsInEnumerationOrder) {
  AddPrinter();
  fake.Add(0xC0DE, 0x7001, 2, {3});  // an identical second printer
  fake.Add(0x0483, 0x5740, 1, {2, 1, 7});
  fake.Add(0x1D6B, 0x0002, 1, {});  // a root hub has no port chain
  std::vector<std::string> paths;
  backend->ListDevicePaths(paths);
  EXPECT_EQ(paths, (std::vector<std::string>{kPrinterPath, "usb:bus-002:port-3:vid_c0de&pid_7001",
                                             "usb:bus-001:port-2.1.7:vid_0483&pid_5740",
                                             "usb:bus-001:addr-004:vid_1d6b&pid_0002"}));
  EXPECT_EQ(fake.lists_live, 0);
}

TEST_F(LibusbBackendTest, ClaimsThePrinterInterfaceAndGivesItBackOnClose) {
  FakeUsbDevice& d = fake.Add(0xC0DE, 0x7001, 1, {1, 4});
  d.alts.push_back({0, 0, 0xFF, {BulkOut(0x02), BulkIn(0x02)}});  // vendor interface first
  d.alts.push_back({1, 0, 7, {BulkOut(0x01), BulkIn(0x01)}});
  auto dev = OpenPrinter();
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"open", "auto_detach 1", "claim 1"}));
  EXPECT_EQ(fake.configs_live, 0);
  EXPECT_EQ(fake.lists_live, 0);
  dev.reset();
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"open", "auto_detach 1", "claim 1", "release 1", "close"}));
  EXPECT_EQ(fake.handles_live, 0);
}

TEST_F(LibusbBackendTest, InterfaceChoiceFallsBackSensibly) {
  // A printer interface whose bidirectional form is alternate setting 1.
  FakeUsbDevice& a = fake.Add(0xC0DE, 0x7001, 1, {1, 4});
  a.alts.push_back({0, 0, 7, {BulkOut(0x01)}});
  a.alts.push_back({0, 1, 7, {BulkOut(0x01), BulkIn(0x02)}});
  auto dev = OpenPrinter();
  EXPECT_TRUE(Called(fake, "alt 0 1"));
  dev.reset();

  // No printer class: the first interface with bulk IN and OUT, interrupt ones skipped.
  a.alts = {{0, 0, 3, {InterruptIn(0x01)}},
            {1, 0, 0xFF, {BulkOut(0x03)}},
            {2, 0, 0xFF, {BulkIn(0x04), BulkOut(0x05)}}};
  fake.calls.clear();
  dev = OpenPrinter();
  EXPECT_TRUE(Called(fake, "claim 2"));
  dev.reset();

  // Nothing usable: refused before the device is even opened.
  a.alts = {{0, 0, 3, {InterruptIn(0x01)}}};
  fake.calls.clear();
  UsbOpenResult r = backend->Open(kPrinterPath);
  EXPECT_FALSE(r.device);
  EXPECT_EQ(r.error, UsbError::kNoInterface);
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(LibusbBackendTest, WriteOnlyPrinterInterfaceReadsNothing) {
  FakeUsbDevice& d = fake.Add(0xC0DE, 0x7001, 1, {1, 4});
  d.alts.push_back({0, 0, 7, {BulkOut(0x01)}});
  auto dev = OpenPrinter();
  uint8_t buf[16];
  EXPECT_EQ(dev->Read(buf, sizeof buf, 1), 0);
  EXPECT_TRUE(fake.in_lengths.empty());
  EXPECT_TRUE(dev->Write(buf, 4));
}

TEST_F(LibusbBackendTest, OpenErrorsAreClassifiedAndExplained) {
  FakeUsbDevice& d = AddPrinter();
  d.open_rc = LIBUSB_ERROR_ACCESS;
  UsbOpenResult r = backend->Open(kPrinterPath);
  EXPECT_EQ(r.error, UsbError::kAccess);
  EXPECT_NE(r.message.find("60-quillon-printer.rules"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("udevadm"), std::string::npos) << r.message;

  // Another program holds the interface: reported, the handle is closed, nothing stolen.
  d.open_rc = LIBUSB_SUCCESS;
  d.claim_rc = LIBUSB_ERROR_BUSY;
  fake.calls.clear();
  r = backend->Open(kPrinterPath);
  EXPECT_EQ(r.error, UsbError::kBusy);
  EXPECT_NE(r.message.find("another program"), std::string::npos) << r.message;
  EXPECT_EQ(fake.calls.back(), "close");
  EXPECT_EQ(fake.handles_live, 0);

  d.claim_rc = LIBUSB_SUCCESS;
  d.open_rc = LIBUSB_ERROR_NO_DEVICE;
  EXPECT_EQ(backend->Open(kPrinterPath).error, UsbError::kNotFound);
  d.open_rc = LIBUSB_ERROR_IO;
  r = backend->Open(kPrinterPath);
  EXPECT_EQ(r.error, UsbError::kIo);
  EXPECT_NE(r.message.find("LIBUSB_ERROR_IO"), std::string::npos);
  EXPECT_EQ(backend->Open("usb:bus-009:port-9:vid_c0de&pid_7001").error, UsbError::kNotFound);

  FakeLibusb broken;
  broken.init_rc = LIBUSB_ERROR_OTHER;
  broken.Add(0xC0DE, 0x7001, 1, {1});
  LibusbBackend none(broken, NoSysfs());
  std::vector<std::string> paths;
  none.ListDevicePaths(paths);
  EXPECT_TRUE(paths.empty());
  EXPECT_EQ(none.Open(kPrinterPath).error, UsbError::kIo);
}

TEST_F(LibusbBackendTest, WritesContinueAfterPartialTimeoutsAndClearAStallOnce) {
  AddPrinter();
  auto dev = OpenPrinter();
  Bytes data(10);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);

  fake.out_script = {{LIBUSB_ERROR_TIMEOUT, 3, {}}, {LIBUSB_SUCCESS, -1, {}}};
  EXPECT_TRUE(dev->Write(data.data(), data.size()));
  EXPECT_EQ(fake.written, data);  // nothing sent twice
  EXPECT_EQ(fake.out_lengths, (std::vector<int>{10, 7}));

  fake.written.clear();
  fake.out_script = {{LIBUSB_ERROR_PIPE, 0, {}}, {LIBUSB_SUCCESS, -1, {}}};
  EXPECT_TRUE(dev->Write(data.data(), data.size()));
  EXPECT_TRUE(Called(fake, "clear_halt 1"));
  EXPECT_EQ(fake.written, data);
  fake.out_script = {{LIBUSB_ERROR_PIPE, 0, {}}, {LIBUSB_ERROR_PIPE, 0, {}}};
  EXPECT_FALSE(dev->Write(data.data(), data.size()));

  // A printer that holds the bus off (erasing, out of paper) is waited for: 8 s without a
  // byte taken, then it resumes. Nothing is sent twice.
  fake.written.clear();
  fake.out_script.assign(4, {LIBUSB_ERROR_TIMEOUT, 0, {}});
  fake.out_script.push_back({LIBUSB_SUCCESS, -1, {}});
  EXPECT_TRUE(dev->Write(data.data(), data.size()));
  EXPECT_EQ(fake.written, data);
  // It gives up once 30 s pass without progress, or the command's longer reply wait.
  fake.out_script.assign(40, {LIBUSB_ERROR_TIMEOUT, 0, {}});
  fake.out_lengths.clear();
  EXPECT_FALSE(dev->Write(data.data(), data.size()));
  EXPECT_EQ(fake.out_lengths.size(), 15u);
  dev->SetWriteHoldOff(60000);
  fake.out_script.assign(20, {LIBUSB_ERROR_TIMEOUT, 0, {}});
  fake.out_script.push_back({LIBUSB_SUCCESS, -1, {}});
  EXPECT_TRUE(dev->Write(data.data(), data.size()));
  // A transfer that returns at once without taking anything cannot keep the loop spinning.
  fake.out_script.assign(3, {LIBUSB_SUCCESS, 0, {}});
  EXPECT_FALSE(dev->Write(data.data(), data.size()));

  // Long blocks go out in pieces; an empty block sends nothing.
  fake.written.clear();
  fake.out_lengths.clear();
  Bytes image(40000, 0x77);
  EXPECT_TRUE(dev->Write(image.data(), image.size()));
  EXPECT_EQ(fake.written, image);
  EXPECT_EQ(fake.out_lengths, (std::vector<int>{16384, 16384, 7232}));
  EXPECT_TRUE(dev->Write(image.data(), 0));
  EXPECT_EQ(fake.out_lengths.size(), 3u);
}

TEST_F(LibusbBackendTest, ReadsUsePacketMultiplesAndTheCallersWait) {
  for (uint16_t packet : {64, 512, 1024, 24}) {
    SCOPED_TRACE(packet);
    FakeLibusb f;
    FakeUsbDevice& d = f.Add(0xC0DE, 0x7001, 1, {1, 4});
    d.alts.push_back({0, 0, 7, {BulkOut(0x01), BulkIn(0x01, packet)}});
    LibusbBackend b(f, NoSysfs());
    auto dev = b.Open(kPrinterPath).device;
    ASSERT_TRUE(dev);
    uint8_t buf[4096];
    EXPECT_EQ(dev->Read(buf, sizeof buf, 10), 0);  // nothing pending
    ASSERT_EQ(f.in_lengths.size(), 1u);
    EXPECT_EQ(f.in_lengths[0] % packet, 0);
    EXPECT_LE(f.in_lengths[0], 4096);
    EXPECT_GE(f.in_lengths[0], 4096 - packet + 1);
  }

  AddPrinter();
  auto dev = OpenPrinter();
  uint8_t buf[4096];
  fake.in_script = {{LIBUSB_SUCCESS, 0, {1, 2, 3, 4, 5, 6, 7, 8}}};
  EXPECT_EQ(dev->Read(buf, sizeof buf, 7), 8);
  EXPECT_EQ(buf[7], 8);
  EXPECT_EQ(dev->Read(buf, sizeof buf, 0), 0);  // 0 would mean "forever" to libusb
  EXPECT_EQ(fake.in_timeouts, (std::vector<unsigned>{7, 1}));

  // More than the caller can take is kept for the next read.
  fake.in_script = {{LIBUSB_SUCCESS, 0, Bytes(100, 0x33)}};
  EXPECT_EQ(dev->Read(buf, 60, 5), 60);
  const size_t transfers = fake.in_lengths.size();
  EXPECT_EQ(dev->Read(buf, 60, 5), 40);
  EXPECT_EQ(fake.in_lengths.size(), transfers);

  // A stalled endpoint is cleared and read again.
  fake.in_script = {{LIBUSB_ERROR_PIPE, 0, {}}, {LIBUSB_SUCCESS, 0, {9}}};
  EXPECT_EQ(dev->Read(buf, sizeof buf, 5), 1);
  EXPECT_TRUE(Called(fake, "clear_halt 129"));
  fake.in_script = {{LIBUSB_ERROR_IO, 0, {}}};
  EXPECT_EQ(dev->Read(buf, sizeof buf, 1), 0);
}

TEST_F(LibusbBackendTest, UnpluggedPrinterReadsMinusOneAndRefusesWrites) {
  AddPrinter();
  auto dev = OpenPrinter();
  uint8_t buf[64];
  fake.in_script = {{LIBUSB_ERROR_NO_DEVICE, 0, {}}};
  EXPECT_EQ(dev->Read(buf, sizeof buf, 5), -1);
  EXPECT_EQ(dev->Read(buf, sizeof buf, 5), -1);
  EXPECT_FALSE(dev->Write(buf, 4));
  EXPECT_TRUE(fake.out_lengths.empty());

  auto second = OpenPrinter();
  fake.out_script = {{LIBUSB_ERROR_NO_DEVICE, 0, {}}};
  EXPECT_FALSE(second->Write(buf, 4));
  EXPECT_EQ(second->Read(buf, sizeof buf, 5), -1);
}

TEST_F(LibusbBackendTest, TheContextOutlivesTheBackendWhileADeviceIsOpen) {
  AddPrinter();
  auto dev = OpenPrinter();
  backend.reset();
  EXPECT_FALSE(Called(fake, "exit"));
  dev.reset();
  EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "exit"), 1);
  EXPECT_EQ(fake.calls.back(), "exit");
}

// A sysfs tree in a temporary folder: the printer 1-1.4 with its serial number and a
// printer-class interface bound to a driver; the node is one end of a socket pair.
class UsblpRouteTest : public LibusbBackendTest {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    root = fs::temp_directory_path() /
           ("quillon_sysfs_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root);
    const fs::path iface = root / "sys/1-1.4/1-1.4:1.0";
    fs::create_directories(iface / "usbmisc/lp0");
    fs::create_directories(root / "drivers/usblp");
    fs::create_directories(root / "drivers/usbfs");
    fs::create_directories(root / "dev");
    std::ofstream(root / "sys/1-1.4/serial") << "SN0042\n";
    std::ofstream(iface / "bInterfaceClass") << "07\n";
    std::ofstream(root / "dev/lp0") << "";
    Bind("usblp");
    access.sysfs_root = (root / "sys").string();
    access.dev_root = (root / "dev").string();
    access.open_node = [this](const std::string& path) {
      opened.push_back(path);
      if (node_errno) return -node_errno;
      int sv[2];
      if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, sv) != 0) return -errno;
      peer = sv[1];
      return sv[0];
    };
    backend = std::make_unique<LibusbBackend>(fake, access, fake.clock);
    fake.calls.clear();
    AddPrinter();
  }
  void TearDown() override {
    if (peer >= 0) ::close(peer);
    std::filesystem::remove_all(root);
  }
  void Bind(const std::string& driver) {
    const auto link = root / "sys/1-1.4/1-1.4:1.0/driver";
    std::filesystem::remove(link);
    std::filesystem::create_directory_symlink(root / "drivers" / driver, link);
  }

  std::filesystem::path root;
  UsbNodeAccess access;
  std::vector<std::string> opened;
  int node_errno = 0;
  int peer = -1;
};

TEST_F(UsblpRouteTest, ABoundKernelDriverIsUsedThroughItsNodeWithoutDetaching) {
  std::vector<UsbDeviceInfo> list;
  backend->ListDevices(list);
  ASSERT_EQ(list.size(), 1u);
  const std::string node = access.dev_root + "/lp0";
  EXPECT_EQ(list[0].port_path, "1-1.4");
  EXPECT_EQ(list[0].serial, "SN0042");
  EXPECT_EQ(list[0].route, "kernel printer driver " + node);

  UsbOpenResult r = backend->Open(kPrinterPath);
  ASSERT_TRUE(r.device) << r.message;
  EXPECT_EQ(r.route, "kernel printer driver " + node);
  EXPECT_EQ(opened, std::vector<std::string>{node});
  EXPECT_TRUE(fake.calls.empty());  // libusb never opened: nothing detached

  const uint8_t packet[3] = {0x10, 0xA1, 0x00};
  EXPECT_TRUE(r.device->Write(packet, sizeof packet));
  uint8_t got[8] = {};
  ASSERT_EQ(::read(peer, got, sizeof got), 3);
  EXPECT_EQ(got[1], 0xA1);
  uint8_t buf[64];
  EXPECT_EQ(r.device->Read(buf, sizeof buf, 1), 0);  // nothing pending
  ASSERT_EQ(::write(peer, "\x11\x22", 2), 2);
  EXPECT_EQ(r.device->Read(buf, sizeof buf, 1000), 2);
  EXPECT_EQ(buf[1], 0x22);
  ::close(peer);  // unplugged
  peer = -1;
  EXPECT_EQ(r.device->Read(buf, sizeof buf, 1000), -1);
  EXPECT_FALSE(r.device->Write(packet, sizeof packet));
}

TEST_F(UsblpRouteTest, ABusyNodeNamesItsHolderAndOtherwiseLibusbTakesOver) {
  node_errno = EBUSY;
  UsbOpenResult r = backend->Open(kPrinterPath);
  EXPECT_EQ(r.error, UsbError::kBusy);
  EXPECT_EQ(r.holder, UsbHolder::kKernelDriver);
  EXPECT_EQ(r.node, access.dev_root + "/lp0");
  EXPECT_TRUE(fake.calls.empty());  // not taken from under the program that has it

  // A node that is not ours to use: libusb detaches the driver for the open.
  node_errno = EACCES;
  r = backend->Open(kPrinterPath);
  ASSERT_TRUE(r.device) << r.message;
  EXPECT_EQ(r.route, "libusb, driver detached");
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"open", "auto_detach 1", "claim 0"}));
  r.device.reset();

  // The print service's own USB back-end holds the interface through usbfs.
  Bind("usbfs");
  fake.devices[0]->claim_rc = LIBUSB_ERROR_BUSY;
  r = backend->Open(kPrinterPath);
  EXPECT_EQ(r.error, UsbError::kBusy);
  EXPECT_EQ(r.holder, UsbHolder::kOtherProgram);
  EXPECT_NE(r.message.find("print service"), std::string::npos) << r.message;
  std::vector<UsbDeviceInfo> list;
  backend->ListDevices(list);
  EXPECT_EQ(list[0].route, "libusb");
}

}  // namespace
}  // namespace quillon::testing
