// The busy guard: one printer command at a time, with a note when one is refused.
#include "core/printer_command.h"

#include <gtest/gtest.h>

#include "support/fake_clock.h"
#include "support/scripted_usb.h"

namespace quillon {
namespace {

class NoMessages final : public Messages {
 public:
  std::string Text(const std::string&) override { return "ERROR"; }
  int MSGDLG(int, const std::string&, const std::string&) override { return 1; }
};

TEST(PrinterCommand, RefusesWhileAnotherCommandRunsAndTellsTheUser) {
  testing::FakeClock clock;
  testing::FakeClockPump pump(clock);
  testing::ScriptedUsb usb(&clock);
  PrinterLink link(usb, clock, pump);
  EscCmd esc(link);
  NoMessages messages;
  std::vector<std::string> notes;
  AppContext ctx{link,     esc,
                 messages, [] { return true; },
                 "EN",     [&](const std::string& n) { notes.push_back(n); },
                 nullptr};
  {
    PrinterCommand first(ctx);
    ASSERT_TRUE(first);
    EXPECT_TRUE(link.Busy());
    PrinterCommand second(ctx);
    EXPECT_FALSE(second);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], BusyNote("EN"));
  }
  EXPECT_FALSE(link.Busy());
  PrinterCommand again(ctx);
  EXPECT_TRUE(again);
  EXPECT_EQ(notes.size(), 1u);

  ctx.StatusNote = nullptr;  // a context without a status bar refuses silently
  PrinterCommand refused(ctx);
  EXPECT_FALSE(refused);
}

}  // namespace
}  // namespace quillon
