// Wall time of a 8 MiB font download (packets of 8192) and a 256 KiB firmware update over
// the virtual printer's in-process USB device, next to the floor set by the flows' mandated pauses.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "flash/firmware_flow.h"
#include "flash/font_download.h"
#include "link/precise_pause.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {
namespace {

class QuietMessages final : public Messages {
 public:
  std::string Text(const std::string& key) override { return key; }
  int MSGDLG(int, const std::string&, const std::string&) override { return 1; }
};

class QuietUi final : public FlowUi {
 public:
  void ClearMemo() override {}
  void MemoLine(const std::string&) override {}
  void SetProgressMax(int64_t) override {}
  void SetProgress(int64_t) override {}
  Messages& messages() override { return messages_; }

 private:
  QuietMessages messages_;
};

vp::VirtualPrinter::Options ErasedFlash() {
  vp::VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

struct BenchRig {
  BenchRig() {
    link.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);
    link.FindPrinter();
  }
  vp::VirtualPrinter printer{ErasedFlash()};
  vp::VirtualUsbBackend usb{printer};
  SleepingPump pump;
  PrinterLink link{usb, SystemClock(), pump};
  EscCmd esc{link};
  QuietUi ui;
  AppContext ctx{link, esc, ui.messages(), nullptr};
};

std::string WriteFile(const char* name, size_t size) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::vector<char> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 + 7);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  return path.string();
}

void BM_FontDownload8MiB(benchmark::State& state) {
  const size_t size = 8u << 20;
  const std::string path = WriteFile("quillon_bench_font.bin", size);
  BenchRig rig;
  FontJob job;
  job.path = path;
  job.packsize_text = "8192";
  // One 1 ms pause after each 4096-byte erase step and each 8192-byte packet.
  const double floor_ms = size / 4096.0 + size / 8192.0;
  for (auto _ : state) {
    const FlashOutcome out = FontDownload(rig.ctx, rig.ui, job);
    if (!out.ok()) state.SkipWithError("font download failed");
  }
  state.counters["floor_ms"] = floor_ms;
  std::filesystem::remove(path);
}

void BM_FirmwareUpdate256KiB(benchmark::State& state) {
  const size_t size = 256u << 10;
  const std::string path = WriteFile("quillon_bench_firmware.bin", size);
  BenchRig rig;
  FirmwareJob job;
  job.path = path;
  const double floor_ms = size / 1024.0 * kBootPacketPauseMs;  // 10 ms after each packet
  for (auto _ : state) {
    const FlashOutcome out = NewUpdate(rig.ctx, rig.ui, job);
    if (!out.ok()) state.SkipWithError("firmware update failed");
  }
  state.counters["floor_ms"] = floor_ms;
  std::filesystem::remove(path);
}

// A production bench: the same update on N virtual printers at once, one thread and one link
// each (as quillon-cli --each-usb runs it). The protocol's pauses set the pace, so ten
// printers should take about as long as one.
void BM_FirmwareUpdateParallel(benchmark::State& state) {
  const size_t size = 256u << 10;
  const std::string path = WriteFile("quillon_bench_firmware_n.bin", size);
  const auto n = static_cast<size_t>(state.range(0));
  std::vector<std::unique_ptr<BenchRig>> rigs;
  for (size_t i = 0; i < n; ++i) rigs.push_back(std::make_unique<BenchRig>());
  FirmwareJob job;
  job.path = path;
  for (auto _ : state) {
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (auto& rig : rigs) {
      threads.emplace_back([&job, &failed, r = rig.get()] {
        if (!NewUpdate(r->ctx, r->ui, job).ok()) ++failed;
      });
    }
    for (std::thread& t : threads) t.join();
    if (failed) state.SkipWithError("firmware update failed");
  }
  state.counters["printers"] = static_cast<double>(n);
  std::filesystem::remove(path);
}

// The mandated pauses alone, as this machine delivers them: each Delay sleeps at least its
// length, and how much longer depends on the scheduler, not on the flows.
void BM_PausesOnly(benchmark::State& state) {
  SleepingPump pump;
  FineTimerSlack slack;  // as the flows have it
  const auto count = static_cast<int>(state.range(0));
  const auto ms = static_cast<uint32_t>(state.range(1));
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) Delay(SystemClock(), pump, ms);
  }
  state.counters["floor_ms"] = count * static_cast<double>(ms);
}

BENCHMARK(BM_FontDownload8MiB)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime()
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FirmwareUpdate256KiB)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime()
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FirmwareUpdateParallel)
    ->Arg(1)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime()
    ->ReportAggregatesOnly(true);
// 2048 erase steps + 1024 packets of the font download; 256 packets of the firmware update.
BENCHMARK(BM_PausesOnly)
    ->Args({3072, 1})
    ->Args({256, 10})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime()
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
