#include "app/station/station_launch.h"

#include <QPointer>
#include <algorithm>

#include "core/file_locations.h"
#include "core/ini_file.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {
namespace {

// A virtual bench shows each result a while, as a printer on the bench would stay until
// the operator takes it away.
constexpr uint32_t kVirtualLingerMs = 6000;
constexpr uint32_t kVirtualArrivalGapMs = 300;
constexpr int kVirtualPortsMax = 16;

std::string ConfiguredId(const char* key, const char* fallback) {
  std::string id = IniFile(Files().ConfigFile()).ReadString("SYSTEM", key, "");
  return id.empty() ? fallback : id;
}

}  // namespace

StationSetup StationSetupFor(const ProgramOptions& options, UsbBackend& usb) {
  StationSetup setup;
  setup.records = options.records;
  setup.operator_name = options.operator_name;
  if (options.virtual_printer) {
    production::VirtualBench bench;
    bench.count = options.virtual_count;
    bench.ports = std::min(options.virtual_count, kVirtualPortsMax);
    bench.arrival_gap_ms = kVirtualArrivalGapMs;
    bench.linger_ms = kVirtualLingerMs;
    bench.vid = ConfiguredId("USB_VID", vp::kDefaultVid);
    bench.pid = ConfiguredId("USB_PID", vp::kDefaultPid);
    bench.faults = options.vp_faults;
    setup.make_source = [bench](std::string* error) {
      return production::MakeVirtualPrinterSource(bench, error);
    };
  } else {
    setup.make_source = [&usb](std::string*) {
      return production::MakeUsbPrinterSource(usb, ConfiguredId("USB_VID", ""),
                                              ConfiguredId("USB_PID", ""));
    };
  }
  return setup;
}

void InstallStationGui(GuiRegistry& registry, StationSetup setup) {
  auto open = std::make_shared<QPointer<TStation>>();
  registry.RegisterOpener("station", [setup, open](QWidget* parent, AppContext& ctx) {
    if (TStation* shown = open->data()) {
      shown->raise();
      shown->activateWindow();
      return;
    }
    StationSetup s = setup;
    s.language = ctx.Language;
    auto* window = new TStation(ctx.messages, std::move(s), parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    *open = window;
    window->show();
  });
}

}  // namespace quillon
