// station: stays running and provisions every USB printer as it is plugged in, one thread
// and link per port, one status line per port; --virtual-printer=N gives a bench of N
// virtual printers arriving one after another.
#include <cstdio>

#include "cli/cli_link_resources.h"
#include "cli/production_cli.h"
#include "core/file_locations.h"
#include "link/usb_backend_system.h"

namespace quillon::cli {
namespace {

const char* kStationHelp =
    "usage: quillon-cli station PROFILE [--records FILE|postgresql://...] [--operator NAME]\n"
    "                                   [--force]\n"
    "  provisions each USB printer as it is plugged in (one thread and link per port) and\n"
    "  records every unit. A port starts again only after its printer was unplugged and\n"
    "  another arrived. Ctrl-C (or SIGTERM) once: the units in progress finish, no new one\n"
    "  starts; twice: they stop at once and are recorded as interrupted.\n"
    "  With --virtual-printer=N, N virtual printers arrive one after another (at most 8 at a\n"
    "  time) and the station ends when the last has been provisioned.\n"
    "  Exit 0 when every unit passed, 1 when any failed or was interrupted.\n";

}  // namespace

int CmdStation(Args& args, CommandEnv& env) {
  if (args.Help()) {
    std::fputs(kStationHelp, stdout);
    return kExitOk;
  }
  auto profile = args.Next();
  int code = 0;
  ProductionArgs p;
  if (!TakeProductionArgs(args, env, "station", true, p, &code)) return code;
  if (RejectLeftover(args, env, "station", &code)) return code;
  if (!profile)
    return env.out.Fail("station", kExitUsage, std::string("missing PROFILE\n") + kStationHelp);
  const LinkOptions& link = env.link;
  if (link.kind == LinkOptions::Kind::kSerial || link.kind == LinkOptions::Kind::kNetwork)
    return env.out.Fail("station", kExitUsage,
                        "the station watches USB printers; provision a printer on --port or "
                        "--tcp with the provision command");
  if (!link.usb_select.empty())
    return env.out.Fail("station", kExitUsage,
                        "the station takes every printer: leave out --usb PATH");
  auto plan = LoadProfile(env, "station", *profile, &code);
  if (!plan) return code;
  auto store = OpenStore(env, "station", p, &code);
  if (!store) return code;
  const auto [vid, pid] = UsbIds(link, Files().ConfigFile());
  std::string error;
  std::unique_ptr<production::PrinterSource> source;
  std::unique_ptr<UsbBackend> backend;
  if (link.kind == LinkOptions::Kind::kVirtual) {
    production::VirtualBench bench;
    bench.count = link.virtual_count;
    bench.vid = vid;
    bench.pid = pid;
    bench.faults = link.vp_faults;
    // Each virtual printer keeps its state in a file of its own, as with --virtual-printer=N.
    if (!link.factory_state)
      bench.state_folder = link.state == Files().VirtualPrinterStateFile()
                               ? Files().VirtualPrinterStateFolder()
                               : link.state;
    source = production::MakeVirtualPrinterSource(bench, &error);
    if (!source) return env.out.Fail("station", kExitUsage, error);
  } else {
    if (vid.empty() || pid.empty())
      return env.out.Fail("station", kExitNoPrinter,
                          "no USB identifiers: set USB_VID and USB_PID in " + Files().ConfigFile() +
                              " or pass --usb VID:PID");
    backend = MakeSystemUsbBackend();
    source = production::MakeUsbPrinterSource(*backend, vid, pid);
  }
  return RunStation(env, "station", *plan, *store, *source, p, false);
}

}  // namespace quillon::cli
