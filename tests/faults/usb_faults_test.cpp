// Reply faults of every command family over USB, against the virtual printer on a fake
// clock, and an unplugged printer during settings queries and raw output.
#include <gtest/gtest.h>

#include "faults/fault_matrix.h"
#include "faults/reliability_table.h"
#include "faults/usb_host.h"

namespace quillon::faults {
namespace {

TEST(UsbReplyFaults, EveryFamilyMeetsEveryReplyFault) {
  UsbHost host;
  for (const FaultCase& fault : ReplyFaultCases()) {
    Record("Replies over USB", fault.name, fault.expected, RunFaultCase(host, fault));
  }
}

TEST(UsbUnplug, RawOutputToAVanishedPrinterReturnsAndClosesTheLink) {
  UsbHost host;
  host.printer().Unplug();
  const std::string text(20000, 'x');
  const uint32_t start = host.NowMs();
  host.link().OpenUsb();
  const int32_t got = host.link().SendAndRecv(reinterpret_cast<const uint8_t*>(text.data()),
                                              static_cast<int32_t>(text.size()), {}, 0, 0);
  const bool write_ok = host.link().last_write_ok();
  host.link().CloseUSB();
  EXPECT_EQ(got, 0);
  EXPECT_FALSE(write_ok) << "the lost write is not reported";
  EXPECT_LE(host.NowMs() - start, 2 * kReadSliceMs);
  EXPECT_TRUE(host.LinkClosed());
  EXPECT_EQ(host.printer().paper().height(), 0);
  host.printer().Plug();
  uint8_t language = 0;
  EXPECT_TRUE(host.esc().cmd_language(0, language));
  Record("Unplugged printer", "raw text output (20 000 bytes) to an unplugged printer",
         "returns at once, the write reported failed, nothing printed, link closed, the next "
         "exchange works",
         std::string("returned after ") + std::to_string(host.NowMs() - start) +
             " ms of fake time, write reported " + (write_ok ? "DONE" : "failed") +
             ", nothing printed, link closed, next query " +
             (host.esc().last_failure() == CmdFailure::kNone ? "works" : "fails"));
}

TEST(UsbUnplug, PrinterVanishingAfterTheFirstOfSeveralSettingsQueries) {
  UsbHost host;
  vp::Faults f;
  f.unplug_after_packets = 1;
  host.printer().Plug();
  host.printer().SetFaults(f);
  uint8_t value = 0;
  std::string name;
  const uint32_t start = host.NowMs();
  const bool first = host.esc().cmd_language(0, value);
  const bool second = host.esc().cmd_charset(0, value);
  const bool third = host.esc().cmd_blue_name(0, name);
  const uint32_t waited = host.NowMs() - start;
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  EXPECT_FALSE(third);
  EXPECT_EQ(host.esc().last_failure(), CmdFailure::kNoReply);
  EXPECT_LE(waited, 3000u + 3 * host.Slack());
  EXPECT_TRUE(host.LinkClosed());
  Record("Unplugged printer", "unplugged between the settings queries of one page read",
         "the query before answers, the later ones are refused (no reply) each within its "
         "time-out, link closed",
         std::string("first ") + (first ? "answered" : "refused") + ", second " +
             (second ? "answered" : "refused") + ", third " + (third ? "answered" : "refused") +
             " (" + CmdFailureText(host.esc().last_failure()) + "), link closed");
}

}  // namespace
}  // namespace quillon::faults
