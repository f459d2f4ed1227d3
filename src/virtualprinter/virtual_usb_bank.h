// Several virtual printers on one virtual hub, as a production bench has them: each with its
// own engine, port ("99-1", "99-2", ...), serial number ("VP0001", ...) and state file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/usb_backend.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon::vp {

// The most virtual printers one program attaches.
inline constexpr int kMaxVirtualPrinters = 32;

class VirtualUsbBank final : public UsbBackend {
 public:
  VirtualUsbBank(int count, const std::string& vid, const std::string& pid,
                 const VirtualPrinter::Options& options = {});

  void ListDevicePaths(std::vector<std::string>& paths) override;
  void ListDevices(std::vector<UsbDeviceInfo>& devices) override;
  UsbOpenResult Open(const std::string& path) override;

  int size() const { return static_cast<int>(printers_.size()); }
  VirtualPrinter& printer(int i) { return *printers_[static_cast<size_t>(i)]; }
  VirtualUsbBackend& usb(int i) { return *usbs_[static_cast<size_t>(i)]; }
  // The printer with that serial number; null when there is none.
  VirtualPrinter* BySerial(const std::string& serial);

  // One printer keeps its state in the file named; several keep theirs in the folder named,
  // one file per serial number ("VP0001.state"). The same for the paper ("VP0001.png").
  std::string FileFor(const std::string& name, int i, const char* extension) const;
  // Loads every state file that exists (a missing one starts fresh); false with error.
  bool LoadStates(const std::string& state, std::string* error);
  bool SaveStates(const std::string& state, std::string* error);
  bool SavePapers(const std::string& paper, std::string* error);

 private:
  void MakeFolderFor(const std::string& name) const;

  std::vector<std::unique_ptr<VirtualPrinter>> printers_;
  std::vector<std::unique_ptr<VirtualUsbBackend>> usbs_;
};

// "VP0001" for the first printer.
std::string VirtualSerial(int i);

// A fault switch of the command line: "VP0002:unplug-after=5" (answer N packets, then
// vanish), "VP0002:drop-code=A1" (no reply to that command code) or
// "VP0002:refuse-text-sets". Sets serial and adds the fault to faults; false when text is
// none of these.
bool ParseFaultSwitch(const std::string& text, std::string* serial, Faults* faults);

}  // namespace quillon::vp
