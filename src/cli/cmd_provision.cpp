// provision: one profile applied to the selected printer (any link), or with --each-usb to
// every attached printer at once, each step read back and the unit recorded.
#include <cstdio>

#include "cli/cli_link_resources.h"
#include "cli/production_cli.h"
#include "core/file_locations.h"

namespace quillon::cli {
namespace {

const char* kProvisionHelp =
    "usage: quillon-cli provision PROFILE [--records FILE|postgresql://...] [--operator NAME]\n"
    "                                     [--force]\n"
    "  applies the profile to the selected printer (USB, --port, --tcp, --virtual-printer);\n"
    "  with --each-usb to every attached printer at once. Each step is read back and\n"
    "  compared; the unit is recorded (records list). --force flashes the firmware even when\n"
    "  the printer already reports expect_info. Exit 0 PASS, 1 FAIL or interrupted,\n"
    "  3 no printer, 4 the profile is wrong (file:line says where).\n";

// The one printer a session has connected to, as a station's only port.
class SessionSource final : public production::PrinterSource {
 public:
  explicit SessionSource(Session& s) : s_(s) {
    const LinkOptions& o = s.options();
    switch (o.kind) {
      case LinkOptions::Kind::kSerial:
        port_ = {o.port, "serial", "", o.port};
        return;
      case LinkOptions::Kind::kNetwork:
        port_ = {o.tcp, "tcp", "", o.tcp};
        return;
      default:
        break;
    }
    port_.link = o.kind == LinkOptions::Kind::kVirtual ? "virtual" : "usb";
    port_.path = s.link().USB().PrintAddr;
    std::vector<UsbDeviceInfo> devices;
    s.link().backend().ListDevices(devices);
    for (const UsbDeviceInfo& d : devices) {
      if (d.path != port_.path) continue;
      port_.port = d.port_path;
      port_.usb_serial = d.serial;
    }
    if (port_.port.empty()) port_.port = port_.path;
  }

  std::vector<production::PortInfo> List() override { return {port_}; }
  void WaitForChange(uint32_t max_wait_ms, const StopRequest& stop) override {
    production::PauseWatchingStop(max_wait_ms, stop);
  }
  std::unique_ptr<production::UnitLink> Open(const production::PortInfo&, std::string*) override {
    return std::make_unique<Link>(s_);
  }

 private:
  class Link final : public production::UnitLink {
   public:
    explicit Link(Session& s) : s_(s) {}
    AppContext& context() override { return s_.context(); }
    SerialPortControl serial_control() override {
      return {[this](std::string& error) { return s_.RestartSerial(error); },
              [this] { s_.CloseSerial(); }};
    }
    std::string Deliver() override {
      return s_.Deliver("provision") == kExitOk ? "" : "not every byte reached the printer";
    }

   private:
    Session& s_;
  };

  Session& s_;
  production::PortInfo port_;
};

// The words of both forms of provision: PROFILE and the production options. -1 when they
// are in order; else the exit code (help shown, or the usage error reported).
int TakeProvisionWords(Args& args, CommandEnv& env, std::string& profile, ProductionArgs& p) {
  if (args.Help()) {
    std::fputs(kProvisionHelp, stdout);
    return kExitOk;
  }
  auto word = args.Next();
  int code = 0;
  if (!TakeProductionArgs(args, env, "provision", true, p, &code)) return code;
  if (RejectLeftover(args, env, "provision", &code)) return code;
  if (!word)
    return env.out.Fail("provision", kExitUsage, std::string("missing PROFILE\n") + kProvisionHelp);
  profile = *word;
  return -1;
}

}  // namespace

int CmdProvision(Args& args, CommandEnv& env) {
  std::string profile;
  ProductionArgs p;
  if (int c = TakeProvisionWords(args, env, profile, p); c >= 0) return c;
  int code = 0;
  auto plan = LoadProfile(env, "provision", profile, &code);
  if (!plan) return code;
  auto store = OpenStore(env, "provision", p, &code);
  if (!store) return code;
  Session s(env.link, env.out);
  if (int c = s.Connect("provision")) return c;
  SessionSource source(s);
  return RunStation(env, "provision", *plan, *store, source, p, true);
}

int CmdProvisionEachUsb(Args& args, CommandEnv& env) {
  std::string profile;
  ProductionArgs p;
  if (int c = TakeProvisionWords(args, env, profile, p); c >= 0) return c;
  int code = 0;
  LinkOptions link = env.link;
  if (link.kind == LinkOptions::Kind::kSerial || link.kind == LinkOptions::Kind::kNetwork)
    return env.out.Fail("provision", kExitUsage,
                        "--each-usb goes with USB printers, not --port or --tcp");
  if (!link.usb_select.empty())
    return env.out.Fail("provision", kExitUsage,
                        "--each-usb runs on every printer: leave out --usb PATH");
  auto plan = LoadProfile(env, "provision", profile, &code);
  if (!plan) return code;
  auto store = OpenStore(env, "provision", p, &code);
  if (!store) return code;
  const auto [vid, pid] = UsbIds(link, Files().ConfigFile());
  if (link.kind == LinkOptions::Kind::kVirtual) link.usb_id = vid + ":" + pid;
  std::string error;
  std::unique_ptr<LinkResources> res = LinkResources::Make(link, &error);
  if (!res) return env.out.Fail("provision", kExitNoPrinter, error);
  auto source = production::MakeUsbPrinterSource(
      res->usb(), vid, pid, link.kind == LinkOptions::Kind::kVirtual ? "virtual" : "usb");
  code = RunStation(env, "provision", *plan, *store, *source, p, true);
  if (!res->Finish(link, &error)) env.out.Fail("provision", kExitBadInput, error);
  return code;
}

}  // namespace quillon::cli
