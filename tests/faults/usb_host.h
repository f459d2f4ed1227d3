// The host of the USB scenarios: link and builders wired to a virtual printer over the
// in-process USB device, on a fake clock so that time-outs cost no real time.
#pragma once

#include "faults/fault_matrix.h"
#include "link/printer_link.h"
#include "support/fake_clock.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::faults {

inline vp::VirtualPrinter::Options BlankFlash() {
  vp::VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

class UsbHost final : public Host {
 public:
  UsbHost() {
    printer_.UseManualTime([this](uint32_t ms) { clock_.Advance(ms); });
    link_.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);
    link_.FindPrinter();
  }
  EscCmd& esc() override { return esc_; }
  vp::VirtualPrinter& printer() override { return printer_; }
  uint32_t NowMs() override { return clock_.NowMs(); }
  bool LinkClosed() override { return !link_.USB().hDevHandle; }
  uint32_t Slack() const override { return 2 * kReadSliceMs; }
  PrinterLink& link() { return link_; }

 private:
  quillon::testing::FakeClock clock_{5000};
  quillon::testing::FakeClockPump pump_{clock_};
  vp::VirtualPrinter printer_{BlankFlash(), clock_};
  vp::VirtualUsbBackend usb_{printer_};
  PrinterLink link_{usb_, clock_, pump_};
  EscCmd esc_{link_};
};

}  // namespace quillon::faults
