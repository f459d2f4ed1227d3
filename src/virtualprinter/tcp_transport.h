// The virtual printer on a TCP port, as a network printer serves raw print data: one
// client at a time (others wait in the listen queue until it leaves), input fed to the
// engine, replies written back. A printer that vanishes closes its connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "virtualprinter/virtual_printer.h"

namespace quillon::vp {

class TcpTransport {
 public:
  explicit TcpTransport(VirtualPrinter& printer) : printer_(printer) {}
  ~TcpTransport() { Stop(); }
  TcpTransport(const TcpTransport&) = delete;
  TcpTransport& operator=(const TcpTransport&) = delete;

  // Listens on address (an IPv4 address) and port (0: any free port) and starts the
  // thread. False with a reason in error.
  bool Start(const std::string& address, uint16_t port, std::string& error);
  // Stops the thread and closes every socket. Safe to call twice.
  void Stop();

  uint16_t port() const { return port_; }
  // Clients taken so far.
  uint32_t clients() const { return clients_; }

 private:
  void Run();
  void Wake();
  void Serve(int client);

  VirtualPrinter& printer_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<uint32_t> clients_{0};
  std::thread thread_;
};

}  // namespace quillon::vp
