// devices: the USB devices present (the ones matching the configured printer marked) and
// the serial ports.
#include <cstdio>

#include "cli/cli_link_resources.h"
#include "cli/commands.h"
#include "core/file_locations.h"
#include "core/ini_file.h"
#include "link/serial/enum_com_ports.h"

namespace quillon::cli {

int CmdDevices(Args& args, CommandEnv& env) {
  if (args.Help()) {
    std::fputs(
        "usage: quillon-cli devices\n  lists USB devices (* = the configured printer) and serial "
        "ports\n",
        stdout);
    return kExitOk;
  }
  int code = 0;
  if (RejectLeftover(args, env, "devices", &code)) return code;
  LinkOptions link = env.link;
  if (link.kind == LinkOptions::Kind::kSerial) link.kind = LinkOptions::Kind::kUsb;
  std::string error;
  auto res = LinkResources::Make(link, &error);
  if (!res) return env.out.Fail("devices", kExitNoPrinter, error);

  IniFile config(Files().ConfigFile());
  std::string vid = config.ReadString("SYSTEM", "USB_VID", "");
  std::string pid = config.ReadString("SYSTEM", "USB_PID", "");
  if (!link.usb_id.empty()) {
    auto colon = link.usb_id.find(':');
    vid = link.usb_id.substr(0, colon);
    pid = colon == std::string::npos ? "" : link.usb_id.substr(colon + 1);
  }
  if (link.kind == LinkOptions::Kind::kVirtual && link.usb_id.empty()) {
    vid = "c0de";
    pid = "7001";
  }
  const std::string search = "vid_" + vid + "&pid_" + pid;
  std::vector<std::string> paths;
  res->usb().ListDevicePaths(paths);
  std::vector<std::string> ports;
  EnumComPorts(ports);

  std::string human, usb_json = "[", port_json = "[";
  for (size_t i = 0; i < paths.size(); ++i) {
    const bool match = !vid.empty() && paths[i].find(search) != std::string::npos;
    human += std::string(match ? "* " : "  ") + "usb  " + paths[i] + "\n";
    JsonObject o;
    o.Add("path", paths[i]).Add("printer", match);
    usb_json += (i ? "," : "") + o.str();
  }
  for (size_t i = 0; i < ports.size(); ++i) {
    human += "  port " + ports[i] + "\n";
    port_json += (i ? "," : "") + JsonString(ports[i]);
  }
  if (paths.empty() && ports.empty()) human = "no USB devices and no serial ports found\n";
  JsonObject result;
  result.AddRaw("usb", usb_json + "]").AddRaw("ports", port_json + "]");
  env.out.Result("devices", result, human.substr(0, human.size() - 1));
  return kExitOk;
}

}  // namespace quillon::cli
