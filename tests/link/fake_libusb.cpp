// The libusb fake: devices are FakeUsbDevice objects behind libusb's opaque pointers.
#include "fake_libusb.h"

#include <algorithm>
#include <cstring>

namespace quillon::testing {
namespace {

FakeUsbDevice* Dev(libusb_device* d) {
  return reinterpret_cast<FakeUsbDevice*>(d);
}
FakeUsbDevice* Dev(libusb_device_handle* h) {
  return reinterpret_cast<FakeUsbDevice*>(h);
}

libusb_endpoint_descriptor Endpoint(uint8_t address, uint8_t type, uint16_t packet) {
  libusb_endpoint_descriptor e{};
  e.bLength = LIBUSB_DT_ENDPOINT_SIZE;
  e.bDescriptorType = LIBUSB_DT_ENDPOINT;
  e.bEndpointAddress = address;
  e.bmAttributes = type;
  e.wMaxPacketSize = packet;
  return e;
}

}  // namespace

libusb_endpoint_descriptor BulkIn(uint8_t ep, uint16_t packet) {
  return Endpoint(static_cast<uint8_t>(ep | LIBUSB_ENDPOINT_IN), LIBUSB_TRANSFER_TYPE_BULK, packet);
}
libusb_endpoint_descriptor BulkOut(uint8_t ep, uint16_t packet) {
  return Endpoint(ep, LIBUSB_TRANSFER_TYPE_BULK, packet);
}
libusb_endpoint_descriptor InterruptIn(uint8_t ep) {
  return Endpoint(static_cast<uint8_t>(ep | LIBUSB_ENDPOINT_IN), LIBUSB_TRANSFER_TYPE_INTERRUPT, 8);
}

struct FakeLibusb::OwnedConfig {
  libusb_config_descriptor config{};
  std::vector<libusb_interface> interfaces;
  std::vector<std::vector<libusb_interface_descriptor>> alts;
  std::vector<std::vector<libusb_endpoint_descriptor>> endpoints;
};

FakeLibusb::FakeLibusb() = default;
FakeLibusb::~FakeLibusb() = default;

FakeUsbDevice& FakeLibusb::Add(uint16_t vid, uint16_t pid, uint8_t bus, Bytes ports) {
  auto d = std::make_unique<FakeUsbDevice>();
  d->vid = vid;
  d->pid = pid;
  d->bus = bus;
  d->address = static_cast<uint8_t>(devices.size() + 1);
  d->ports = std::move(ports);
  devices.push_back(std::move(d));
  return *devices.back();
}

int FakeLibusb::init(libusb_context** ctx) {
  *ctx = init_rc == LIBUSB_SUCCESS ? reinterpret_cast<libusb_context*>(this) : nullptr;
  return init_rc;
}

void FakeLibusb::exit(libusb_context*) {
  calls.push_back("exit");
}

ssize_t FakeLibusb::get_device_list(libusb_context*, libusb_device*** list) {
  auto l = std::make_unique<std::vector<libusb_device*>>();
  for (auto& d : devices) l->push_back(reinterpret_cast<libusb_device*>(d.get()));
  l->push_back(nullptr);
  *list = l->data();
  lists_.push_back(std::move(l));
  ++lists_live;
  return static_cast<ssize_t>(devices.size());
}

void FakeLibusb::free_device_list(libusb_device**, int) {
  --lists_live;
}

int FakeLibusb::get_device_descriptor(libusb_device* dev, libusb_device_descriptor* desc) {
  *desc = {};
  desc->idVendor = Dev(dev)->vid;
  desc->idProduct = Dev(dev)->pid;
  return LIBUSB_SUCCESS;
}

uint8_t FakeLibusb::get_bus_number(libusb_device* dev) {
  return Dev(dev)->bus;
}
uint8_t FakeLibusb::get_device_address(libusb_device* dev) {
  return Dev(dev)->address;
}

int FakeLibusb::get_port_numbers(libusb_device* dev, uint8_t* ports, int len) {
  const Bytes& p = Dev(dev)->ports;
  if (static_cast<int>(p.size()) > len) return LIBUSB_ERROR_OVERFLOW;
  std::copy(p.begin(), p.end(), ports);
  return static_cast<int>(p.size());
}

int FakeLibusb::get_active_config_descriptor(libusb_device* dev, libusb_config_descriptor** c) {
  auto owned = std::make_unique<OwnedConfig>();
  std::vector<uint8_t> numbers;
  for (const FakeAltSetting& a : Dev(dev)->alts) {
    if (std::find(numbers.begin(), numbers.end(), a.interface_number) == numbers.end()) {
      numbers.push_back(a.interface_number);
    }
  }
  owned->alts.resize(numbers.size());
  owned->endpoints.reserve(Dev(dev)->alts.size());
  for (const FakeAltSetting& a : Dev(dev)->alts) {
    owned->endpoints.push_back(a.endpoints);
    libusb_interface_descriptor d{};
    d.bInterfaceNumber = a.interface_number;
    d.bAlternateSetting = a.alt_setting;
    d.bInterfaceClass = a.interface_class;
    d.bNumEndpoints = static_cast<uint8_t>(a.endpoints.size());
    d.endpoint = owned->endpoints.back().data();
    const size_t slot = static_cast<size_t>(
        std::find(numbers.begin(), numbers.end(), a.interface_number) - numbers.begin());
    owned->alts[slot].push_back(d);
  }
  for (auto& alts : owned->alts) {
    libusb_interface i{};
    i.altsetting = alts.data();
    i.num_altsetting = static_cast<int>(alts.size());
    owned->interfaces.push_back(i);
  }
  owned->config.bNumInterfaces = static_cast<uint8_t>(owned->interfaces.size());
  owned->config.interface = owned->interfaces.data();
  *c = &owned->config;
  configs_[*c] = std::move(owned);
  ++configs_live;
  return LIBUSB_SUCCESS;
}

void FakeLibusb::free_config_descriptor(libusb_config_descriptor* c) {
  configs_.erase(c);
  --configs_live;
}

int FakeLibusb::open(libusb_device* dev, libusb_device_handle** handle) {
  calls.push_back("open");
  if (Dev(dev)->open_rc != LIBUSB_SUCCESS) return Dev(dev)->open_rc;
  *handle = reinterpret_cast<libusb_device_handle*>(dev);
  ++handles_live;
  return LIBUSB_SUCCESS;
}

void FakeLibusb::close(libusb_device_handle*) {
  calls.push_back("close");
  --handles_live;
}

int FakeLibusb::set_auto_detach_kernel_driver(libusb_device_handle*, int enable) {
  calls.push_back("auto_detach " + std::to_string(enable));
  return LIBUSB_SUCCESS;
}

int FakeLibusb::claim_interface(libusb_device_handle* h, int iface) {
  calls.push_back("claim " + std::to_string(iface));
  return Dev(h)->claim_rc;
}

int FakeLibusb::release_interface(libusb_device_handle*, int iface) {
  calls.push_back("release " + std::to_string(iface));
  return LIBUSB_SUCCESS;
}

int FakeLibusb::set_interface_alt_setting(libusb_device_handle*, int iface, int alt) {
  calls.push_back("alt " + std::to_string(iface) + " " + std::to_string(alt));
  return LIBUSB_SUCCESS;
}

int FakeLibusb::bulk_transfer(libusb_device_handle*, unsigned char ep, unsigned char* data,
                              int length, int* transferred, unsigned int timeout) {
  if ((ep & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_OUT) {
    out_lengths.push_back(length);
    FakeTransfer t;
    t.transferred = -1;
    if (!out_script.empty()) {
      t = out_script.front();
      out_script.pop_front();
    }
    const int n = t.transferred < 0 ? length : std::min(t.transferred, length);
    written.insert(written.end(), data, data + n);
    *transferred = n;
    if (t.rc == LIBUSB_ERROR_TIMEOUT) clock.Advance(timeout);
    return t.rc;
  }
  in_lengths.push_back(length);
  in_timeouts.push_back(timeout);
  if (in_script.empty()) {
    *transferred = 0;
    return LIBUSB_ERROR_TIMEOUT;
  }
  FakeTransfer t = in_script.front();
  in_script.pop_front();
  const int n = std::min(static_cast<int>(t.data.size()), length);
  if (n > 0) std::memcpy(data, t.data.data(), static_cast<size_t>(n));
  *transferred = n;
  return t.rc;
}

int FakeLibusb::clear_halt(libusb_device_handle*, unsigned char ep) {
  calls.push_back("clear_halt " + std::to_string(ep));
  return LIBUSB_SUCCESS;
}

}  // namespace quillon::testing
