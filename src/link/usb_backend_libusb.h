// The USB backend for real printers on Linux, built on libusb-1.0.
// Every libusb call goes through LibusbApi, so the logic is testable with a fake.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/usb_backend.h"
#include "link/usb_backend_usblp.h"

namespace quillon {

// The libusb calls the backend uses, one virtual per call with libusb's own signature.
class LibusbApi {
 public:
  virtual ~LibusbApi() = default;
  virtual int init(libusb_context** ctx) = 0;
  virtual void exit(libusb_context* ctx) = 0;
  virtual ssize_t get_device_list(libusb_context* ctx, libusb_device*** list) = 0;
  virtual void free_device_list(libusb_device** list, int unref_devices) = 0;
  virtual int get_device_descriptor(libusb_device* dev, libusb_device_descriptor* desc) = 0;
  virtual uint8_t get_bus_number(libusb_device* dev) = 0;
  virtual uint8_t get_device_address(libusb_device* dev) = 0;
  virtual int get_port_numbers(libusb_device* dev, uint8_t* ports, int len) = 0;
  virtual int get_active_config_descriptor(libusb_device* dev,
                                           libusb_config_descriptor** config) = 0;
  virtual void free_config_descriptor(libusb_config_descriptor* config) = 0;
  virtual int open(libusb_device* dev, libusb_device_handle** handle) = 0;
  virtual void close(libusb_device_handle* handle) = 0;
  virtual int set_auto_detach_kernel_driver(libusb_device_handle* handle, int enable) = 0;
  virtual int claim_interface(libusb_device_handle* handle, int iface) = 0;
  virtual int release_interface(libusb_device_handle* handle, int iface) = 0;
  virtual int set_interface_alt_setting(libusb_device_handle* handle, int iface, int alt) = 0;
  virtual int bulk_transfer(libusb_device_handle* handle, unsigned char endpoint,
                            unsigned char* data, int length, int* transferred,
                            unsigned int timeout_ms) = 0;
  virtual int clear_halt(libusb_device_handle* handle, unsigned char endpoint) = 0;
};

// The real library.
LibusbApi& RealLibusb();

// Where the printer's endpoints are, as chosen from the active configuration.
struct PrinterInterface {
  int number = -1;
  int alt_setting = 0;
  uint8_t ep_in = 0;  // 0 when the interface cannot send data back
  uint8_t ep_out = 0;
  uint16_t in_packet_size = 64;
};

// Prefers a printer-class interface (class 7) with a bulk OUT endpoint, preferring an
// alternate setting that also has bulk IN; otherwise the first interface with both bulk
// IN and OUT. nullopt-like result (number -1) when there is none.
PrinterInterface ChoosePrinterInterface(const libusb_config_descriptor& config);

// "usb:bus-001:port-1.4:vid_c0de&pid_7001": bus and port chain tell two identical
// printers apart; devices without a port chain (root hubs) use their address instead.
std::string LibusbDevicePath(uint8_t bus, const uint8_t* ports, int port_count, uint8_t address,
                             uint16_t vid, uint16_t pid);

// The message the user sees when an open fails for a libusb error.
UsbError ClassifyLibusbError(int rc);
std::string LibusbErrorMessage(int rc, const std::string& path);

// The printers on the USB bus. A printer whose kernel printer driver is bound and whose
// /dev/usb/lpN node we may read and write is reached through that node, so the driver (and
// any print queue on it) stays; otherwise libusb claims the interface, detaching the driver
// for as long as the device is open.
class LibusbBackend final : public UsbBackend {
 public:
  explicit LibusbBackend(LibusbApi& api = RealLibusb(),
                         const UsbNodeAccess& nodes = SystemNodeAccess(),
                         Clock& clock = SystemClock());
  ~LibusbBackend() override;
  LibusbBackend(const LibusbBackend&) = delete;
  LibusbBackend& operator=(const LibusbBackend&) = delete;

  void ListDevicePaths(std::vector<std::string>& paths) override;
  void ListDevices(std::vector<UsbDeviceInfo>& devices) override;
  UsbOpenResult Open(const std::string& path) override;

  // One bulk write transfer; a printer that takes nothing is retried until the hold-off
  // (kMinWriteHoldOffMs, or the command's reply wait when longer) has passed without progress.
  static constexpr unsigned kWriteTimeoutMs = 2000;

  struct Context;  // the libusb context, shared by the backend and every open device

 private:
  UsbOpenResult OpenWithLibusb(libusb_device* dev, const std::string& path,
                               const UsbSysfsFacts& facts);

  LibusbApi& api_;
  UsbNodeAccess nodes_;
  Clock& clock_;
  std::shared_ptr<Context> ctx_;
  int init_error_ = 0;
};

}  // namespace quillon
