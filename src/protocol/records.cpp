#include "protocol/records.h"

#include "protocol/frame.h"

namespace quillon {

int32_t TWifiPar::DHCP() const {
  return static_cast<int32_t>(GetLE32(DHCP_le));
}
void TWifiPar::SetDHCP(int32_t v) {
  PutLE32(DHCP_le, static_cast<uint32_t>(v));
}
int32_t TWifiPar::ServerPort() const {
  return static_cast<int32_t>(GetLE32(ServerPort_le));
}
void TWifiPar::SetServerPort(int32_t v) {
  PutLE32(ServerPort_le, static_cast<uint32_t>(v));
}

uint32_t TNetPar::ip() const {
  return GetLE32(ip_le);
}
void TNetPar::set_ip(uint32_t v) {
  PutLE32(ip_le, v);
}
uint32_t TNetPar::mask() const {
  return GetLE32(mask_le);
}
void TNetPar::set_mask(uint32_t v) {
  PutLE32(mask_le, v);
}
uint32_t TNetPar::gateway() const {
  return GetLE32(gateway_le);
}
void TNetPar::set_gateway(uint32_t v) {
  PutLE32(gateway_le, v);
}
uint16_t TNetPar::dhcp() const {
  return GetLE16(dhcp_le);
}
void TNetPar::set_dhcp(uint16_t v) {
  PutLE16(dhcp_le, v);
}
uint16_t TNetPar::port() const {
  return GetLE16(port_le);
}
void TNetPar::set_port(uint16_t v) {
  PutLE16(port_le, v);
}

}  // namespace quillon
