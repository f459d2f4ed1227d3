#include "settings/net_records.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quillon {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool CopyField(char* field, size_t field_size, const std::string& text, const char* name,
               std::string* error) {
  if (text.size() > field_size - 1) {
    if (error) {
      *error = std::string(name) + " is too long: " + std::to_string(text.size()) +
               " bytes, at most " + std::to_string(field_size - 1);
    }
    return false;
  }
  std::memcpy(field, text.data(), text.size());
  return true;
}

}  // namespace

std::optional<int64_t> ParseWholeNumber(const std::string& text) {
  std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(t.c_str(), &end, 10);
  if (errno != 0 || end == t.c_str() || *end != '\0') return std::nullopt;
  return v;
}

std::optional<uint32_t> ip2Int(const std::string& strIP) {
  if (Trim(strIP).empty()) return 0u;
  uint32_t value = 0;
  size_t start = 0;
  for (unsigned i = 0;; ++i) {
    size_t dot = strIP.find('.', start);
    std::string group =
        strIP.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    auto n = ParseWholeNumber(group);
    if (!n) return std::nullopt;
    value += static_cast<uint32_t>(static_cast<uint64_t>(*n) << ((8 * i) % 32));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return value;
}

std::string int2Ip(uint32_t intIP) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3u.%.3u.%.3u.%.3u", intIP & 0xFF, (intIP >> 8) & 0xFF,
                (intIP >> 16) & 0xFF, intIP >> 24);
  return text;
}

std::string DottedIp(uint32_t intIP) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", intIP & 0xFF, (intIP >> 8) & 0xFF,
                (intIP >> 16) & 0xFF, intIP >> 24);
  return text;
}

std::optional<TWifiPar> BuildWifiPar(const WifiTexts& t, bool dhcp_checked, int32_t port,
                                     std::string* error) {
  TWifiPar w;
  std::memset(&w, 0, sizeof w);
  if (!CopyField(w.ssid, sizeof w.ssid, t.ssid, "Router name", error) ||
      !CopyField(w.password, sizeof w.password, t.password, "Router password", error) ||
      !CopyField(w.IPAddr, sizeof w.IPAddr, t.ip, "IP address", error) ||
      !CopyField(w.Mask, sizeof w.Mask, t.mask, "Subnet mask", error) ||
      !CopyField(w.GetWay, sizeof w.GetWay, t.gateway, "Gateway", error) ||
      !CopyField(w.DNS, sizeof w.DNS, t.dns, "DNS", error) ||
      !CopyField(w.ServerIP, sizeof w.ServerIP, t.server_ip, "Server address", error)) {
    return std::nullopt;
  }
  w.SetDHCP(dhcp_checked ? 0 : 1);
  w.SetServerPort(port);
  return w;
}

std::optional<TNetPar> BuildNetPar(const std::string& ip, const std::string& mask,
                                   const std::string& gateway, bool dhcp_checked,
                                   std::string* error) {
  TNetPar n;
  std::memset(&n, 0, sizeof n);
  auto a = ip2Int(ip), m = ip2Int(mask), g = ip2Int(gateway);
  if (!a || !m || !g) {
    if (error) {
      *error = std::string("'") +
               (!a   ? ip
                : !m ? mask
                     : gateway) +
               "' is not a valid address (four numbers separated by dots)";
    }
    return std::nullopt;
  }
  n.set_ip(*a);
  n.set_mask(*m);
  n.set_gateway(*g);
  n.set_dhcp(dhcp_checked ? 1 : 0);
  n.set_port(9100);
  return n;
}

}  // namespace quillon
