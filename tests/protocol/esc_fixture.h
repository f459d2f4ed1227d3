// A command object wired to a scripted printer, a fake clock and a pump that moves it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"
#include "virtualprinter/wire_frame.h"

namespace quillon::testing {

using Bytes = std::vector<uint8_t>;

class EscCmdTest : public ::testing::Test {
 protected:
  EscCmdTest() {
    link.SetUsbIds("1fc9", "2016");
    link.FindPrinter();
  }

  // An ordinary reply frame with a correct checksum, built as the printer's side builds it.
  static Bytes Reply(uint8_t code, Bytes data, uint8_t kind = kKindOrdinary) {
    return vp::BuildPacket(kind, code, 0, data);
  }
  // The reply to the next write: queued when the request arrives, after any drain.
  void AnswerWith(Bytes reply) {
    usb.on_write = [reply](const Bytes&, ScriptedUsb& u) { u.QueueReply(reply); };
  }
  const Bytes& LastWrite() const {
    static const Bytes kNone;
    return usb.writes.empty() ? kNone : usb.writes.back();
  }
  Bytes Sent() const { return Bytes(esc.cmdbuf, esc.cmdbuf + esc.cmdsize); }

  FakeClock clock{1000};
  ScriptedUsb usb{&clock};
  FakeClockPump pump{clock};
  PrinterLink link{usb, clock, pump};
  EscCmd esc{link};
};

}  // namespace quillon::testing
