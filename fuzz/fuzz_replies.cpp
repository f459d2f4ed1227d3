// Arbitrary printer replies, in arbitrary pieces, answered to every command builder.
// Nothing may be read outside the reply buffers and no builder may report a reply it did
// not fully receive as valid.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "link/printer_link.h"
#include "protocol/esc_cmd.h"

namespace {

using namespace quillon;

class FuzzClock final : public quillon::Clock {
 public:
  uint32_t NowMs() override { return now; }
  uint32_t now = 0xFFFFF000u;  // close to the wrap
};

class Pump final : public MessagePump {
 public:
  explicit Pump(FuzzClock& c) : clock(c) {}
  void ProcessMessages(uint32_t ms) override { clock.now += ms; }
  FuzzClock& clock;
};

// A printer that answers each read with the next piece of the fuzzer's bytes.
class Backend final : public UsbBackend {
 public:
  Backend(FuzzClock& c, std::deque<std::vector<uint8_t>> pieces)
      : clock(c), pieces_(std::move(pieces)) {}
  void ListDevicePaths(std::vector<std::string>& out) override {
    out.push_back("vid_c0de&pid_7001");
  }
  UsbOpenResult Open(const std::string&) override {
    UsbOpenResult r;
    r.device = std::make_unique<Device>(*this);
    return r;
  }
  FuzzClock& clock;

 private:
  class Device final : public UsbDevice {
   public:
    explicit Device(Backend& b) : b_(b) {}
    bool Write(const uint8_t*, size_t) override { return true; }
    int Read(uint8_t* buf, size_t cap, uint32_t wait) override {
      if (b_.pieces_.empty()) {
        b_.clock.now += wait;
        return 0;
      }
      std::vector<uint8_t> p = std::move(b_.pieces_.front());
      b_.pieces_.pop_front();
      size_t n = p.size() < cap ? p.size() : cap;
      std::memcpy(buf, p.data(), n);
      b_.clock.now += 1;
      return static_cast<int>(n);
    }

   private:
    Backend& b_;
  };
  std::deque<std::vector<uint8_t>> pieces_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t which = data[0];
  const uint8_t split = data[1];
  data += 2;
  size -= 2;
  // Pieces: split the rest at a fuzzer-chosen stride (0 = one piece).
  std::deque<std::vector<uint8_t>> pieces;
  size_t stride = split == 0 ? size : split;
  for (size_t i = 0; i < size; i += stride) {
    pieces.emplace_back(data + i, data + std::min(size, i + stride));
  }
  FuzzClock clock;
  Pump pump(clock);
  Backend usb(clock, std::move(pieces));
  PrinterLink link(usb, clock, pump);
  link.SetUsbIds("c0de", "7001");
  link.FindPrinter();
  EscCmd esc(link);

  uint8_t byte = 0;
  std::string text;
  int32_t a = 0, b = 0;
  uint32_t u = 0;
  TNetPar net{};
  TWifiPar wifi{};
  uint8_t key[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, snr[4] = {}, block[16] = {};
  bool ok = false;
  // Reply parsing on its own: the frame must lie within the bytes given, which sit in a
  // buffer of exactly that size so that any read past them is caught.
  if (which >= 0xF0) {
    std::vector<uint8_t> exact(data, data + size);
    if (esc.cmd_build_pack(exact.data(), static_cast<int32_t>(exact.size()))) {
      if (esc.ret.size + kFrameOverhead > exact.size()) __builtin_trap();
    }
    return 0;
  }
  switch (which % 32) {
    case 0:
      ok = esc.cmd_language(0, byte);
      break;
    case 1:
      ok = esc.cmd_charset(0, byte);
      break;
    case 2:
      ok = esc.cmd_sleepmode(1, byte);
      break;
    case 3:
      ok = esc.cmd_boot_flash_lock(0, byte);
      break;
    case 4:
      ok = esc.cmd_blue_name(0, text);
      break;
    case 5:
      text = "name";
      ok = esc.cmd_blue_name(1, text);
      break;
    case 6:
      ok = esc.cmd_sys_info(0, text);
      break;
    case 7:
      ok = esc.cmd_serial_number(0, text);
      break;
    case 8:
      ok = esc.cmd_net_set(0, net);
      break;
    case 9:
      ok = esc.cmd_net_set(1, net);
      break;
    case 10:
      ok = esc.cmd_wifi_set(1, wifi);
      break;
    case 11:
      ok = esc.cmd_label_test(0, 500, a, b);
      break;
    case 12:
      ok = esc.cmd_label_Detection(0, a, b);
      break;
    case 13:
      ok = esc.cmd_init_syspar();
      break;
    case 14:
      ok = esc.cmd_enter_updatemode(1);
      break;
    case 15:
      ok = esc.cmd_oem_lcdlogo(1, 16, block);
      break;
    case 16:
      ok = esc.cmd_flash_erase(0x1000, 1);
      break;
    case 17:
      ok = esc.cmd_flash_write(0, 16, block);
      break;
    case 18:
      ok = esc.cmd_boot_update_erase(u);
      break;
    case 19:
      ok = esc.cmd_boot_update_checkcrc(u);
      break;
    case 20:
      ok = esc.cmd_rfid_auth(1, 0x60, 4, key, snr);
      break;
    case 21:
      ok = esc.cmd_rfid_read(1, 4, block);
      break;
    case 22:
      ok = esc.cmd_rfid_write(1, 4, block);
      break;
    case 23:
      ok = esc.cmd_rfid_halt(1);
      break;
    case 24:
      ok = esc.cmd_blue_pin(0, text);
      break;
    case 25:
      ok = esc.cmd_blue_mac(0, text);
      break;
    case 26:
      ok = esc.cmd_tagmode(0, byte);
      break;
    case 27:
      ok = esc.cmd_blackness(1, byte);
      break;
    case 28:
      ok = esc.cmd_boot_update_data(16, block);
      break;
    case 29:
      ok = esc.cmd_rfid_reset(1);
      break;
    case 30:
      ok = esc.cmd_wifi_set(0, wifi);
      break;
    default:
      ok = esc.cmd_label_test(1, 800, a, b);
      break;
  }
  if (ok) {
    // A success must rest on one whole frame inside what arrived and inside retbuf.
    if (esc.retsize < 7 || esc.ret.size + 7 > esc.retsize || esc.ret.size + 7u > kRetBufSize) {
      __builtin_trap();
    }
  }
  return 0;
}
