// The virtual printer behind a pseudo-terminal, so the serial path reaches it through the
// real termios code: a thread polls the master side, feeds the engine and writes replies.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "virtualprinter/virtual_printer.h"

namespace quillon::vp {

class PtyTransport {
 public:
  explicit PtyTransport(VirtualPrinter& printer) : printer_(printer) {}
  ~PtyTransport() { Stop(); }
  PtyTransport(const PtyTransport&) = delete;
  PtyTransport& operator=(const PtyTransport&) = delete;

  // Opens the pseudo-terminal (raw mode) and starts the thread. With a link path, a
  // symbolic link to the port is put there (an existing symbolic link is replaced, any
  // other file is left alone and the start fails). False with a reason in error.
  bool Start(std::string& error, const std::string& link_path = "");
  // Stops the thread, closes the terminal and removes the link. Safe to call twice.
  void Stop();

  // Sees every byte the host sent, in order, before the printer does (set before Start).
  void SetInputTap(std::function<void(const uint8_t*, size_t)> tap) { tap_ = std::move(tap); }

  // The port to open, e.g. /dev/pts/7.
  const std::string& port_path() const { return port_path_; }
  const std::string& link_path() const { return link_path_; }

 private:
  void Run();
  void Wake();

  VirtualPrinter& printer_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the master never sees a hang-up between host sessions
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::function<void(const uint8_t*, size_t)> tap_;
  std::thread thread_;
  std::string port_path_;
  std::string link_path_;
};

}  // namespace quillon::vp
