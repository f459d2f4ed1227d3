// Runs quillon-cli as a separate process and collects its exit code and output; starts
// the virtual printer program on a pseudo-terminal for the serial path.
#pragma once

#include <sys/types.h>

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

CliRun RunCli(const std::vector<std::string>& args);

// quillon-virtual-printer --pty --link <home>/port plus extra options; stopped on destruction.
class PtyPrinter {
 public:
  PtyPrinter(const CliHome& home, const std::vector<std::string>& options = {});
  ~PtyPrinter();
  bool ready() const { return ready_; }
  const std::string& port() const { return port_; }

 private:
  pid_t pid_ = -1;
  std::string port_;
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
