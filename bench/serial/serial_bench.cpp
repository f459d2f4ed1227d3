// Serial port throughput through a pseudo-terminal pair (both directions) and the round
// trip of an 8-byte query and 8-byte reply over the serial path of the exchange.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "link/printer_link.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "protocol/frame.h"
#include "support/scripted_usb.h"
#if QUILLON_HAVE_VP_PTY
#include "virtualprinter/pty_transport.h"
#include "virtualprinter/virtual_printer.h"
#endif

namespace quillon {
namespace {

constexpr size_t kVolume = 16u << 20;  // 16 MiB

struct Pty {
  Pty() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) == 0) path = name;
  }
  ~Pty() {
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
  int master = -1, slave = -1;
  std::string path;
};

// Reads count bytes from fd (blocking descriptor).
size_t Drain(int fd, size_t count) {
  std::vector<uint8_t> buf(65536);
  size_t got = 0;
  while (got < count) {
    const ssize_t n = read(fd, buf.data(), std::min(buf.size(), count - got));
    if (n <= 0 && errno != EINTR) break;
    if (n > 0) got += static_cast<size_t>(n);
  }
  return got;
}

void WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<size_t>(n);
  }
}

struct OpenPort {
  explicit OpenPort(const std::string& path) {
    ConfigureMainWindowPort(comm);
    comm.SetCommName(path);
    comm.StartComm();
  }
  QueueNotifier notifier;
  TComm comm{notifier};
};

void BM_SendThroughPty(benchmark::State& state) {
  Pty pty;
  OpenPort port(pty.path);
  const std::vector<uint8_t> block(65535, 0x5A);
  for (auto _ : state) {
    std::thread reader([&] { benchmark::DoNotOptimize(Drain(pty.master, kVolume)); });
    for (size_t sent = 0; sent < kVolume;) {
      const size_t n = std::min<size_t>(65535, kVolume - sent);
      port.comm.WriteCommData(block.data(), static_cast<uint16_t>(n));
      sent += n;
    }
    reader.join();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kVolume));
}

void BM_ReceiveThroughPty(benchmark::State& state) {
  Pty pty;
  OpenPort port(pty.path);
  size_t received = 0;
  size_t blocks = 0;
  port.comm.OnReceiveData = [&](TComm&, const uint8_t*, uint16_t n) {
    received += n;
    ++blocks;
  };
  const std::vector<uint8_t> data(kVolume, 0x5A);
  for (auto _ : state) {
    received = 0;
    std::thread writer([&] { WriteAll(pty.master, data.data(), data.size()); });
    while (received < kVolume) port.notifier.ProcessMessages(10);
    writer.join();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kVolume));
  state.counters["bytes_per_block"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kVolume) / blocks);
}

// A device on the master side that answers every 8-byte request with 8 bytes.
class EchoResponder {
 public:
  explicit EchoResponder(int master) : master_(master), stop_(eventfd(0, EFD_CLOEXEC)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~EchoResponder() {
    const uint64_t one = 1;
    (void)write(stop_, &one, sizeof one);
    thread_.join();
    close(stop_);
  }

 private:
  void Run() {
    uint8_t request[8];
    size_t have = 0;
    for (;;) {
      pollfd fds[2] = {{stop_, POLLIN, 0}, {master_, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[0].revents) return;
      const ssize_t n = read(master_, request + have, sizeof request - have);
      if (n <= 0) continue;
      have += static_cast<size_t>(n);
      if (have == sizeof request) {
        request[1] ^= 0x80;  // a reply is a changed copy of the request
        WriteAll(master_, request, sizeof request);
        have = 0;
      }
    }
  }
  int master_;
  int stop_;
  std::thread thread_;
};

void BM_SerialRoundTrip(benchmark::State& state) {
  Pty pty;
  QueueNotifier notifier;
  testing::ScriptedUsb usb;
  PrinterLink link(usb, SystemClock(), notifier);
  TComm comm(notifier);
  ConfigureMainWindowPort(comm);
  comm.SetCommName(pty.path);
  AttachSerialPort(link, comm);
  comm.StartComm();
  link.SetUseCommPort(true);
  EchoResponder responder(pty.master);
  const uint8_t query[8] = {0x10, 0xA1, 0x01, 0x00, 0x01, 0x00, 0x02, 0xB5};
  uint8_t reply[8];
  int64_t failures = 0;
  for (auto _ : state) {
    if (link.SendAndRecv(query, 8, std::span<uint8_t>(reply), 8, 1000) != 8) ++failures;
  }
  state.counters["failures"] = static_cast<double>(failures);
}

#if QUILLON_HAVE_VP_PTY
// The same round trip against the virtual printer: set the display language (8 bytes out,
// an 8-byte acknowledgement back).
void BM_SerialRoundTripVirtualPrinter(benchmark::State& state) {
  vp::VirtualPrinter::Options options;
  options.load_factory_font = false;
  vp::VirtualPrinter printer(options);
  vp::PtyTransport transport(printer);
  std::string error;
  if (!transport.Start(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  QueueNotifier notifier;
  testing::ScriptedUsb usb;
  PrinterLink link(usb, SystemClock(), notifier);
  TComm comm(notifier);
  ConfigureMainWindowPort(comm);
  comm.SetCommName(transport.port_path());
  AttachSerialPort(link, comm);
  comm.StartComm();
  link.SetUseCommPort(true);
  const std::vector<uint8_t> query = MakeFrame(kKindOrdinary, 0xA1, 1, std::vector<uint8_t>{3});
  uint8_t reply[8];
  int64_t failures = 0;
  for (auto _ : state) {
    if (link.SendAndRecv(query.data(), 8, std::span<uint8_t>(reply), 8, 1000) != 8) ++failures;
  }
  state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_SerialRoundTripVirtualPrinter)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
#endif

BENCHMARK(BM_SendThroughPty)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ReceiveThroughPty)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SerialRoundTrip)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
