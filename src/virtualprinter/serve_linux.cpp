// Serving on a pseudo-terminal; signals are taken synchronously by this thread, so the
// transport thread never sees them.
#include <signal.h>

#include <cstdio>
#include <ctime>

#include "virtualprinter/pty_transport.h"
#include "virtualprinter/serve.h"
#include "virtualprinter/tcp_transport.h"

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
  TcpTransport tcp(printer);
  std::FILE* capture = nullptr;
  if (!serve.capture.empty()) {
    capture = std::fopen(serve.capture.c_str(), "ab");
    if (!capture) {
      error = "cannot write " + serve.capture;
      return false;
    }
    pty.SetInputTap([capture](const uint8_t* data, size_t n) {
      std::fwrite(data, 1, n, capture);
      std::fflush(capture);
    });
  }
  auto fail = [&] {
    if (capture) std::fclose(capture);
    return false;
  };
  if (serve.pty && !pty.Start(error, serve.link)) return fail();
  if (serve.tcp && !tcp.Start(serve.tcp_address, serve.tcp_port, error)) {
    pty.Stop();
    return fail();
  }
  if (serve.pty) std::printf("port: %s\n", pty.port_path().c_str());
  if (!pty.link_path().empty()) std::printf("link: %s\n", pty.link_path().c_str());
  if (serve.tcp) std::printf("tcp: %s:%u\n", serve.tcp_address.c_str(), unsigned{tcp.port()});
  std::fflush(stdout);

  for (;;) {
    const timespec second{1, 0};
    const int sig = sigtimedwait(&signals, nullptr, &second);
    if (sig > 0) break;
    if (serve.every_second) serve.every_second();
  }
  pty.Stop();
  tcp.Stop();
  if (capture) std::fclose(capture);
  return true;
}

}  // namespace quillon::vp
