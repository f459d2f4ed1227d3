// The station's printer sources: USB printers on a backend (hot-plug or a look every
// second), and a bench of virtual printers that arrive one after another.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "core/file_locations.h"
#include "core/ini_file.h"
#include "core/ulog.h"
#include "core/utf8_path.h"
#include "link/clock.h"
#include "link/printer_link.h"
#include "production/bus_watch.h"
#include "production/printer_source.h"
#include "protocol/esc_cmd.h"
#include "virtualprinter/virtual_usb.h"
#include "virtualprinter/virtual_usb_bank.h"

namespace quillon::production {

void PauseWatchingStop(uint32_t max_wait_ms, const StopRequest& stop) {
  using namespace std::chrono;
  const auto end = steady_clock::now() + milliseconds(max_wait_ms);
  while (!stop.Requested()) {
    const auto left = duration_cast<milliseconds>(end - steady_clock::now());
    if (left.count() <= 0) return;
    std::this_thread::sleep_for(std::min(left, milliseconds(20)));
  }
}

namespace {

// Message boxes of the link's own checks, where no one could answer them: kept silent,
// the station reports its own one-line reasons.
class QuietMessages final : public Messages {
 public:
  std::string Text(const std::string& key) override {
    return ReadStringInOrder(Files().LanguageReadOrder("language_msg.ini"), "EN", key, "ERROR");
  }
  int MSGDLG(int, const std::string&, const std::string&) override { return kMsgResultOk; }
};

// A unit's own link to one USB printer (by port path, or serial number, or device path):
// its own pump (so an immediate stop reaches just its waits), log, builders and context.
class BackendUnitLink final : public UnitLink {
 public:
  BackendUnitLink(UsbBackend& backend, const std::string& vid, const std::string& pid,
                  const PortInfo& port)
      : log_(Files().ConfigFile(), Files().StateFolder()),
        link_(backend, SystemClock(), pump_, &log_),
        esc_(link_),
        ctx_{link_, esc_, messages_, [this] {
               link_.FindPrinter();
               return link_.USB().isFindPrint;
             }} {
    log_.init_log();
    link_.SetUsbIds(vid, pid);
    link_.SetUsbChoice(!port.port.empty()         ? port.port
                       : !port.usb_serial.empty() ? port.usb_serial
                                                  : port.path);
  }

  bool Open(std::string* error) {
    link_.FindPrinter();
    if (!link_.USB().isFindPrint) {
      *error = "the printer at " + link_.USB().Choice + " is gone";
      return false;
    }
    // The device stays claimed for the whole unit, as for one CLI command.
    hold_ = std::make_unique<PrinterLink::UsbHold>(link_);
    if (!link_.USB().hDevHandle) {
      *error = "the printer cannot be opened: " + link_.LastOpenError();
      hold_.reset();
      return false;
    }
    return true;
  }

  AppContext& context() override { return ctx_; }

 private:
  SleepingPump pump_;
  ExchangeLog log_;
  QuietMessages messages_;
  PrinterLink link_;
  EscCmd esc_;
  AppContext ctx_;
  std::unique_ptr<PrinterLink::UsbHold> hold_;
};

std::vector<PortInfo> PortsOf(UsbBackend& backend, const std::string& vid, const std::string& pid,
                              const char* link) {
  std::vector<UsbDeviceInfo> devices;
  backend.ListDevices(devices);
  std::vector<PortInfo> out;
  for (const UsbDeviceInfo& d : MatchingPrinters(devices, "vid_" + vid + "&pid_" + pid))
    out.push_back({d.port_path.empty() ? d.path : d.port_path, link, d.serial, d.path});
  return out;
}

class UsbPrinterSource final : public PrinterSource {
 public:
  UsbPrinterSource(UsbBackend& backend, std::string vid, std::string pid, std::string link)
      : backend_(backend),
        vid_(std::move(vid)),
        pid_(std::move(pid)),
        link_(std::move(link)),
        watch_(link_ == "usb" ? MakeBusWatch() : nullptr) {}

