// libusb-1.0 backend: lists present devices with "vid_xxxx&pid_xxxx" paths, claims the
// printer interface and moves bulk data, classifying libusb errors for the user.
#include "link/usb_backend_libusb.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace quillon {

// ---- the real library -------------------------------------------------------------------

namespace {

class RealLibusbApi final : public LibusbApi {
 public:
  int init(libusb_context** ctx) override { return libusb_init(ctx); }
  void exit(libusb_context* ctx) override { libusb_exit(ctx); }
  ssize_t get_device_list(libusb_context* ctx, libusb_device*** list) override {
    return libusb_get_device_list(ctx, list);
  }
  void free_device_list(libusb_device** list, int unref) override {
    libusb_free_device_list(list, unref);
  }
  int get_device_descriptor(libusb_device* dev, libusb_device_descriptor* desc) override {
    return libusb_get_device_descriptor(dev, desc);
  }
  uint8_t get_bus_number(libusb_device* dev) override { return libusb_get_bus_number(dev); }
  uint8_t get_device_address(libusb_device* dev) override { return libusb_get_device_address(dev); }
  int get_port_numbers(libusb_device* dev, uint8_t* ports, int len) override {
    return libusb_get_port_numbers(dev, ports, len);
  }
  int get_active_config_descriptor(libusb_device* dev, libusb_config_descriptor** config) override {
    return libusb_get_active_config_descriptor(dev, config);
  }
  void free_config_descriptor(libusb_config_descriptor* config) override {
    libusb_free_config_descriptor(config);
  }
  int open(libusb_device* dev, libusb_device_handle** handle) override {
    return libusb_open(dev, handle);
  }
  void close(libusb_device_handle* handle) override { libusb_close(handle); }
  int set_auto_detach_kernel_driver(libusb_device_handle* handle, int enable) override {
    return libusb_set_auto_detach_kernel_driver(handle, enable);
  }
  int claim_interface(libusb_device_handle* handle, int iface) override {
    return libusb_claim_interface(handle, iface);
  }
  int release_interface(libusb_device_handle* handle, int iface) override {
    return libusb_release_interface(handle, iface);
  }
  int set_interface_alt_setting(libusb_device_handle* handle, int iface, int alt) override {
    return libusb_set_interface_alt_setting(handle, iface, alt);
  }
  int bulk_transfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                    int length, int* transferred, unsigned int timeout_ms) override {
    return libusb_bulk_transfer(handle, endpoint, data, length, transferred, timeout_ms);
  }
  int clear_halt(libusb_device_handle* handle, unsigned char endpoint) override {
    return libusb_clear_halt(handle, endpoint);
  }
};

constexpr uint8_t kPrinterClass = 7;
constexpr int kMaxPorts = 7;           // USB 3 allows a chain of at most 7 hubs
constexpr size_t kReadCap = 4096;      // the most one read asks for
constexpr size_t kWriteChunk = 16384;  // one bulk transfer of a long write
constexpr int kEmptyWriteLimit = 3;    // successes without a byte taken before a write fails

bool IsBulk(const libusb_endpoint_descriptor& ep) {
  return (ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK;
}

// Finds the bulk endpoints of one alternate setting.
PrinterInterface BulkEndpoints(const libusb_interface_descriptor& alt) {
  PrinterInterface p;
  for (int e = 0; e < alt.bNumEndpoints; ++e) {
    const libusb_endpoint_descriptor& ep = alt.endpoint[e];
    if (!IsBulk(ep)) continue;
    if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
      if (p.ep_in == 0) {
        p.ep_in = ep.bEndpointAddress;
        const uint16_t size = ep.wMaxPacketSize & 0x7FF;
        p.in_packet_size = size > 0 ? size : 64;
      }
    } else if (p.ep_out == 0) {
      p.ep_out = ep.bEndpointAddress;
    }
  }
  p.number = alt.bInterfaceNumber;
  p.alt_setting = alt.bAlternateSetting;
  return p;
}

