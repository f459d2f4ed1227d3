// The busy guard: one printer command at a time, with a note when one is refused.
#include "session/printer_command.h"

#include <gtest/gtest.h>

#include <map>

#include "support/fake_clock.h"
#include "support/scripted_usb.h"

namespace quillon {
namespace {

class NoMessages final : public Messages {
 public:
  std::string Text(const std::string& key) override {
    auto it = texts.find(key);
    return it == texts.end() ? "ERROR" : it->second;
  }
  int MSGDLG(int, const std::string&, const std::string&) override { return 1; }
  std::map<std::string, std::string> texts;
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
    PrinterCommand second(ctx, msgkey::kBusyFont);
    EXPECT_FALSE(second);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], "busy: a printer command");  // the running one, not the refused one
  }
  {
    // The note comes from the message file, naming the outermost operation.
    messages.texts = {{msgkey::kBusy, "正忙：{what}"}, {msgkey::kBusyFirmware, "固件更新"}};
    PrinterLink::BusyScope flow(link, BusyWhat(messages, msgkey::kBusyFirmware));
    PrinterCommand inner(ctx);
    EXPECT_FALSE(inner);
    EXPECT_EQ(notes.back(), "正忙：固件更新");
    messages.texts.clear();
  }
  EXPECT_TRUE(link.BusyWhat().empty());
  EXPECT_FALSE(link.Busy());
  PrinterCommand again(ctx);
  EXPECT_TRUE(again);
  EXPECT_EQ(notes.size(), 2u);

  ctx.StatusNote = nullptr;  // a context without a status bar refuses silently
  PrinterCommand refused(ctx);
  EXPECT_FALSE(refused);
}

TEST(MessageText, FieldsAreFilledOnceAndUnknownOnesStay) {
  // A value holding braces (a path) is never read as a field; a stray brace is kept.
  EXPECT_EQ(FillFields("{a} {b} {a} {c} {", {{"a", "{b}"}, {"b", "x"}}), "{b} x {b} {c} {");
  NoMessages messages;
  EXPECT_EQ(TextOr(messages, "MSG101", "fallback"), "fallback");
  messages.texts = {{"MSG101", "text"}};
  EXPECT_EQ(TextOr(messages, "MSG101", "fallback"), "text");
}

}  // namespace
}  // namespace quillon
