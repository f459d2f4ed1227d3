// Wall time of a 8 MiB font download (packets of 8192) and a 256 KiB firmware update over
// an in-process USB printer, next to the floor set by the flows' mandated pauses.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <vector>

#include "flash/firmware_flow.h"
#include "flash/font_download.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "protocol/frame.h"

namespace quillon {
namespace {

// A printer that acknowledges every framed command at once.
class AckingUsb final : public UsbBackend {
 public:
  void ListDevicePaths(std::vector<std::string>& paths) override {
    paths.push_back("bench#vid_1fc9&pid_2016");
  }
  UsbOpenResult Open(const std::string&) override {
    UsbOpenResult r;
    r.device = std::make_unique<Device>(*this);
    return r;
  }

 private:
  class Device final : public UsbDevice {
   public:
    explicit Device(AckingUsb& owner) : owner_(owner) {}
    bool Write(const uint8_t* data, size_t len) override {
      if (len >= kFrameOverhead) {
        owner_.pending_ = MakeFrame(data[0], data[1], 0, std::vector<uint8_t>{1});
      }
      return true;
    }
    int Read(uint8_t* buf, size_t cap, uint32_t) override {
      const size_t n = std::min(cap, owner_.pending_.size());
      std::copy_n(owner_.pending_.begin(), n, buf);
      owner_.pending_.clear();
      return static_cast<int>(n);
    }

   private:
    AckingUsb& owner_;
  };
  std::vector<uint8_t> pending_;
};

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

struct BenchRig {
  BenchRig() {
    link.USB.VID = "1fc9";
    link.USB.PID = "2016";
    link.FindPrinter();
  }
  AckingUsb usb;
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

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
