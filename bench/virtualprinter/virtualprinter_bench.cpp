// How fast the virtual printer answers and prints: a font download through the host's
// builders, raster bands, text lines, and writing the paper as PNG.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "link/message_pump.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace {

using quillon::vp::VirtualPrinter;

VirtualPrinter::Options Blank() {
  VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

// 1 MiB of font library in 4096-byte packets, erase included, as the font page sends it.
void BM_FontDownloadMiB(benchmark::State& state) {
  VirtualPrinter printer(Blank());
  quillon::vp::VirtualUsbBackend usb(printer);
  quillon::SleepingPump pump;
  quillon::PrinterLink link(usb, quillon::SystemClock(), pump);
  link.SetUsbIds(quillon::vp::kDefaultVid, quillon::vp::kDefaultPid);
  link.FindPrinter();
  quillon::EscCmd esc(link);
  std::vector<uint8_t> data(4096, 0x5A);
  for (auto _ : state) {
    link.OpenUsb();
    for (uint32_t addr = 0; addr < (1u << 20); addr += 4096) {
      if (!esc.cmd_flash_erase(addr, 1) || !esc.cmd_flash_write(addr, 4096, data.data())) {
        state.SkipWithError("the virtual printer did not acknowledge");
        return;
      }
    }
    link.CloseUSB();
  }
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_FontDownloadMiB)->Unit(benchmark::kMillisecond);

// One 384 x 24 GS v 0 band of a half-black picture.
void BM_RasterBand(benchmark::State& state) {
  VirtualPrinter printer(Blank());
  std::vector<uint8_t> band = {0x1D, 0x76, 0x30, 0x00, 48, 0, 24, 0};
  for (int i = 0; i < 48 * 24; ++i) band.push_back(i % 2 ? 0xAA : 0x00);
  int bands = 0;
  for (auto _ : state) {
    printer.Receive(band.data(), band.size());
    if (++bands == 2000) {  // keep the roll short so every band costs the same
      state.PauseTiming();
      printer.ClearPaper();
      bands = 0;
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_RasterBand)->Unit(benchmark::kMicrosecond);

// A full line of 32 characters drawn from the flash glyphs.
void BM_TextLine(benchmark::State& state) {
  VirtualPrinter printer(Blank());
  const std::string line = "The quick brown fox jumps over!\n";
  int lines = 0;
  for (auto _ : state) {
    printer.Receive(reinterpret_cast<const uint8_t*>(line.data()), line.size());
    if (++lines == 2000) {
      state.PauseTiming();
      printer.ClearPaper();
      lines = 0;
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_TextLine)->Unit(benchmark::kMicrosecond);

// Writing a 384 x 3000 dot paper as PNG.
void BM_SavePng(benchmark::State& state) {
  VirtualPrinter printer(Blank());
  const std::string line = "The quick brown fox jumps over!\n";
  for (int i = 0; i < 100; ++i) {
    printer.Receive(reinterpret_cast<const uint8_t*>(line.data()), line.size());
  }
  const std::string path = "/tmp/quillon_bench_paper.png";
  std::string error;
  for (auto _ : state) {
    if (!printer.SavePng(path, error)) state.SkipWithError(error.c_str());
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
