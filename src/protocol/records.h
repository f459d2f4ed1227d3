// The data records of the network commands, laid out byte for byte as on the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quillon {

#pragma pack(push, 1)
// Wi-Fi settings (command 0xAF): 184 bytes. Integers are kept as little-endian bytes so
// the layout is the wire layout on any host; use the accessors.
struct TWifiPar {
  char ssid[24];
  char password[24];
  uint8_t DHCP_le[4];
  char IPAddr[16];
  char Mask[16];
  char GetWay[16];
  char DNS[16];
  char ServerIP[64];
  uint8_t ServerPort_le[4];

  int32_t DHCP() const;
  void SetDHCP(int32_t v);
  int32_t ServerPort() const;
  void SetServerPort(int32_t v);
};

// Wired network settings (command 0xAE): 16 bytes, little-endian, first octet lowest.
struct TNetPar {
  uint8_t ip_le[4];
  uint8_t mask_le[4];
  uint8_t gateway_le[4];
  uint8_t dhcp_le[2];
  uint8_t port_le[2];

  uint32_t ip() const;
  void set_ip(uint32_t v);
  uint32_t mask() const;
  void set_mask(uint32_t v);
  uint32_t gateway() const;
  void set_gateway(uint32_t v);
  uint16_t dhcp() const;
  void set_dhcp(uint16_t v);
  uint16_t port() const;
  void set_port(uint16_t v);
};
#pragma pack(pop)

static_assert(sizeof(TWifiPar) == 184);
static_assert(offsetof(TWifiPar, password) == 24);
static_assert(offsetof(TWifiPar, DHCP_le) == 48);
static_assert(offsetof(TWifiPar, IPAddr) == 52);
static_assert(offsetof(TWifiPar, Mask) == 68);
static_assert(offsetof(TWifiPar, GetWay) == 84);
static_assert(offsetof(TWifiPar, DNS) == 100);
static_assert(offsetof(TWifiPar, ServerIP) == 116);
static_assert(offsetof(TWifiPar, ServerPort_le) == 180);
static_assert(sizeof(TNetPar) == 16);
static_assert(offsetof(TNetPar, mask_le) == 4);
static_assert(offsetof(TNetPar, gateway_le) == 8);
static_assert(offsetof(TNetPar, dhcp_le) == 12);
static_assert(offsetof(TNetPar, port_le) == 14);

}  // namespace quillon