void Pause(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

LibusbApi& RealLibusb() {
  static RealLibusbApi api;
  return api;
}

// ---- pure helpers -----------------------------------------------------------------------

PrinterInterface ChoosePrinterInterface(const libusb_config_descriptor& config) {
  PrinterInterface printer_out_only;
  PrinterInterface first_bidirectional;
  for (int i = 0; i < config.bNumInterfaces; ++i) {
    const libusb_interface& iface = config.interface[i];
    for (int a = 0; a < iface.num_altsetting; ++a) {
      const libusb_interface_descriptor& alt = iface.altsetting[a];
      const PrinterInterface p = BulkEndpoints(alt);
      if (alt.bInterfaceClass == kPrinterClass) {
        if (p.ep_out != 0 && p.ep_in != 0) return p;
        if (p.ep_out != 0 && printer_out_only.number < 0) printer_out_only = p;
      } else if (p.ep_out != 0 && p.ep_in != 0 && first_bidirectional.number < 0) {
        first_bidirectional = p;
      }
    }
  }
  if (printer_out_only.number >= 0) return printer_out_only;
  return first_bidirectional;
}

std::string LibusbDevicePath(uint8_t bus, const uint8_t* ports, int port_count, uint8_t address,
                             uint16_t vid, uint16_t pid) {
  char head[32];
  std::snprintf(head, sizeof head, "usb:bus-%03u:", static_cast<unsigned>(bus));
  std::string path = head;
  if (port_count > 0) {
    path += "port-";
    for (int i = 0; i < port_count; ++i) {
      if (i > 0) path += '.';
      path += std::to_string(ports[i]);
    }
  } else {
    char addr[16];
    std::snprintf(addr, sizeof addr, "addr-%03u", static_cast<unsigned>(address));
    path += addr;
  }
  return path + ":" + UsbIdText(vid, pid);
}

UsbError ClassifyLibusbError(int rc) {
  switch (rc) {
    case LIBUSB_SUCCESS:
      return UsbError::kNone;
    case LIBUSB_ERROR_ACCESS:
      return UsbError::kAccess;
    case LIBUSB_ERROR_BUSY:
      return UsbError::kBusy;
    case LIBUSB_ERROR_NO_DEVICE:
      return UsbError::kNotFound;
    default:
      return UsbError::kIo;
  }
}

std::string LibusbErrorMessage(int rc, const std::string& path) {
  switch (ClassifyLibusbError(rc)) {
    case UsbError::kNone:
      return {};
    case UsbError::kAccess:
      return "No permission to open the printer " + path +
             ". Install the udev rule that grants access: sudo cp "
             "resources/60-quillon-printer.rules /etc/udev/rules.d/ && sudo udevadm control "
             "--reload-rules && sudo udevadm trigger, then unplug and reconnect the printer.";
    case UsbError::kBusy:
      return "The printer " + path +
             " is in use by another program. Close that program and try again.";
    case UsbError::kNotFound:
      return "The printer " + path + " is no longer connected.";
    case UsbError::kNoInterface:
    case UsbError::kIo:
      break;
  }
  return "The printer " + path + " could not be opened (" + libusb_error_name(rc) + ").";
}

// ---- context and device ----------------------------------------------------------------

struct LibusbBackend::Context {
  Context(LibusbApi& a, libusb_context* c) : api(a), ctx(c) {}
  ~Context() { api.exit(ctx); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  LibusbApi& api;
  libusb_context* ctx;
};

namespace {

// Frees a device list on every way out of the enumeration.
class DeviceList {
 public:
  DeviceList(LibusbApi& api, libusb_context* ctx) : api_(api) {
    const ssize_t n = api_.get_device_list(ctx, &list_);
    count_ = n > 0 ? n : 0;
    if (n < 0) list_ = nullptr;
  }
  ~DeviceList() {
    if (list_) api_.free_device_list(list_, 1);
  }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;
  ssize_t size() const { return count_; }
  libusb_device* operator[](ssize_t i) const { return list_[i]; }

 private:
  LibusbApi& api_;
  libusb_device** list_ = nullptr;
  ssize_t count_ = 0;
};

std::string PathOf(LibusbApi& api, libusb_device* dev, std::string* port_path = nullptr) {
  libusb_device_descriptor desc{};
  if (api.get_device_descriptor(dev, &desc) != LIBUSB_SUCCESS) return {};
  uint8_t ports[kMaxPorts];
  const int n = api.get_port_numbers(dev, ports, kMaxPorts);
  const uint8_t bus = api.get_bus_number(dev);
  if (port_path) *port_path = UsbPortPath(bus, ports, n);
  return LibusbDevicePath(bus, ports, n > 0 ? n : 0, api.get_device_address(dev), desc.idVendor,
                          desc.idProduct);
}

// An open, claimed printer interface. Releasing the interface gives an auto-detached
// kernel driver back to the device.
class LibusbDevice final : public UsbDevice {
 public:
  LibusbDevice(std::shared_ptr<LibusbBackend::Context> ctx, libusb_device_handle* handle,
               const PrinterInterface& iface, Clock& clock)
      : ctx_(std::move(ctx)),
        api_(ctx_->api),
        clock_(clock),
        handle_(handle),
        iface_(iface),
        // A multiple of the packet size, so a packet never overflows the buffer.
        read_buf_(std::max<size_t>(iface.in_packet_size,
                                   kReadCap / iface.in_packet_size * iface.in_packet_size)) {}

  ~LibusbDevice() override {
    api_.release_interface(handle_, iface_.number);
    api_.close(handle_);
  }
  LibusbDevice(const LibusbDevice&) = delete;
  LibusbDevice& operator=(const LibusbDevice&) = delete;

  bool Write(const uint8_t* data, size_t len) override;
  int Read(uint8_t* buf, size_t cap, uint32_t timeout_ms) override;
  void SetWriteHoldOff(uint32_t ms) override { hold_off_ = std::max(ms, kMinWriteHoldOffMs); }

 private:
  int Transfer(uint8_t ep, uint8_t* data, int len, int* done, unsigned timeout) {
    *done = 0;
    return api_.bulk_transfer(handle_, ep, data, len, done, timeout);
  }

  std::shared_ptr<LibusbBackend::Context> ctx_;
  LibusbApi& api_;
  Clock& clock_;
  uint32_t hold_off_ = kMinWriteHoldOffMs;
  libusb_device_handle* handle_;
  PrinterInterface iface_;
  std::vector<uint8_t> read_buf_;
  std::vector<uint8_t> pending_;  // bytes read but not yet handed out (cap was smaller)
  bool gone_ = false;
};

bool LibusbDevice::Write(const uint8_t* data, size_t len) {
  if (gone_) return false;
  // libusb wants a mutable buffer for OUT transfers; it does not change it.
  uint8_t* bytes = const_cast<uint8_t*>(data);
  size_t sent = 0;
  uint32_t last_progress = clock_.NowMs();
  int empty_returns = 0;  // transfers that came back at once without taking a byte
  bool pipe_retried = false;
  while (sent < len) {
    const int chunk = static_cast<int>(std::min(len - sent, kWriteChunk));
    int done = 0;
    const int rc =
        Transfer(iface_.ep_out, bytes + sent, chunk, &done, LibusbBackend::kWriteTimeoutMs);
    // What went out before a timeout or stall is never sent again.
    sent += static_cast<size_t>(std::max(done, 0));
    if (done > 0) last_progress = clock_.NowMs();
    switch (rc) {
      case LIBUSB_SUCCESS:
      case LIBUSB_ERROR_TIMEOUT:
        // A printer erasing its flash or out of paper holds the bus off; it is waited for
        // while it is present, until the hold-off passes without a byte taken.
        if (done > 0) {
          empty_returns = 0;
        } else if ((rc == LIBUSB_SUCCESS && ++empty_returns >= kEmptyWriteLimit) ||
                   ElapsedMs(last_progress, clock_.NowMs()) >= hold_off_) {
          return false;
        }
        continue;
      case LIBUSB_ERROR_PIPE:
        if (pipe_retried) return false;
        pipe_retried = true;
        api_.clear_halt(handle_, iface_.ep_out);
        continue;
      case LIBUSB_ERROR_NO_DEVICE:
        gone_ = true;
        return false;
      default:
        return false;
    }
  }
  return true;
}

int LibusbDevice::Read(uint8_t* buf, size_t cap, uint32_t timeout_ms) {
  if (gone_) return -1;
  if (!pending_.empty()) {
    const size_t n = std::min(cap, pending_.size());
    std::memcpy(buf, pending_.data(), n);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
    return static_cast<int>(n);
  }
  if (iface_.ep_in == 0 || cap == 0) {
    Pause(timeout_ms);  // nothing can arrive: block the slice like a real read would
    return 0;
  }
  // libusb takes 0 as "wait forever"; the shortest wait is 1 ms.
  const unsigned timeout = std::max<uint32_t>(timeout_ms, 1);
  int done = 0;
  int rc =
      Transfer(iface_.ep_in, read_buf_.data(), static_cast<int>(read_buf_.size()), &done, timeout);
  if (rc == LIBUSB_ERROR_PIPE) {
    api_.clear_halt(handle_, iface_.ep_in);
    rc = Transfer(iface_.ep_in, read_buf_.data(), static_cast<int>(read_buf_.size()), &done,
                  timeout);
  }
  if (rc == LIBUSB_ERROR_NO_DEVICE) {
    gone_ = true;
    return -1;
  }
  if (rc != LIBUSB_SUCCESS && rc != LIBUSB_ERROR_TIMEOUT && done <= 0) {
    // An error that returned at once: wait out the slice so the caller's loop never spins.
    Pause(timeout);
    return 0;
  }
  const size_t got = static_cast<size_t>(std::clamp(done, 0, static_cast<int>(read_buf_.size())));
  const size_t n = std::min(cap, got);
  std::memcpy(buf, read_buf_.data(), n);
  pending_.assign(read_buf_.begin() + static_cast<long>(n),
                  read_buf_.begin() + static_cast<long>(got));
  return static_cast<int>(n);
}

}  // namespace

// ---- backend -----------------------------------------------------------------------------

LibusbBackend::LibusbBackend(LibusbApi& api, const UsbNodeAccess& nodes, Clock& clock)
    : api_(api), nodes_(nodes), clock_(clock) {
  libusb_context* ctx = nullptr;
  init_error_ = api_.init(&ctx);
  if (init_error_ == LIBUSB_SUCCESS) ctx_ = std::make_shared<Context>(api_, ctx);
}

LibusbBackend::~LibusbBackend() = default;

void LibusbBackend::ListDevicePaths(std::vector<std::string>& paths) {
  if (!ctx_) return;
  DeviceList list(api_, ctx_->ctx);
  for (ssize_t i = 0; i < list.size(); ++i) {
    std::string path = PathOf(api_, list[i]);
    if (!path.empty()) paths.push_back(std::move(path));
  }
}

void LibusbBackend::ListDevices(std::vector<UsbDeviceInfo>& devices) {
  if (!ctx_) return;
  DeviceList list(api_, ctx_->ctx);
  for (ssize_t i = 0; i < list.size(); ++i) {
    UsbDeviceInfo info;
    info.path = PathOf(api_, list[i], &info.port_path);
    if (info.path.empty()) continue;
    const UsbSysfsFacts facts = ReadUsbSysfs(nodes_, info.port_path);
    info.serial = facts.serial;
    info.route = UsbRouteText(facts);
    devices.push_back(std::move(info));
  }
}

UsbOpenResult LibusbBackend::Open(const std::string& path) {
  UsbOpenResult r;
  auto fail = [&](UsbError kind, std::string message) {
    r.error = kind;
    r.message = std::move(message);
    return std::move(r);
  };
  if (!ctx_) {
    return fail(UsbError::kIo, std::string("USB is not available on this system (") +
                                   libusb_error_name(init_error_) + ").");
  }
  DeviceList list(api_, ctx_->ctx);
  libusb_device* dev = nullptr;
  std::string port_path;
  for (ssize_t i = 0; i < list.size() && !dev; ++i) {
    if (PathOf(api_, list[i], &port_path) == path) dev = list[i];
  }
  if (!dev) return fail(UsbError::kNotFound, LibusbErrorMessage(LIBUSB_ERROR_NO_DEVICE, path));

  // With the kernel printer driver bound, its node is the way in: nothing is detached.
  const UsbSysfsFacts facts = ReadUsbSysfs(nodes_, port_path);
  if (facts.driver == "usblp" && !facts.node.empty()) {
    UsbOpenResult node = OpenUsblpNode(nodes_, facts.node, clock_);
    // A node that is not ours to use (or that went away meanwhile) leaves libusb to try.
    if (node.device || node.error == UsbError::kBusy) return node;
  }
  return OpenWithLibusb(dev, path, facts);
}

UsbOpenResult LibusbBackend::OpenWithLibusb(libusb_device* dev, const std::string& path,
                                            const UsbSysfsFacts& facts) {
  UsbOpenResult r;
  auto fail = [&](UsbError kind, std::string message) {
    r.error = kind;
    r.message = std::move(message);
    return std::move(r);
  };

  libusb_config_descriptor* config = nullptr;
  int rc = api_.get_active_config_descriptor(dev, &config);
  if (rc == LIBUSB_ERROR_NOT_FOUND) {
    return fail(UsbError::kNoInterface, "The device " + path + " is not configured.");
  }
  if (rc != LIBUSB_SUCCESS) return fail(ClassifyLibusbError(rc), LibusbErrorMessage(rc, path));
  const PrinterInterface iface = ChoosePrinterInterface(*config);
  api_.free_config_descriptor(config);
  if (iface.number < 0) {
    return fail(UsbError::kNoInterface,
                "The device " + path + " has no printer interface with bulk endpoints.");
  }

  libusb_device_handle* handle = nullptr;
  rc = api_.open(dev, &handle);
  if (rc != LIBUSB_SUCCESS) return fail(ClassifyLibusbError(rc), LibusbErrorMessage(rc, path));
  // The kernel's printer driver is detached while we hold the interface and comes back
  // when we release it. Platforms without the feature report NOT_SUPPORTED: fine.
  api_.set_auto_detach_kernel_driver(handle, 1);
  rc = api_.claim_interface(handle, iface.number);
  if (rc == LIBUSB_SUCCESS && iface.alt_setting != 0) {
    rc = api_.set_interface_alt_setting(handle, iface.number, iface.alt_setting);
    if (rc != LIBUSB_SUCCESS) api_.release_interface(handle, iface.number);
  }
  if (rc != LIBUSB_SUCCESS) {
    api_.close(handle);
    if (rc == LIBUSB_ERROR_BUSY) {
      // sysfs tells who holds the interface: the kernel printer driver that would not let
      // go, or another program that claimed it directly (the print service's USB back-end).
      r.holder = facts.driver == "usblp" ? UsbHolder::kKernelDriver
                 : facts.driver.empty()  ? UsbHolder::kUnknown
                                         : UsbHolder::kOtherProgram;
      r.node = facts.node;
      if (r.holder == UsbHolder::kKernelDriver)
        return fail(UsbError::kBusy, "The printer " + path +
                                         " is held by the kernel printer driver (usblp), which "
                                         "could not be detached. Close the program printing "
                                         "through it and try again.");
      if (r.holder == UsbHolder::kOtherProgram)
        return fail(UsbError::kBusy, "The printer " + path +
                                         " is claimed by another program (such as the system's "
                                         "print service). Pause its print queue or close that "
                                         "program and try again.");
    }
    return fail(ClassifyLibusbError(rc), LibusbErrorMessage(rc, path));
  }
  r.device = std::make_unique<LibusbDevice>(ctx_, handle, iface, clock_);
  r.route = facts.driver == "usblp" ? kRouteLibusbDetached : kRouteLibusb;
  return r;
}

}  // namespace quillon

namespace quillon {

std::unique_ptr<UsbBackend> MakeSystemUsbBackend() {
  return std::make_unique<LibusbBackend>();
}

}  // namespace quillon
