// A thousand sends over the virtual printer's pseudo-terminal while four processes keep
// both processors busy: each send may report success only for bytes that reach the
// printer, so the printer must receive every byte of every send, in order.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli_runner.h"

namespace quillon::testing {
namespace {

// Processes that only burn processor time, stopped by their process ids.
class CpuBurners {
 public:
  explicit CpuBurners(int count) {
    for (int i = 0; i < count; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        (void)prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a crashed test
        volatile unsigned long spin = 0;
        for (;;) {
          spin = spin + 1;
        }
      }
      if (pid > 0) pids_.push_back(pid);
    }
  }
  ~CpuBurners() {
    for (const pid_t pid : pids_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  size_t size() const { return pids_.size(); }

 private:
  std::vector<pid_t> pids_;
};

TEST(CliSerialSoak, AThousandSendsArriveWholeAndInOrderBesideBusyProcessors) {
  CliHome home;
  PtyPrinter printer(home);
  ASSERT_TRUE(printer.ready());
  CpuBurners burners(4);
  ASSERT_EQ(burners.size(), 4u);
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    // Mostly short lines; every fiftieth is more than the printer side's input buffer holds.
    std::string line = "soak line " + std::to_string(i) + " ";
    line += i % 50 == 49 ? std::string(5000, static_cast<char>('a' + i % 26)) : "0123456789";
    const std::vector<std::string> args = {"--home", home.path(), "--port", printer.port(),
                                           "send",   "text",      line};
    const CliRun run = RunCli(args);
    ASSERT_EQ(run.exit_code, 0) << "send " << i << ": " << run.err;
    expected += line;
  }
  EXPECT_TRUE(WaitFor([&] { return ReadAll(printer.capture()).size() >= expected.size(); }, 60000));
  const std::string got = ReadAll(printer.capture());
  size_t same = 0;
  while (same < got.size() && same < expected.size() && got[same] == expected[same]) ++same;
  EXPECT_TRUE(got == expected) << "received " << got.size() << " of " << expected.size()
                               << " bytes; first difference at byte " << same << ": expected \""
                               << expected.substr(same, 30) << "\", received \""
                               << got.substr(same, 30) << "\"";
}

}  // namespace
}  // namespace quillon::testing
