// A printer link on a scripted USB printer, with recorders for message boxes and flow
// progress, for the output tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/flow_ui.h"
#include "core/messages.h"
#include "link/printer_link.h"
#include "protocol/esc_cmd.h"
#include "support/fake_clock.h"
#include "support/scripted_usb.h"

namespace quillon::testing {

class RecordingMessages final : public Messages {
 public:
  // The program's own numbered texts (MSG101 on) read as missing: their English sentences
  // show. The fixed ones (MSG0..) and the named ones (MSG_...) read as "text of KEY".
  std::string Text(const std::string& key) override {
    const bool present = key.rfind("MSG0", 0) == 0 || key.rfind("MSG_", 0) == 0;
    return present ? "text of " + key : "ERROR";
  }
  int MSGDLG(int kind, const std::string&, const std::string& text) override {
    boxes.emplace_back(kind, text);
    return kMsgResultOk;
  }
  std::vector<std::pair<int, std::string>> boxes;
};

class RecordingFlowUi final : public FlowUi {
 public:
  void ClearMemo() override {}
  void MemoLine(const std::string&) override {}
  void SetProgressMax(int64_t max) override { progress_max = max; }
  void SetProgress(int64_t position) override { progress.push_back(position); }
  Messages& messages() override { return msgs; }
  bool Cancelled() override { return cancel_after >= 0 && ++progress_checks > cancel_after; }

  RecordingMessages msgs;
  int64_t progress_max = -1;
  std::vector<int64_t> progress;
  int cancel_after = -1;  // cancel once this many bands went out (-1: never)
  int progress_checks = 0;
};

// A link that has found the scripted printer.
struct LinkFixture {
  FakeClock clock;
  FakeClockPump pump{clock};
  ScriptedUsb usb{&clock};
  PrinterLink link{usb, clock, pump};
  EscCmd esc{link};

  LinkFixture() {
    link.SetUsbIds("1fc9", "2016");
    link.FindPrinter();
  }
};

}  // namespace quillon::testing
