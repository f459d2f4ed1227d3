// wifi / net: the printer's Wi-Fi module and wired network settings.
#include <cstdint>
#include <cstdio>

#include "cli/commands.h"
#include "settings/net_records.h"

namespace quillon::cli {
namespace {

const char* kWifiHelp =
    "usage: quillon-cli wifi set [--ssid S] [--password P] [--dhcp | --static]\n"
    "                            [--ip A] [--mask M] [--gateway G] [--dns D]\n"
    "                            [--server-ip A] [--server-port N]\n"
    "       quillon-cli wifi reset      (sends 1B F0 to reset the Wi-Fi module)\n"
    "  defaults: ssid KORVALSMART, password quorbelin, DHCP on, ip 192.168.1.201,\n"
    "  mask 255.255.255.0, gateway and dns 192.168.1.1, server 192.168.1.100:61613\n";
const char* kNetHelp =
    "usage: quillon-cli net get\n"
    "       quillon-cli net set --ip A --mask M --gateway G [--dhcp]   (port is always 9100)\n";

std::string ValueOr(Args& args, const std::string& flag, const std::string& def) {
  auto v = args.Value(flag);
  return v ? *v : def;
}

int WifiSet(Args& args, CommandEnv& env) {
  WifiTexts t;
  t.ssid = ToPrinterText(ValueOr(args, "--ssid", "KORVALSMART"));
  t.password = ToPrinterText(ValueOr(args, "--password", "quorbelin"));
  bool dhcp = true;
  if (args.Flag("--static")) dhcp = false;
  if (args.Flag("--dhcp")) dhcp = true;
  t.ip = ToPrinterText(ValueOr(args, "--ip", "192.168.1.201"));
  t.mask = ToPrinterText(ValueOr(args, "--mask", "255.255.255.0"));
  t.gateway = ToPrinterText(ValueOr(args, "--gateway", "192.168.1.1"));
  t.dns = ToPrinterText(ValueOr(args, "--dns", "192.168.1.1"));
  t.server_ip = ToPrinterText(ValueOr(args, "--server-ip", "192.168.1.100"));
  std::string port_text = ValueOr(args, "--server-port", "61613");
  int code = 0;
  if (RejectLeftover(args, env, "wifi set", &code)) return code;
  auto port = ParseInt(port_text, INT32_MIN, INT32_MAX);
  if (!port) {
    return env.out.Fail("wifi set", kExitBadInput,
                        "'" + port_text + "' is not a valid port number");
  }
  std::string error;
  auto record = BuildWifiPar(t, dhcp, static_cast<int32_t>(*port), &error);
  if (!record) return env.out.Fail("wifi set", kExitBadInput, error);
  Session s(env.link, env.out);
  if (int c = s.Connect("wifi set")) return c;
  if (!s.esc().cmd_wifi_set(1, *record)) {
    return env.out.Fail("wifi set", kExitPrinterFailed, "Wi-Fi set failed: " + s.Why());
  }
  s.out().Result("wifi set", JsonObject().Add("dhcp", dhcp), "ok");
  return kExitOk;
}

int WifiReset(Args& args, CommandEnv& env) {
  int code = 0;
  if (RejectLeftover(args, env, "wifi reset", &code)) return code;
  Session s(env.link, env.out);
  if (int c = s.Connect("wifi reset")) return c;
  const uint8_t reset[2] = {0x1B, 0xF0};
  s.link().OpenUsb();
  s.link().SendAndRecv(reset, 2, {}, 0, 0);
  s.link().CloseUSB();
  if (int c = s.Deliver("wifi reset")) return c;
  s.out().Result("wifi reset", JsonObject(), "sent 1B F0");
  return kExitOk;
}

}  // namespace

int CmdWifi(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub) {
    std::fputs(kWifiHelp, stdout);
    return sub ? kExitOk : kExitUsage;
  }
  if (*sub == "set") return WifiSet(args, env);
  if (*sub == "reset") return WifiReset(args, env);
  return env.out.Fail("wifi", kExitUsage, "unknown wifi command '" + *sub + "'\n" + kWifiHelp);
}

int CmdNet(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub) {
    std::fputs(kNetHelp, stdout);
    return sub ? kExitOk : kExitUsage;
  }
  if (*sub == "get") {
    Args get({"net"});
    int code = 0;
    if (RejectLeftover(args, env, "net get", &code)) return code;
    return CmdGet(get, env);
  }
  if (*sub != "set") {
    return env.out.Fail("net", kExitUsage, "unknown net command '" + *sub + "'\n" + kNetHelp);
  }
  auto ip = args.Value("--ip"), mask = args.Value("--mask"), gw = args.Value("--gateway");
  bool dhcp = args.Flag("--dhcp");
  int code = 0;
  if (RejectLeftover(args, env, "net set", &code)) return code;
  if (!ip || !mask || !gw) {
    return env.out.Fail("net set", kExitUsage,
                        std::string("--ip, --mask and --gateway are needed\n") + kNetHelp);
  }
  std::string error;
  auto record = BuildNetPar(*ip, *mask, *gw, dhcp, &error);
  if (!record) return env.out.Fail("net set", kExitBadInput, error);
  Session s(env.link, env.out);
  if (int c = s.Connect("net set")) return c;
  if (!s.esc().cmd_net_set(1, *record)) {
    return env.out.Fail("net set", kExitPrinterFailed, "wired network set failed: " + s.Why());
  }
  s.out().Result("net set", JsonObject().Add("ip", DottedIp(record->ip())), "ok");
  return kExitOk;
}

}  // namespace quillon::cli
