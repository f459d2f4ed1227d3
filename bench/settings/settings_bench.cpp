// Host-side cost of the settings commands against the virtual printer on a fake clock:
// a byte setting set and queried back, a Chinese Bluetooth name, a roll tag written and
// read, and the wired record built from its texts.
#include <benchmark/benchmark.h>

#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "settings/ansi_text.h"
#include "settings/net_records.h"
#include "settings/paper_roll.h"
#include "support/fake_clock.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {
namespace {

struct Rig {
  Rig() : printer(Options(), clock) {
    printer.UseManualTime([this](uint32_t ms) { clock.Advance(ms); });
    link.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);
    link.FindPrinter();
  }
  static vp::VirtualPrinter::Options Options() {
    vp::VirtualPrinter::Options o;
    o.load_factory_font = false;
    return o;
  }
  testing::FakeClock clock{1000};
  testing::FakeClockPump pump{clock};
  vp::VirtualPrinter printer;
  vp::VirtualUsbBackend usb{printer};
  PrinterLink link{usb, clock, pump};
  EscCmd esc{link};
};

void BM_ByteSettingSetAndQuery(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) {
    uint8_t v = 3;
    benchmark::DoNotOptimize(rig.esc.cmd_stepmode(1, v));
    benchmark::DoNotOptimize(rig.esc.cmd_stepmode(0, v));
  }
}
BENCHMARK(BM_ByteSettingSetAndQuery);

void BM_ChineseNameSetAndQuery(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) {
    std::string name = ToAnsiText("标签打印机-收银台7");
    benchmark::DoNotOptimize(rig.esc.cmd_blue_name(1, name));
    std::string back;
    benchmark::DoNotOptimize(rig.esc.cmd_blue_name(0, back));
    benchmark::DoNotOptimize(FromAnsiText(back));
  }
}
BENCHMARK(BM_ChineseNameSetAndQuery);

void BM_RollTagCreateAndRead(benchmark::State& state) {
  Rig rig;
  const TPaper paper = MakePaper(1, 200, 50, 30, 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(CreateRollTag(rig.esc, paper, nullptr).ok);
    TPaper back{};
    benchmark::DoNotOptimize(ReadRollTag(rig.esc, back).ok);
  }
}
BENCHMARK(BM_RollTagCreateAndRead);

void BM_WiredRecordFromTexts(benchmark::State& state) {
  for (auto _ : state) {
    std::string error;
    benchmark::DoNotOptimize(
        BuildNetPar("192.168.001.100", "255.255.255.000", "192.168.001.001", false, &error));
  }
}
BENCHMARK(BM_WiredRecordFromTexts);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
