// The command families of the fault campaign.
#include "faults/command_families.h"

#include <cstring>

#include "core/ulog.h"

namespace quillon::faults {
namespace {

std::string Hex(const void* data, size_t size) {
  return HexLine(static_cast<const uint8_t*>(data), size);
}

FamilyRun Language(EscCmd& esc) {
  uint8_t v = 0xEE;
  const bool ok = esc.cmd_language(0, v);
  return {ok, std::to_string(v)};
}

FamilyRun BluetoothName(EscCmd& esc) {
  std::string s;
  const bool ok = esc.cmd_blue_name(0, s);
  return {ok, s};
}

FamilyRun SerialNumber(EscCmd& esc) {
  std::string s;
  const bool ok = esc.cmd_serial_number(0, s);
  return {ok, s};
}

FamilyRun WiredNetwork(EscCmd& esc) {
  TNetPar net{};
  const bool ok = esc.cmd_net_set(0, net);
  return {ok, Hex(&net, sizeof net)};
}

FamilyRun WifiSet(EscCmd& esc) {
  TWifiPar wifi{};
  std::memcpy(&wifi, "bench-ap", 8);
  return {esc.cmd_wifi_set(1, wifi), ""};
}

FamilyRun LabelTest(EscCmd& esc) {
  int32_t low = -1, high = -1;
  const bool ok = esc.cmd_label_test(0, 500, low, high);
  return {ok, std::to_string(low) + "/" + std::to_string(high)};
}

// The font download's loop: the flow opens the link, writes and closes it.
FamilyRun FlashWrite(EscCmd& esc) {
  uint8_t data[64];
  for (size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<uint8_t>(i * 7);
  esc.link().OpenUsb();
  const bool ok = esc.cmd_flash_write(0x10000, sizeof data, data);
  esc.link().CloseUSB();
  return {ok, ""};
}

// Announces a 4 KiB firmware image (the erase carries its size).
FamilyRun BootErase(EscCmd& esc) {
  uint32_t value = 4096;
  esc.link().OpenUsb();
  const bool ok = esc.cmd_boot_update_erase(value);
  esc.link().CloseUSB();
  return {ok, std::to_string(value)};
}

// The RFID dialog leaves the link open between commands and closes it itself.
FamilyRun RfidReset(EscCmd& esc) {
  const bool ok = esc.cmd_rfid_reset(1);
  esc.link().CloseUSB();
  return {ok, ""};
}

}  // namespace

const std::vector<Family>& CommandFamilies() {
  static const std::vector<Family> families = {
      {"single-byte setting (language)", 1000, Language},
      {"text setting (Bluetooth name)", 1000, BluetoothName},
      {"device text (serial number)", 1000, SerialNumber},
      {"wired network record", 1000, WiredNetwork},
      {"Wi-Fi record", 1000, WifiSet},
      {"label sensor test", 1000, LabelTest},
      {"font flash write", 1000, FlashWrite},
      {"boot loader erase", 10000, BootErase},
      {"RFID reset", 1000, RfidReset},
  };
  return families;
}

}  // namespace quillon::faults
