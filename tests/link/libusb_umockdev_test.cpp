// The real libusb enumeration against USB devices scripted in a umockdev testbed: paths
// built from the bus number and the port chain the kernel reports. Runs under umockdev-run.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/usb_backend_libusb.h"

namespace quillon::testing {
namespace {

using Bytes = std::vector<unsigned char>;

// Device descriptor plus one configuration with a printer interface (bulk OUT 1, IN 0x81).
Bytes Descriptors(uint16_t vid, uint16_t pid) {
  Bytes d = {18,
             1,
             0x00,
             0x02,
             0,
             0,
             0,
             64,
             static_cast<unsigned char>(vid),
             static_cast<unsigned char>(vid >> 8),
             static_cast<unsigned char>(pid),
             static_cast<unsigned char>(pid >> 8),
             0,
             1,
             0,
             0,
             0,
             1};
  const Bytes config = {9, 2, 32, 0, 1,    1, 0,  0x80, 50, 9, 4, 0,    0, 2,  7, 1,
                        2, 0, 7,  5, 0x01, 2, 64, 0,    0,  7, 5, 0x81, 2, 64, 0, 0};
  d.insert(d.end(), config.begin(), config.end());
  return d;
}

class UmockdevTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!umockdev_in_mock_environment()) GTEST_SKIP() << "needs umockdev-run";
    testbed = umockdev_testbed_new();
  }
  void TearDown() override {
    if (testbed) g_object_unref(testbed);
  }
  // Adds a USB device node under parent (nullptr for a root hub) and returns its sysfs path.
  std::string Add(const char* name, const char* parent, int bus, int dev, uint16_t vid,
                  uint16_t pid) {
    const std::string busnum = std::to_string(bus), devnum = std::to_string(dev);
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, dev);
    gchar* path = umockdev_testbed_add_device(testbed, "usb", name, parent, "busnum",
                                              busnum.c_str(), "devnum", devnum.c_str(), "speed",
                                              "480", "bConfigurationValue", "1", nullptr, "DEVTYPE",
                                              "usb_device", "DEVNAME", node, nullptr);
    Bytes desc = Descriptors(vid, pid);
    umockdev_testbed_set_attribute_binary(testbed, path, "descriptors", desc.data(), desc.size());
    std::string result = path;
    g_free(path);
    return result;
  }

  UMockdevTestbed* testbed = nullptr;
};

TEST_F(UmockdevTest, PathsCarryTheKernelsBusAndPortChain) {
  const std::string root = Add("usb1", nullptr, 1, 1, 0x1D6B, 0x0002);
  const std::string hub = Add("1-1", root.c_str(), 1, 2, 0x05E3, 0x0610);
  Add("1-1.4", hub.c_str(), 1, 3, 0xC0DE, 0x7001);
  const std::string root2 = Add("usb2", nullptr, 2, 1, 0x1D6B, 0x0002);
  Add("2-3", root2.c_str(), 2, 5, 0xC0DE, 0x7001);

  LibusbBackend backend;
  std::vector<std::string> paths;
  backend.ListDevicePaths(paths);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{
                       "usb:bus-001:addr-001:vid_1d6b&pid_0002",
                       "usb:bus-001:port-1.4:vid_c0de&pid_7001",
                       "usb:bus-001:port-1:vid_05e3&pid_0610",
                       "usb:bus-002:addr-001:vid_1d6b&pid_0002",
                       "usb:bus-002:port-3:vid_c0de&pid_7001",
                   }));
  // The testbed has no device file behind the printer: open says it is gone.
  UsbOpenResult r = backend.Open("usb:bus-002:port-3:vid_c0de&pid_7001");
  EXPECT_FALSE(r.device);
  EXPECT_EQ(r.error, UsbError::kNotFound);
  EXPECT_EQ(backend.Open("usb:bus-003:port-1:vid_c0de&pid_7001").error, UsbError::kNotFound);
}

}  // namespace
}  // namespace quillon::testing
