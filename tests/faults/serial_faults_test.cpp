// Reply faults over the serial path (TComm on the virtual printer's pseudo-terminal, real
// time), and the peer closing the terminal mid-exchange and mid-write, then coming back.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include "faults/fault_matrix.h"
#include "faults/reliability_table.h"
#include "link/serial/serial_path.h"
#include "link/serial/tcomm.h"
#include "support/scripted_usb.h"
#include "virtualprinter/pty_transport.h"

namespace quillon::faults {
namespace {

vp::VirtualPrinter::Options BlankFlash() {
  vp::VirtualPrinter::Options o;
  o.load_factory_font = false;
  return o;
}

// The link's pump: the port's notifications, plus a hook run once at the next wait.
class HookPump final : public MessagePump {
 public:
  explicit HookPump(QueueNotifier& queue) : queue_(queue) {}
  void ProcessMessages(uint32_t max_wait_ms) override {
    if (hook) {
      auto run = std::move(hook);
      hook = nullptr;
      run();
    }
    queue_.ProcessMessages(max_wait_ms);
  }
  std::function<void()> hook;

 private:
  QueueNotifier& queue_;
};

class SerialHost final : public Host {
 public:
  SerialHost() {
    char folder[] = "/tmp/quillon-faults-serial-XXXXXX";
    folder_ = mkdtemp(folder);
    port_ = folder_ + "/ttyPRN";
    ConfigureMainWindowPort(comm_);
    AttachSerialPort(link_, comm_);
  }
  ~SerialHost() override {
    comm_.StopComm();
    transport_.Stop();
    ::rmdir(folder_.c_str());
  }
  // Starts the printer's side (again) and opens the port by its stable name.
  ::testing::AssertionResult Connect() {
    std::string error;
    if (!transport_.Start(error, port_)) return ::testing::AssertionFailure() << error;
    const std::string open = ApplySerialChoice(link_, comm_, port_, "115200", true);
    if (!open.empty()) return ::testing::AssertionFailure() << open;
    return ::testing::AssertionSuccess();
  }
  EscCmd& esc() override { return esc_; }
  vp::VirtualPrinter& printer() override { return printer_; }
  uint32_t NowMs() override { return SystemClock().NowMs(); }
  bool LinkClosed() override { return !link_.USB().hDevHandle; }
  // Real time on a shared machine (sanitizers, parallel tests): only a hang may fail this.
  uint32_t Slack() const override { return 3000; }
  PrinterLink& link() { return link_; }
  TComm& comm() { return comm_; }
  vp::PtyTransport& transport() { return transport_; }
  HookPump& pump() { return pump_; }

