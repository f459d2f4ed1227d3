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
  bool tcp = false;             // serve as a network printer (POSIX)
  std::string tcp_address;      // listening address, "127.0.0.1" by default
  uint16_t tcp_port = 0;        // 0: any free port
  std::string capture;          // append every byte received on the serial line here
  std::function<void()> every_second;  // run on the serving thread about once a second
};

// Prints the port ("port: ...") and serves until Ctrl+C (or SIGTERM, SIGHUP). False, with
// the reason in error, when serving cannot start.
bool ServeUntilStopped(VirtualPrinter& printer, const SerialServe& serve, std::string& error);

}  // namespace quillon::vp
