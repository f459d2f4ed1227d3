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
        "usage: quillon-cli devices\n  lists the USB printers with the configured identifiers (*: "
        "port path, serial number, path and route), the other USB devices and the serial ports\n",
        stdout);
    return kExitOk;
  }
  int code = 0;
  if (RejectLeftover(args, env, "devices", &code)) return code;
  LinkOptions link = env.link;
  if (link.kind == LinkOptions::Kind::kSerial) link.kind = LinkOptions::Kind::kUsb;
  const auto [vid, pid] = UsbIds(link, Files().ConfigFile());
  // The virtual printers show themselves with the identifiers searched for.
  if (link.kind == LinkOptions::Kind::kVirtual) link.usb_id = vid + ":" + pid;
  std::string error;
  auto res = LinkResources::Make(link, &error);
  if (!res) return env.out.Fail("devices", kExitNoPrinter, error);
  const std::string search = "vid_" + vid + "&pid_" + pid;
  std::vector<UsbDeviceInfo> devices;
  res->usb().ListDevices(devices);
  std::vector<std::string> ports;
  EnumComPorts(ports);

  // The printers first (every one with the configured identifiers, where it sits and how it
  // is reached), then the other USB devices, then the serial ports.
  std::string human, usb_json = "[", port_json = "[";
  int listed = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (const UsbDeviceInfo& d : devices) {
      const bool match = !vid.empty() && d.path.find(search) != std::string::npos;
      if (match != (pass == 0)) continue;
      if (match) {
        human += "* usb  " + (d.port_path.empty() ? std::string("-") : d.port_path) + "  " +
                 (d.serial.empty() ? std::string("-") : d.serial) + "  " + d.path +
                 (d.route.empty() ? "" : "  (" + d.route + ")") + "\n";
      } else {
        human += "  usb  " + d.path + "\n";
      }
      JsonObject o;
      o.Add("path", d.path).Add("printer", match);
      o.Add("port_path", d.port_path).Add("serial", d.serial).Add("route", d.route);
      usb_json += (listed++ ? "," : "") + o.str();
    }
  }
  for (size_t i = 0; i < ports.size(); ++i) {
    human += "  port " + ports[i] + "\n";
    port_json += (i ? "," : "") + JsonString(ports[i]);
  }
  if (devices.empty() && ports.empty()) human = "no USB devices and no serial ports found\n";
  JsonObject result;
  result.AddRaw("usb", usb_json + "]").AddRaw("ports", port_json + "]");
  env.out.Result("devices", result, human.substr(0, human.size() - 1));
  return kExitOk;
}

}  // namespace quillon::cli
