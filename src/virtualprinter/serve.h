// The virtual printer program's serial serving, until the user stops it: a pseudo-terminal
// on Linux, a COM port on Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "virtualprinter/virtual_printer.h"

namespace quillon::vp {

struct SerialServe {
  bool pty = false;  // Linux: serve on a new pseudo-terminal
  std::string link;  // Linux: also a symbolic link to it here
  std::string port;  // Windows: the COM port to serve on
  uint32_t baud = 115200;
  std::function<void()> every_second;  // run on the serving thread about once a second
};

// Prints the port ("port: ...") and serves until Ctrl+C (or SIGTERM, SIGHUP). False, with
// the reason in error, when serving cannot start.
bool ServeUntilStopped(VirtualPrinter& printer, const SerialServe& serve, std::string& error);

}  // namespace quillon::vp
