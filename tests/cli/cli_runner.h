// Runs quillon-cli as a separate process and collects its exit code and output; starts
// the virtual printer program on a pseudo-terminal for the serial path.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace quillon::testing {

struct CliRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// A fresh program folder (config.ini and language files copied from the build) so runs
// never share state or logs with each other.
class CliHome {
 public:
  CliHome();
  ~CliHome();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs quillon-cli (or a copy of it at program) with args.
CliRun RunCli(const std::vector<std::string>& args, const std::string& program = QUILLON_CLI);

// quillon-cli running in the background (output to files in the home), for signals.
class CliChild {
 public:
  CliChild(const CliHome& home, const std::vector<std::string>& args);
  ~CliChild();
  pid_t pid() const { return pid_; }
  // Waits for the end; the exit code (128 + signal when killed).
  int Wait();
  std::string err() const;

 private:
  pid_t pid_ = -1;
  std::string err_path_;
};

// The whole content of a file ("" when it does not exist).
std::string ReadAll(const std::string& path);
// Waits until done() holds, looking again every 10 ms; false
// after limit_ms (a safety net, so that a failure does not hang the test).
bool WaitFor(const std::function<bool()>& done, int limit_ms = 10000);

// quillon-virtual-printer --pty --link <home>/port --capture <home>/capture.bin plus extra
// options; stopped on destruction.
class PtyPrinter {
 public:
  PtyPrinter(const CliHome& home, const std::vector<std::string>& options = {});
  ~PtyPrinter();
  bool ready() const { return ready_; }
  const std::string& port() const { return port_; }
  // Every byte the printer received, in order.
  const std::string& capture() const { return capture_; }

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;  // the program's standard output
  std::string port_;
  std::string capture_;
  bool ready_ = false;
};

// quillon-virtual-printer --tcp 127.0.0.1:0 plus extra options; address() is where it
// listens (empty when it did not start). Stopped on destruction.
class TcpPrinter {
 public:
  explicit TcpPrinter(const CliHome& home, const std::vector<std::string>& options = {});
  ~TcpPrinter();
  const std::string& address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
};

}  // namespace quillon::testing
