// Serving on a pseudo-terminal; signals are taken synchronously by this thread, so the
// transport thread never sees them.
#include <signal.h>

#include <cstdio>
#include <ctime>

#include "virtualprinter/pty_transport.h"
#include "virtualprinter/serve.h"

namespace quillon::vp {

bool ServeUntilStopped(VirtualPrinter& printer, const SerialServe& serve, std::string& error) {
  if (!serve.port.empty()) {
    error = "--port serves a Windows COM port; here the port is a pseudo-terminal (--pty)";
    return false;
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  PtyTransport pty(printer);
  if (!pty.Start(error, serve.link)) return false;
  std::printf("port: %s\n", pty.port_path().c_str());
  if (!pty.link_path().empty()) std::printf("link: %s\n", pty.link_path().c_str());
  std::fflush(stdout);

  for (;;) {
    const timespec second{1, 0};
    const int sig = sigtimedwait(&signals, nullptr, &second);
    if (sig > 0) break;
    if (serve.every_second) serve.every_second();
  }
  pty.Stop();
  return true;
}

}  // namespace quillon::vp
