// Every fault switch, seen from the host's builders and from the reply queue.

#include <gtest/gtest.h>

#include <thread>

#include "vp_rig.h"

namespace quillon::vp::testing {
namespace {

bool Language(VpRig& rig) {
  uint8_t v = 0;
  return rig.esc.cmd_language(0, v);
}

TEST(VirtualPrinterFaults, DroppedRepliesFailOnlyTheirPackets) {
  VpRig rig;
  Faults f;
  f.drop_reply_to_packet = 2;
  rig.printer.SetFaults(f);
  EXPECT_TRUE(Language(rig));
  EXPECT_FALSE(Language(rig));
  EXPECT_EQ(rig.esc.last_failure(), CmdFailure::kNoReply);
  EXPECT_TRUE(Language(rig));

  f = Faults{};
  f.drop_replies_to_code = 0xA5;
  rig.printer.SetFaults(f);
  uint8_t v = 3;
  EXPECT_FALSE(rig.esc.cmd_blackness(1, v));
  EXPECT_EQ(rig.printer.state().settings.blackness, 3);  // carried out, just not answered
  EXPECT_FALSE(rig.esc.cmd_blackness(0, v));
  EXPECT_TRUE(Language(rig));
}

TEST(VirtualPrinterFaults, MangledRepliesFailTheReplyCheck) {
  VpRig rig;
  Faults f;
  f.corrupt_checksum = true;
  rig.printer.SetFaults(f);
  EXPECT_FALSE(Language(rig));
  EXPECT_EQ(rig.esc.last_failure(), CmdFailure::kBadChecksum);

  f = Faults{};
  f.length_delta = 1;
  rig.printer.SetFaults(f);
  EXPECT_FALSE(Language(rig));
  EXPECT_EQ(rig.esc.last_failure(), CmdFailure::kWrongLength);
  EXPECT_EQ(rig.esc.retsize, 9);

  f.length_delta = -2;
  rig.printer.SetFaults(f);
  EXPECT_FALSE(Language(rig));
  EXPECT_EQ(rig.esc.retsize, 6);

  f = Faults{};
  f.size_excess = 4;
  rig.printer.SetFaults(f);
  std::string name;
  EXPECT_FALSE(rig.esc.cmd_blue_name(0, name));
  EXPECT_EQ(rig.esc.last_failure(), CmdFailure::kBadReply);
  EXPECT_TRUE(name.empty());

  // Limited to one code, the other commands are answered cleanly.
  f = Faults{};
  f.corrupt_checksum = true;
  f.fault_code = 0xA5;
  rig.printer.SetFaults(f);
  EXPECT_TRUE(Language(rig));
  uint8_t v = 0;
  EXPECT_FALSE(rig.esc.cmd_blackness(0, v));
}

TEST(VirtualPrinterFaults, DelayedAndSplitRepliesArriveLater) {
  VpRig rig;
  Faults f;
  f.delay_ms = 300;
  rig.printer.SetFaults(f);
  const auto query = MakeFrame(kKindOrdinary, 0xA1, 0, {});
  EXPECT_TRUE(Exchange(rig.printer, query).empty());
  EXPECT_EQ(rig.printer.MsUntilReply(), 300);
  rig.clock.Advance(300);
  uint8_t buf[16];
  EXPECT_EQ(rig.printer.TakeReply(buf, sizeof buf), 8u);
  EXPECT_TRUE(Language(rig));  // within the host's 1000 ms
  f.delay_ms = 1500;
  rig.printer.SetFaults(f);
  EXPECT_FALSE(Language(rig));
  EXPECT_EQ(rig.esc.last_failure(), CmdFailure::kNoReply);

  rig.printer.DiscardReplies();  // the late reply nobody waited for
  f = Faults{};
  f.split_gap_ms = 50;
  rig.printer.SetFaults(f);
  EXPECT_EQ(Exchange(rig.printer, query).size(), 4u);
  EXPECT_EQ(rig.printer.MsUntilReply(), 50);
  rig.clock.Advance(50);
  EXPECT_EQ(rig.printer.TakeReply(buf, sizeof buf), 4u);
  EXPECT_TRUE(Language(rig));  // the host puts the two halves together
}

TEST(VirtualPrinterFaults, UnplugAfterNPacketsAndPlugBackIn) {
  VpRig rig;
  Faults f;
  f.unplug_after_packets = 2;
  rig.printer.SetFaults(f);
  EXPECT_TRUE(Language(rig));
  EXPECT_TRUE(Language(rig));
  EXPECT_FALSE(Language(rig));
  rig.link.FindPrinter();
  EXPECT_FALSE(rig.link.USB().isFindPrint);
  EXPECT_FALSE(rig.link.OpenUsb());

  rig.printer.SetFaults(Faults{});
  rig.usb.Plug();
  rig.link.FindPrinter();
  ASSERT_TRUE(rig.link.USB().isFindPrint);
  EXPECT_TRUE(Language(rig));

  // Pulled while open: the device reads -1 and writes fail.
  ASSERT_TRUE(rig.link.OpenUsb());
  rig.usb.Unplug();
  uint8_t buf[8];
  EXPECT_EQ(rig.link.USB().hDevHandle->Read(buf, sizeof buf, 10), -1);
  EXPECT_FALSE(rig.link.USB().hDevHandle->Write(buf, 1));
}

TEST(VirtualPrinterFaults, RealTimeWaitsWakeForLateRepliesAndForAnUnplug) {
  VirtualPrinter printer(BlankFlash());  // the system clock: waits block on the engine
  Faults f;
  f.delay_ms = 20;
  printer.SetFaults(f);
  const auto query = MakeFrame(kKindOrdinary, 0xA1, 0, {});
  printer.Receive(query.data(), query.size());
  uint8_t buf[16];
  EXPECT_EQ(printer.WaitReply(buf, sizeof buf, 10000), 8);

  std::thread pull([&] { printer.Unplug(); });
  EXPECT_EQ(printer.WaitReply(buf, sizeof buf, 10000), -1);
  pull.join();
}

TEST(VirtualPrinterFaults, RefusedTextSetsChangeNothing) {
  VpRig rig;
  Faults f;
  f.refuse_text_sets = true;
  rig.printer.SetFaults(f);
  std::string name = "NewName";
  EXPECT_FALSE(rig.esc.cmd_blue_name(1, name));
  EXPECT_EQ(rig.esc.last_failure(), CmdFailure::kRefused);
  EXPECT_EQ(rig.printer.state().settings.blue_name, PrinterSettings().blue_name);
  std::string got;
  EXPECT_TRUE(rig.esc.cmd_blue_name(0, got));  // queries still work
}

}  // namespace
}  // namespace quillon::vp::testing
