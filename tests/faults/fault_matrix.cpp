// The shared run of one reply fault over every command family.
#include "faults/fault_matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quillon::faults {
namespace {

std::string Outcome(const FamilyRun& run, const FamilyRun& clean, CmdFailure failure) {
  if (!run.ok) return std::string("refused (") + CmdFailureText(failure) + ")";
  return run.value == clean.value ? "accepted with the right value" : "ACCEPTED A WRONG VALUE";
}

vp::Faults With(void (*set)(vp::Faults&)) {
  vp::Faults f;
  set(f);
  return f;
}

}  // namespace

const std::vector<FaultCase>& ReplyFaultCases() {
  static const std::vector<FaultCase> cases = {
      {"reply dropped", "refused (no reply) within the time-out",
       With([](vp::Faults& f) { f.drop_reply_to_packet = 1; }), Rule::kRefuse},
      {"reply checksum corrupted", "refused (bad checksum)",
       With([](vp::Faults& f) { f.corrupt_checksum = true; }), Rule::kRefuse},
      {"reply truncated by 2 bytes", "refused", With([](vp::Faults& f) { f.length_delta = -2; }),
       Rule::kRefuse},
      {"reply 5 bytes too long", "refused, or the whole frame in it taken with the right value",
       With([](vp::Faults& f) { f.length_delta = 5; }), Rule::kRefuseOrRight},
      {"reply split in two 30 ms apart", "accepted with the right value",
       With([](vp::Faults& f) { f.split_gap_ms = 30; }), Rule::kAccept},
      {"reply size field claims 40 bytes more than sent", "refused, nothing read past what arrived",
       With([](vp::Faults& f) { f.size_excess = 40; }), Rule::kRefuse},
      {"reply arrives after the time-out", "refused (no reply); the late reply answers nothing",
       With([](vp::Faults& f) { f.delay_ms = 12000; }), Rule::kRefuse},
      {"printer unplugged before the command", "refused (no reply), link closed", vp::Faults{},
       Rule::kRefuse, true},
  };
  return cases;
}

std::string RunFaultCase(Host& host, const FaultCase& fault, bool (*use)(const Family&)) {
  // Outcome -> the families that showed it, in table order.
  std::vector<std::pair<std::string, std::vector<std::string>>> groups;
  for (const Family& family : CommandFamilies()) {
    if (use && !use(family)) continue;
    SCOPED_TRACE(std::string(family.name) + " / " + fault.name);
    vp::VirtualPrinter& printer = host.printer();
    printer.SetFaults({});
    printer.Plug();
    const FamilyRun clean = family.run(host.esc());
    EXPECT_TRUE(clean.ok) << "a clean run must succeed: "
                          << CmdFailureText(host.esc().last_failure());

    printer.Plug();  // counts packets from here
    printer.SetFaults(fault.faults);
    if (fault.unplug) printer.Unplug();
    const uint32_t start = host.NowMs();
    const FamilyRun run = family.run(host.esc());
    const uint32_t waited = host.NowMs() - start;
    const CmdFailure failure = host.esc().last_failure();

    EXPECT_LE(waited, family.timeout_ms + host.Slack()) << "waited beyond the time-out";
    EXPECT_TRUE(host.LinkClosed()) << "the link stays open";
    if (!run.ok) {
      EXPECT_NE(failure, CmdFailure::kNone) << "a failure without a reason";
    }
    switch (fault.rule) {
      case Rule::kRefuse:
        EXPECT_FALSE(run.ok) << "accepted a faulty reply";
        break;
      case Rule::kAccept:
        EXPECT_TRUE(run.ok) << CmdFailureText(failure);
        EXPECT_EQ(run.value, clean.value);
        break;
      case Rule::kRefuseOrRight:
        if (run.ok) {
          EXPECT_EQ(run.value, clean.value);
        }
        break;
    }
    const std::string outcome = Outcome(run, clean, failure);

    // Nothing damaged: with the fault gone the printer answers as before.
    printer.SetFaults({});
    printer.Plug();
    const FamilyRun after = family.run(host.esc());
    EXPECT_TRUE(after.ok) << "the next exchange fails: "
                          << CmdFailureText(host.esc().last_failure());
    EXPECT_EQ(after.value, clean.value);

    auto it = std::find_if(groups.begin(), groups.end(),
                           [&](const auto& g) { return g.first == outcome; });
    if (it == groups.end()) {
      groups.push_back({outcome, {}});
      it = groups.end() - 1;
    }
    it->second.push_back(family.name);
  }
  std::string observed;
  for (const auto& [outcome, names] : groups) {
    if (!observed.empty()) observed += "; ";
    if (groups.size() == 1) {
      observed += "every family " + outcome;
    } else {
      for (size_t i = 0; i < names.size(); ++i) observed += (i ? ", " : "") + names[i];
      observed += ": " + outcome;
    }
  }
  return observed + "; link closed, no wait past the time-out, the next exchange works";
}

}  // namespace quillon::faults
