// A long run of the serial path against the virtual printer's pseudo-terminal: exchanges
// with random reply faults and a few port restarts. Every exchange must end in time with
// a reply or a reported failure, and the process must not lose descriptors or memory.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <random>
#include <span>

#include "link/printer_link.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "protocol/frame.h"
#include "support/scripted_usb.h"
#include "virtualprinter/pty_transport.h"
#include "virtualprinter/virtual_printer.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif
#else
constexpr bool kSanitizedBuild = false;
#endif

namespace quillon {
namespace {

constexpr int kExchanges = 20000;
constexpr uint32_t kTimeoutMs = 20;

size_t OpenDescriptors() {
  size_t n = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++n;
    closedir(dir);
  }
  return n;
}

long ResidentBytes() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

TEST(SerialSoak, ExchangesWithFaultsAndRestartsEndAndLeakNothing) {
  vp::VirtualPrinter::Options options;
  options.load_factory_font = false;
  vp::VirtualPrinter printer(options);
  vp::PtyTransport transport(printer);
  std::string error;
  ASSERT_TRUE(transport.Start(error)) << error;
  QueueNotifier notifier;
  testing::ScriptedUsb usb;
  PrinterLink link(usb, SystemClock(), notifier);
  TComm comm(notifier);
  ConfigureMainWindowPort(comm);
  AttachSerialPort(link, comm);
  ASSERT_EQ(ApplySerialChoice(link, comm, transport.port_path(), "115200", true), "");

  const std::vector<uint8_t> query = MakeFrame(kKindOrdinary, 0xA1, 0, {});
  std::mt19937 random(15);
  int replies = 0, failures = 0, late = 0;
  auto exchange = [&] {
    vp::Faults faults;
    switch (random() % 100) {
      case 0:
        faults.drop_replies_to_code = 0xA1;  // no reply: the time-out
        break;
      case 1:
      case 2:
        faults.corrupt_checksum = true;
        break;
      case 3:
      case 4:
        faults.split_gap_ms = 1 + random() % 3;
        break;
      case 5:
        faults.delay_ms = 5 + random() % 40;  // some arrive after the time-out
        break;
      default:
        break;
    }
    printer.SetFaults(faults);
    std::array<uint8_t, 16> reply{};
    const auto start = std::chrono::steady_clock::now();
    const int32_t n = link.SendAndRecv(query.data(), static_cast<int32_t>(query.size()),
                                       std::span<uint8_t>(reply), 8, kTimeoutMs, ReplyEnd::kFrame);
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(kTimeoutMs + 1000)) {
      ++late;
    }
    const auto frame = ParseFrame(std::span<const uint8_t>(reply.data(), static_cast<size_t>(n)));
    (n == 8 && frame && frame->checksum_ok ? replies : failures)++;
  };

  for (int i = 0; i < 200; ++i) exchange();  // warm up: buffers and threads of a running port
  const size_t fds = OpenDescriptors();
  const long rss = ResidentBytes();
  replies = failures = 0;
  for (int i = 1; i <= kExchanges; ++i) {
    exchange();
    if (i % (kExchanges / 4) == 0 && i < kExchanges) {
      ASSERT_EQ(ApplySerialChoice(link, comm, transport.port_path(), "115200", true), "");
    }
  }
  printer.SetFaults({});
  EXPECT_EQ(replies + failures, kExchanges);
  EXPECT_GT(replies, kExchanges * 9 / 10);
  EXPECT_EQ(late, 0);
  EXPECT_EQ(OpenDescriptors(), fds);
  // A sanitizer's allocator keeps freed blocks in quarantine, so resident memory says
  // nothing there; its leak checker covers that build instead.
  if (!kSanitizedBuild) EXPECT_LE(ResidentBytes() - rss, 2L * 1024 * 1024);
  comm.StopComm();
  transport.Stop();
}

}  // namespace
}  // namespace quillon
