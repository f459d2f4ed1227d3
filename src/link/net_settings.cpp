#include "link/net_settings.h"

#include "core/ini_file.h"

namespace quillon {

NetSettings LoadNetSettings(const std::string& config_path) {
  IniFile ini(config_path);
  NetSettings s;
  s.host = ini.ReadString("NET", "HOST", "");
  const int64_t port = ini.ReadInteger("NET", "PORT", kDefaultPrinterPort);
  s.port = port >= 1 && port <= 65535 ? static_cast<uint16_t>(port) : kDefaultPrinterPort;
  s.use = ini.ReadInteger("NET", "USE", 0) != 0 && !s.host.empty();
  return s;
}

bool SaveNetSettings(const std::string& config_path, const NetSettings& settings) {
  IniFile ini(config_path);
  return ini.WriteString("NET", "HOST", settings.host) &&
         ini.WriteString("NET", "PORT", std::to_string(settings.port)) &&
         ini.WriteString("NET", "USE", settings.use ? "1" : "0");
}

void ApplyNetSettings(PrinterLink& link, TcpLink& net, const NetSettings& settings) {
  net.SetAddress({settings.host, settings.port});
  link.SetNetLink(&net);
  link.SetUseNetwork(settings.use && !settings.host.empty());
}

bool NetLinkAnswered(const PrinterLink& link) {
  const TcpLink* net = link.net_link();
  return net && !net->address().host.empty() && !net->last_open_failed();
}

}  // namespace quillon
