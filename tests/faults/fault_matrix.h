// Runs every command family against the virtual printer with one reply fault switched on,
// checks the rules every scenario shares (a clear outcome, no wait beyond the time-out, the
// link closed, the printer answering normally afterwards) and sums the outcomes up for the
// reliability table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "faults/command_families.h"
#include "protocol/esc_cmd.h"
#include "virtualprinter/faults.h"
#include "virtualprinter/virtual_printer.h"

namespace quillon::faults {

// What the campaign needs of a host: USB on a fake clock, or the serial path in real time.
class Host {
 public:
  virtual ~Host() = default;
  virtual EscCmd& esc() = 0;
  virtual vp::VirtualPrinter& printer() = 0;
  virtual uint32_t NowMs() = 0;
  virtual bool LinkClosed() = 0;
  // Extra milliseconds a wait may take beyond its time-out (read slices, scheduling).
  virtual uint32_t Slack() const = 0;
};

enum class Rule {
  kRefuse,         // the command must fail
  kAccept,         // the command must succeed with the value of a clean run
  kRefuseOrRight,  // either, but never a success with another value
};

struct FaultCase {
  const char* name;
  const char* expected;
  vp::Faults faults;
  Rule rule;
  bool unplug = false;  // the printer vanishes before the command
};

// The reply faults every family meets, over USB and over the serial path.
const std::vector<FaultCase>& ReplyFaultCases();

// Runs the case on every family the filter lets through and returns the observed text
// ("<families>: <outcome>; ..."); failures of the shared rules are reported through gtest.
std::string RunFaultCase(Host& host, const FaultCase& fault, bool (*use)(const Family&) = nullptr);

}  // namespace quillon::faults
