// The virtual printer behind a Windows COM port (the printer's end of a null-modem pair,
// such as a pair of virtual ports): a thread reads the port with overlapped I/O, feeds the
// engine and writes its replies.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "virtualprinter/virtual_printer.h"

namespace quillon::vp {

class ComTransport {
 public:
  explicit ComTransport(VirtualPrinter& printer) : printer_(printer) {}
  ~ComTransport() { Stop(); }
  ComTransport(const ComTransport&) = delete;
  ComTransport& operator=(const ComTransport&) = delete;

  // Opens the port ("COM7" or a device path) raw at the given rate and starts the thread.
  // False with a reason in error.
  bool Start(const std::string& port, uint32_t baud, std::string& error);
  // Stops the thread and closes the port. Safe to call twice.
  void Stop();
  const std::string& port() const { return port_; }

 private:
  void Run();

  VirtualPrinter& printer_;
  void* port_handle_ = nullptr;  // HANDLE
  void* wake_ = nullptr;         // HANDLE: an auto-reset event for replies and stopping
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::string port_;
};

}  // namespace quillon::vp
