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

// A long point-of-sale receipt on 80 mm paper: 1,000 text lines in changing modes (sizes,
// emphasis, underline, reverse, alignment, code pages) and 20 symbols (QR codes, PDF417,
// CODE128 and EAN-13 bar codes with their text). Target: under 100 ms a receipt.
std::string LongReceipt() {
  auto b = [](std::initializer_list<int> bytes) {
    std::string s;
    for (int v : bytes) s.push_back(static_cast<char>(v));
    return s;
  };
  std::string r = b({0x1B, '@', 0x1C, '.', 0x1B, 't', 16});
  for (int i = 0; i < 1000; ++i) {
    switch (i % 5) {
      case 0:
        r += b({0x1B, '!', 0x00, 0x1B, 'a', 0});
        break;
      case 1:
        r += b({0x1B, 'E', 1});
        break;
      case 2:
        r += b({0x1D, '!', 0x11, 0x1B, 'a', 1});
        break;
      case 3:
        r += b({0x1B, '-', 1, 0x1D, 'B', 1});
        break;
      case 4:
        r += b({0x1B, '!', 0x00, 0x1D, 'B', 0, 0x1B, '-', 0});
        break;
    }
    r += "Item " + std::to_string(i) + " caf\xE9 cr\xE8me        1 x 2,50 \x80";
    r += "\n";
    if (i % 50 == 49) {
      const std::string data = "https://example.com/receipt/" + std::to_string(i);
      switch ((i / 50) % 4) {
        case 0:
        case 1: {
          const int len = static_cast<int>(data.size()) + 3;
          r += b({0x1D, '(', 'k', 3, 0, 49, 'C', 4, 0x1D, '(', 'k', len, 0, 49, 'P', '0'}) + data +
               b({0x1D, '(', 'k', 3, 0, 49, 'Q', '0'});
          break;
        }
        case 2:
          r += b({0x1D, 'H', 2, 0x1D, 'w', 2, 0x1D, 'k', 73, 12}) + "{BItem" +
               std::to_string(100000 + i);
          break;
        case 3:
          r += b({0x1D, 'H', 2, 0x1D, 'w', 3, 0x1D, 'k', 67, 12}) + "313063057461";
          break;
      }
    }
  }
  return r;
}

void BM_Receipt1000Lines20Symbols(benchmark::State& state) {
  VirtualPrinter::Options o = Blank();
  o.paper_width = 576;
  VirtualPrinter printer(o);
  const std::string receipt = LongReceipt();
  for (auto _ : state) {
    printer.Receive(reinterpret_cast<const uint8_t*>(receipt.data()), receipt.size());
    state.PauseTiming();
    size_t symbols = 0;
    printer.WithRenderer([&](quillon::vp::EscPosRenderer& r) {
      symbols = r.report().symbols.size();
      r.ClearReport();
    });
    if (symbols != 20) state.SkipWithError("the receipt did not print its 20 symbols");
    printer.ClearPaper();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Receipt1000Lines20Symbols)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