  std::vector<PortInfo> List() override {
    std::lock_guard<std::mutex> lock(mu_);
    return PortsOf(backend_, vid_, pid_, link_.c_str());
  }
  void WaitForChange(uint32_t max_wait_ms, const StopRequest& stop) override {
    if (watch_)
      watch_->Wait(max_wait_ms, stop);
    else
      PauseWatchingStop(max_wait_ms, stop);
  }
  std::unique_ptr<UnitLink> Open(const PortInfo& port, std::string* error) override {
    auto link = std::make_unique<BackendUnitLink>(backend_, vid_, pid_, port);
    if (!link->Open(error)) return nullptr;
    return link;
  }

 private:
  UsbBackend& backend_;
  std::string vid_, pid_, link_;
  std::unique_ptr<BusWatch> watch_;
  std::mutex mu_;
};

// ------------------------------------------------------------------- virtual bench ---

class VirtualPrinterSource final : public PrinterSource {
 public:
  explicit VirtualPrinterSource(const VirtualBench& bench)
      : bench_(bench),
        slots_(static_cast<size_t>(std::max(1, std::min(bench.ports, bench.count)))) {
    for (size_t i = 0; i < slots_.size(); ++i) slots_[i].port = "99-" + std::to_string(i + 1);
  }

  bool SetFaults(std::string* error) {
    for (const std::string& item : bench_.faults) {
      std::string serial;
      vp::Faults f;
      bool known = vp::ParseFaultSwitch(item, &serial, &f);
      int index = -1;
      for (int i = 0; known && i < bench_.count; ++i)
        if (vp::VirtualSerial(i) == serial) index = i;
      if (!known || index < 0) {
        *error = "'" + item +
                 "' is not a fault switch (SERIAL:unplug-after=N, SERIAL:drop-code=HEX or "
                 "SERIAL:refuse-text-sets, SERIAL one of VP0001..." +
                 vp::VirtualSerial(bench_.count - 1) + ")";
        return false;
      }
      vp::ParseFaultSwitch(item, &serial, &faults_[serial]);
    }
    return true;
  }

  std::vector<PortInfo> List() override {
    std::lock_guard<std::mutex> lock(mu_);
    LeaveLingering();
    Arrive();
    std::vector<PortInfo> out;
    for (Slot& s : slots_) {
      if (!s.usb) continue;
      std::vector<UsbDeviceInfo> devices;
      s.usb->ListDevices(devices);
      for (const UsbDeviceInfo& d : devices)
        out.push_back({d.port_path, "virtual", d.serial, d.path});
    }
    return out;
  }

  void WaitForChange(uint32_t max_wait_ms, const StopRequest& stop) override {
    using namespace std::chrono;
    std::unique_lock<std::mutex> lock(mu_);
    auto end = steady_clock::now() + milliseconds(max_wait_ms);
    // The next arrival is a change the watcher must see.
    if (next_ < bench_.count && FreeSlot()) end = std::min(end, next_arrival_);
    for (const Slot& s : slots_)
      if (s.leave_at) end = std::min(end, *s.leave_at);
    while (!changed_ && !stop.Requested() && steady_clock::now() < end)
      cv_.wait_until(lock, std::min(end, steady_clock::now() + milliseconds(20)));
    changed_ = false;
  }

  std::unique_ptr<UnitLink> Open(const PortInfo& port, std::string* error) override {
    std::lock_guard<std::mutex> lock(mu_);
    for (Slot& s : slots_) {
      if (s.port != port.port || !s.usb) continue;
      auto link = std::make_unique<BackendUnitLink>(*s.usb, bench_.vid, bench_.pid, port);
      if (!link->Open(error)) return nullptr;
      return link;
    }
    *error = "no virtual printer at " + port.port;
    return nullptr;
  }

