// CPU cost of an exchange that waits a whole second for a reply that never comes, on the
// real clock and pump, through a device whose reads block like a real printer's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "link/printer_link.h"

namespace quillon {
namespace {

// A silent printer: every read sleeps on a condition variable for its whole wait.
class SilentPrinter final : public UsbBackend {
 public:
  void ListDevicePaths(std::vector<std::string>& paths) override {
    paths.push_back("bench:vid_c0de&pid_7001");
  }
  UsbOpenResult Open(const std::string&) override {
    UsbOpenResult r;
    r.device = std::make_unique<Device>();
    return r;
  }

 private:
  class Device final : public UsbDevice {
   public:
    bool Write(const uint8_t*, size_t) override { return true; }
    int Read(uint8_t*, size_t, uint32_t timeout_ms) override {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [] { return false; });
      return 0;
    }

   private:
    std::mutex mutex_;
    std::condition_variable wake_;
  };
};

void BM_UnansweredCommandWait(benchmark::State& state) {
  SilentPrinter usb;
  SleepingPump pump;
  PrinterLink link(usb, SystemClock(), pump);
  link.SetUsbIds("c0de", "7001");
  link.FindPrinter();
  if (!link.OpenUsb()) {
    state.SkipWithError("bench printer did not open");
    return;
  }
  const uint8_t query[7] = {0x10, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xB1};
  uint8_t reply[128];
  for (auto _ : state) {
    benchmark::DoNotOptimize(link.SendAndRecv(query, 7, reply, 8, 1000));
  }
}
BENCHMARK(BM_UnansweredCommandWait)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
