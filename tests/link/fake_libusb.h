// A fake of the libusb calls: scripted devices with descriptors, open and claim results,
// and bulk transfers that answer from queues while recording what was asked.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/usb_backend_libusb.h"
#include "support/fake_clock.h"

namespace quillon::testing {

using Bytes = std::vector<uint8_t>;

struct FakeAltSetting {
  uint8_t interface_number = 0;
  uint8_t alt_setting = 0;
  uint8_t interface_class = 0xFF;
  std::vector<libusb_endpoint_descriptor> endpoints;
};

struct FakeUsbDevice {
  uint16_t vid = 0, pid = 0;
  uint8_t bus = 1, address = 1;
  Bytes ports;
  std::vector<FakeAltSetting> alts;  // in descriptor order; same number = same interface
  int open_rc = LIBUSB_SUCCESS;
  int claim_rc = LIBUSB_SUCCESS;
};

// One scripted bulk transfer result.
struct FakeTransfer {
  int rc = LIBUSB_SUCCESS;
  int transferred = 0;  // OUT: bytes accepted (-1: all); IN: ignored, data.size() is used
  Bytes data;           // IN: the bytes delivered
};

libusb_endpoint_descriptor BulkIn(uint8_t ep, uint16_t packet = 64);
libusb_endpoint_descriptor BulkOut(uint8_t ep, uint16_t packet = 64);
libusb_endpoint_descriptor InterruptIn(uint8_t ep);

class FakeLibusb final : public LibusbApi {
 public:
  FakeLibusb();
  ~FakeLibusb() override;
  FakeUsbDevice& Add(uint16_t vid, uint16_t pid, uint8_t bus, Bytes ports);

  std::vector<std::unique_ptr<FakeUsbDevice>> devices;
  int init_rc = LIBUSB_SUCCESS;
  std::vector<std::string> calls;  // open/claim/release/close/... in order
  std::deque<FakeTransfer> in_script, out_script;
  Bytes written;  // every byte the OUT transfers accepted
  std::vector<int> out_lengths, in_lengths;
  std::vector<unsigned> in_timeouts;
  int lists_live = 0, configs_live = 0, handles_live = 0;
  // Moved on by the time-out of every OUT transfer that timed out, as the real wait would.
  FakeClock clock;

  int init(libusb_context** ctx) override;
  void exit(libusb_context* ctx) override;
  ssize_t get_device_list(libusb_context* ctx, libusb_device*** list) override;
  void free_device_list(libusb_device** list, int unref) override;
  int get_device_descriptor(libusb_device* dev, libusb_device_descriptor* desc) override;
  uint8_t get_bus_number(libusb_device* dev) override;
  uint8_t get_device_address(libusb_device* dev) override;
  int get_port_numbers(libusb_device* dev, uint8_t* ports, int len) override;
  int get_active_config_descriptor(libusb_device* dev, libusb_config_descriptor** c) override;
  void free_config_descriptor(libusb_config_descriptor* c) override;
  int open(libusb_device* dev, libusb_device_handle** handle) override;
  void close(libusb_device_handle* handle) override;
  int set_auto_detach_kernel_driver(libusb_device_handle* handle, int enable) override;
  int claim_interface(libusb_device_handle* handle, int iface) override;
  int release_interface(libusb_device_handle* handle, int iface) override;
  int set_interface_alt_setting(libusb_device_handle* handle, int iface, int alt) override;
  int bulk_transfer(libusb_device_handle* handle, unsigned char ep, unsigned char* data, int length,
                    int* transferred, unsigned int timeout) override;
  int clear_halt(libusb_device_handle* handle, unsigned char ep) override;

 private:
  struct OwnedConfig;
  std::map<libusb_config_descriptor*, std::unique_ptr<OwnedConfig>> configs_;
  std::vector<std::unique_ptr<std::vector<libusb_device*>>> lists_;
};

}  // namespace quillon::testing