 private:
  std::string folder_, port_;
  vp::VirtualPrinter printer_{BlankFlash()};
  vp::PtyTransport transport_{printer_};
  QueueNotifier notifier_;
  HookPump pump_{notifier_};
  quillon::testing::ScriptedUsb usb_;  // lists another printer: only the port can answer
  PrinterLink link_{usb_, SystemClock(), pump_};
  TComm comm_{notifier_};
  EscCmd esc_{link_};
};

// The boot loader's 10 s time-outs would make the serial table slow without adding a case
// the shorter families do not show.
bool ShortTimeout(const Family& family) {
  return family.timeout_ms <= 1000;
}

TEST(SerialReplyFaults, EveryFamilyMeetsEveryReplyFault) {
  SerialHost host;
  ASSERT_TRUE(host.Connect());
  for (const FaultCase& fault : ReplyFaultCases()) {
    // A reply later than its time-out would reach the next exchange on a serial line: the
    // protocol has no way to tell them apart, so that case belongs to USB only.
    if (fault.faults.delay_ms > 0) continue;
    Record("Replies over the serial path", fault.name, fault.expected,
           RunFaultCase(host, fault, ShortTimeout));
  }
}

std::string Answer(bool ok, EscCmd& esc) {
  return ok ? "answered" : std::string("refused (") + CmdFailureText(esc.last_failure()) + ")";
}

TEST(SerialPeer, ClosesMidExchangeThenThePortIsReopenedAndWorks) {
  SerialHost host;
  ASSERT_TRUE(host.Connect());
  uint8_t language = 0;
  ASSERT_TRUE(host.esc().cmd_language(0, language));

  // The printer holds its reply to the next packet, and its side goes away once that
  // packet is in: the hang-up comes while the query waits, never after a reply.
  host.printer().Plug();  // packets are counted for the faults from here
  const uint32_t before = host.printer().packets();
  vp::Faults hold;
  hold.drop_reply_to_packet = 1;
  host.printer().SetFaults(hold);
  bool hung_up = false;
  std::function<void()> hang_up_once_in = [&] {
    if (host.printer().packets() > before) {
      host.transport().Stop();
      hung_up = true;
    } else {
      host.pump().hook = hang_up_once_in;
    }
  };
  host.pump().hook = hang_up_once_in;
  const uint32_t start = host.NowMs();
  const bool during = host.esc().cmd_language(0, language);
  const uint32_t waited = host.NowMs() - start;
  host.pump().hook = nullptr;
  // On a machine too busy to deliver the packet within the time-out the query has failed
  // all the same (its reply is held); the side goes away once the packet is in.
  for (int turn = 0; turn < 1000 && !hung_up; ++turn) {
    host.pump().ProcessMessages(10);
    if (host.printer().packets() > before) hang_up_once_in();
  }
  ASSERT_TRUE(hung_up) << "the query never reached the printer";
  host.printer().SetFaults({});
  const std::string during_text = Answer(during, host.esc());
  EXPECT_FALSE(during);
  EXPECT_LE(waited, 1000u + host.Slack());

  // The hang-up closes the port, so the presence check tells the user; a command sent
  // anyway fails cleanly, until the port is opened again.
  // Waits on the port's own notifications; the limit only keeps a broken port from hanging.
  for (int turn = 0; turn < 1000 && host.comm().IsOpen(); ++turn) host.pump().ProcessMessages(10);
  const bool closed = !host.comm().IsOpen() && !SerialLinkReady(host.link());
  EXPECT_TRUE(closed);
  const bool later = host.esc().cmd_charset(0, language);
  EXPECT_FALSE(later);
  const std::string later_text = Answer(later, host.esc());
  ASSERT_TRUE(host.Connect());
  const bool reopened = host.esc().cmd_language(0, language);
  EXPECT_TRUE(reopened) << CmdFailureText(host.esc().last_failure());
  Record("Serial path", "the peer closes the terminal while a query waits",
         "the query is refused within its time-out, the port closes; opened again, it works",
         "query " + during_text + " within the time-out, port " +
             (closed ? "closed on the hang-up" : "LEFT OPEN") + ", next query " + later_text +
             "; " + "after reopening the port the query " + (reopened ? "answers" : "fails"));
}

TEST(SerialPeer, ClosesDuringALongWriteThenThePortIsReopenedAndWorks) {
  SerialHost host;
  ASSERT_TRUE(host.Connect());
  // 256 KiB of raw text: four blocks for the write worker, far more than the terminal holds.
  std::string text;
  while (text.size() < 256 * 1024) text += "fault campaign line of raw text\n";
  const auto start = std::chrono::steady_clock::now();
  host.link().SendAndRecv(reinterpret_cast<const uint8_t*>(text.data()),
                          static_cast<int32_t>(text.size()), {}, 0, 0);
  host.transport().Stop();  // while the write worker still has blocks to write
  host.comm().StopComm();   // must not wait for writes that can no longer go anywhere
  const auto stopped = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
  EXPECT_LT(stopped, 30000);  // a hang, not a slow machine
  ASSERT_TRUE(host.Connect());
  uint8_t language = 0;
  const bool reopened = host.esc().cmd_language(0, language);
  EXPECT_TRUE(reopened) << CmdFailureText(host.esc().last_failure());
  Record("Serial path", "the peer closes the terminal during a 256 KiB write",
         "the port closes without hanging; opened again, it works",
         std::string("port closed without hanging; after reopening the query ") +
             (reopened ? "answers" : "fails"));
}

}  // namespace
}  // namespace quillon::faults
