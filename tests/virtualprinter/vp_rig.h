// A host (PrinterLink + EscCmd) wired to a virtual printer over the in-process USB device,
// on a fake clock: waits for replies move the clock instead of sleeping.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "support/fake_clock.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::vp::testing {

inline VirtualPrinter::Options BlankFlash() {
  VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

struct VpRig {
  explicit VpRig(const VirtualPrinter::Options& options = BlankFlash()) : printer(options, clock) {
    printer.UseManualTime([this](uint32_t ms) { clock.Advance(ms); });
    link.SetUsbIds(kDefaultVid, kDefaultPid);
    link.FindPrinter();
  }

  // Raw output as the print pages send it: one write, no reply awaited.
  void SendRaw(std::span<const uint8_t> bytes) {
    link.OpenUsb();
    link.SendAndRecv(bytes.data(), static_cast<int32_t>(bytes.size()), {}, 0, 0);
    link.CloseUSB();
  }
  void SendRaw(const std::string& text) {
    SendRaw(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }

  quillon::testing::FakeClock clock{1000};
  quillon::testing::FakeClockPump pump{clock};
  VirtualPrinter printer;
  VirtualUsbBackend usb{printer};
  PrinterLink link{usb, clock, pump};
  EscCmd esc{link};
};

// Feeds one frame to the engine directly and returns every reply byte that is ready.
inline std::vector<uint8_t> Exchange(VirtualPrinter& p, const std::vector<uint8_t>& frame) {
  p.Receive(frame.data(), frame.size());
  std::vector<uint8_t> out(4096);
  out.resize(p.TakeReply(out.data(), out.size()));
  return out;
}

}  // namespace quillon::vp::testing
