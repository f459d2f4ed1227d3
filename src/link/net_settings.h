// The network printer's settings in config.ini section [NET] (HOST, PORT, USE) and how
// they are put into the printer link.
#pragma once

#include <cstdint>
#include <string>

#include "link/printer_link.h"
#include "link/tcp_link.h"

namespace quillon {

struct NetSettings {
  std::string host;
  uint16_t port = kDefaultPrinterPort;
  bool use = false;  // the network printer is the link
};

// Missing keys give the defaults; a port outside 1..65535 gives 9100.
NetSettings LoadNetSettings(const std::string& config_path);
bool SaveNetSettings(const std::string& config_path, const NetSettings& settings);

// Points the network link at the address and sets UseNetwork (never without a host).
void ApplyNetSettings(PrinterLink& link, TcpLink& net, const NetSettings& settings);

// The presence poll's view of the network printer: an address is set and the last
// connection to it did not fail (the poll itself never connects).
bool NetLinkAnswered(const PrinterLink& link);

}  // namespace quillon
