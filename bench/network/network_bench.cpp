// Round trip of one 8-byte command (set the display language, an 8-byte acknowledgement
// back) to the virtual printer: over TCP on loopback with the connection kept open, and
// over its in-process USB device for comparison; and the four status requests over TCP.
#include <benchmark/benchmark.h>

#include "link/printer_link.h"
#include "link/tcp_link.h"
#include "protocol/frame.h"
#include "protocol/printer_status.h"
#include "virtualprinter/tcp_transport.h"
#include "virtualprinter/virtual_printer.h"
#include "virtualprinter/virtual_usb.h"

namespace quillon {
namespace {

vp::VirtualPrinter::Options Blank() {
  vp::VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

const std::vector<uint8_t> kQuery = MakeFrame(kKindOrdinary, 0xA1, 1, std::vector<uint8_t>{3});

struct TcpRig {
  TcpRig() {
    std::string error;
    ok = server.Start("127.0.0.1", 0, error);
    net.SetAddress({"127.0.0.1", server.port()});
    link.SetNetLink(&net);
    link.SetUseNetwork(true);
    ok = ok && link.OpenUsb();
  }
  ~TcpRig() { link.CloseUSB(); }
  vp::VirtualPrinter printer{Blank()};
  vp::TcpTransport server{printer};
  SleepingPump pump;
  TcpLink net{SystemClock(), pump};
  vp::VirtualUsbBackend usb{printer};
  PrinterLink link{usb, SystemClock(), pump};
  bool ok = false;
};

void BM_TcpRoundTrip(benchmark::State& state) {
  TcpRig rig;
  if (!rig.ok) {
    state.SkipWithError("the loopback printer did not answer");
    return;
  }
  uint8_t reply[8];
  int64_t failures = 0;
  for (auto _ : state) {
    if (rig.link.SendAndRecv(kQuery.data(), 8, std::span<uint8_t>(reply), 8, 1000) != 8) ++failures;
  }
  state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_TcpRoundTrip)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// One status check as --require-ready runs it: connect, four one-byte requests, close.
void BM_TcpStatusCheck(benchmark::State& state) {
  TcpRig rig;
  rig.link.CloseUSB();
  int64_t failures = 0;
  for (auto _ : state) {
    if (!QueryPrinterStatus(rig.link).ready()) ++failures;
  }
  state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_TcpStatusCheck)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_UsbRoundTrip(benchmark::State& state) {
  vp::VirtualPrinter printer(Blank());
  vp::VirtualUsbBackend usb(printer);
  SleepingPump pump;
  PrinterLink link(usb, SystemClock(), pump);
  link.SetUsbIds(vp::kDefaultVid, vp::kDefaultPid);
  link.FindPrinter();
  if (!link.OpenUsb()) {
    state.SkipWithError("the virtual USB printer did not open");
    return;
  }
  uint8_t reply[8];
  int64_t failures = 0;
  for (auto _ : state) {
    if (link.SendAndRecv(kQuery.data(), 8, std::span<uint8_t>(reply), 8, 1000) != 8) ++failures;
  }
  state.counters["failures"] = static_cast<double>(failures);
  link.CloseUSB();
}
BENCHMARK(BM_UsbRoundTrip)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