  // The operator takes the printer away once its unit has ended; the next one follows.
  void Finished(const PortInfo& port) override {
    std::lock_guard<std::mutex> lock(mu_);
    for (Slot& s : slots_) {
      if (s.port != port.port || !s.printer) continue;
      if (bench_.linger_ms == 0)
        Leave(s);
      else
        s.leave_at = std::chrono::steady_clock::now() + std::chrono::milliseconds(bench_.linger_ms);
    }
    changed_ = true;
    cv_.notify_all();
  }

  bool Exhausted() override {
    std::lock_guard<std::mutex> lock(mu_);
    if (next_ < bench_.count) return false;
    return std::none_of(slots_.begin(), slots_.end(),
                        [](const Slot& s) { return s.printer != nullptr; });
  }

 private:
  struct Slot {
    std::string port;
    int index = -1;
    std::optional<std::chrono::steady_clock::time_point> leave_at;  // lingering after its unit
    std::unique_ptr<vp::VirtualPrinter> printer;
    std::unique_ptr<vp::VirtualUsbBackend> usb;
  };

  std::string StateFile(int index) const {
    return PathUtf8(Utf8Path(bench_.state_folder) / (vp::VirtualSerial(index) + ".state"));
  }

  void Leave(Slot& s) {
    if (!bench_.state_folder.empty()) {
      std::string why;
      s.printer->SaveState(StateFile(s.index), why);
    }
    s.usb.reset();
    s.printer.reset();
    s.leave_at.reset();
    next_arrival_ = std::max(next_arrival_, std::chrono::steady_clock::now() +
                                                std::chrono::milliseconds(bench_.arrival_gap_ms));
  }

  void LeaveLingering() {
    const auto now = std::chrono::steady_clock::now();
    for (Slot& s : slots_)
      if (s.leave_at && now >= *s.leave_at && s.printer) Leave(s);
  }

  bool FreeSlot() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.printer; });
  }

  // One printer arrives at a free port when its turn has come.
  void Arrive() {
    const auto now = std::chrono::steady_clock::now();
    if (next_ >= bench_.count || now < next_arrival_) return;
    // Ports take their turns, as an operator walks along the bench.
    for (size_t k = 0; k < slots_.size(); ++k) {
      Slot& s = slots_[(next_slot_ + k) % slots_.size()];
      if (s.printer) continue;
      next_slot_ = (next_slot_ + k + 1) % slots_.size();
      s.index = next_++;
      const std::string serial = vp::VirtualSerial(s.index);
      s.printer = std::make_unique<vp::VirtualPrinter>();
      if (!bench_.state_folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(Utf8Path(bench_.state_folder), ec);
        std::string why;
        if (std::filesystem::exists(Utf8Path(StateFile(s.index)), ec))
          s.printer->LoadState(StateFile(s.index), why);
      }
      if (auto f = faults_.find(serial); f != faults_.end()) s.printer->SetFaults(f->second);
      s.usb = std::make_unique<vp::VirtualUsbBackend>(*s.printer, bench_.vid, bench_.pid, serial,
                                                      s.port);
      next_arrival_ = now + std::chrono::milliseconds(bench_.arrival_gap_ms);
      return;
    }
  }

  VirtualBench bench_;
  std::vector<Slot> slots_;
  std::map<std::string, vp::Faults> faults_;
  int next_ = 0;
  size_t next_slot_ = 0;
  std::chrono::steady_clock::time_point next_arrival_{};
  std::mutex mu_;
  std::condition_variable cv_;
  bool changed_ = false;
};

}  // namespace

std::unique_ptr<PrinterSource> MakeUsbPrinterSource(UsbBackend& backend, const std::string& vid,
                                                    const std::string& pid,
                                                    const std::string& link) {
  return std::make_unique<UsbPrinterSource>(backend, vid, pid, link);
}

std::unique_ptr<PrinterSource> MakeVirtualPrinterSource(const VirtualBench& bench,
                                                        std::string* error) {
  if (bench.count < 1) {
    *error = "a virtual bench needs at least one printer";
    return nullptr;
  }
  auto source = std::make_unique<VirtualPrinterSource>(bench);
  if (!source->SetFaults(error)) return nullptr;
  return source;
}

}  // namespace quillon::production
