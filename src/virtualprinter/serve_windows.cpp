// Serving on a COM port until Ctrl+C, Ctrl+Break or the console closes.
#include <windows.h>

#include <cstdio>

#include "virtualprinter/com_transport.h"
#include "virtualprinter/serve.h"

namespace quillon::vp {
namespace {

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
  SetEvent(g_stop);
  return TRUE;
}

}  // namespace

bool ServeUntilStopped(VirtualPrinter& printer, const SerialServe& serve, std::string& error) {
  if (serve.port.empty()) {
    error = "there are no pseudo-terminals on Windows: serve on a COM port with --port COMn";
    return false;
  }
  g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!g_stop) {
    error = "cannot create an event";
    return false;
  }
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  ComTransport com(printer);
  if (!com.Start(serve.port, serve.baud, error)) return false;
  std::printf("port: %s\n", com.port().c_str());
  std::fflush(stdout);
  while (WaitForSingleObject(g_stop, 1000) == WAIT_TIMEOUT) {
    if (serve.every_second) serve.every_second();
  }
  com.Stop();
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  return true;
}

}  // namespace quillon::vp
