// Filling and showing the network records: dotted addresses for the wired record, the
// Wi-Fi record's texts with their field limits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/records.h"

namespace quillon {

// "a.b.c.d" -> a + b*2^8 + c*2^16 + d*2^24. Groups are added, not masked, so a group above
// 255 carries into the next byte. Spaces around a group are ignored; an empty text gives 0.
// nullopt when a group is blank or not a whole number (the caller shows a conversion error).
std::optional<uint32_t> ip2Int(const std::string& strIP);
// The four bytes from lowest to highest, each "%.3d", joined by dots: "192.168.001.201".
std::string int2Ip(uint32_t intIP);
// The same address in canonical dotted form ("192.168.1.100"), for scripts.
std::string DottedIp(uint32_t intIP);

// The Wi-Fi dialog's texts, already converted to the printer's code page.
struct WifiTexts {
  std::string ssid, password, ip, mask, gateway, dns, server_ip;
};

// Zero-filled record with the texts copied in (each with its terminating 0) and the
// inverted DHCP flag (0 = DHCP on). A text longer than its field allows (23, 15 or 63
// bytes) is refused: the result is nullopt and error names the field and its limit.
std::optional<TWifiPar> BuildWifiPar(const WifiTexts& texts, bool dhcp_checked, int32_t port,
                                     std::string* error);

// The wired record: addresses from the dotted texts, dhcp 1 when ticked, port always 9100.
// nullopt with error set when an address text is not a dotted number.
std::optional<TNetPar> BuildNetPar(const std::string& ip, const std::string& mask,
                                   const std::string& gateway, bool dhcp_checked,
                                   std::string* error);

// Whole decimal number (optional sign, spaces around allowed); nullopt otherwise.
std::optional<int64_t> ParseWholeNumber(const std::string& text);

}  // namespace quillon
