#include "settings/paper_roll.h"

#include <cstring>

#include "protocol/esc_cmd.h"

namespace quillon {
namespace {

constexpr uint8_t kKeyB = 0x61;
constexpr uint8_t kRecordBlock = 1;
constexpr uint8_t kKeyBlock = 3;

void PutLE16(uint8_t* p, int64_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

RollResult Done(EscCmd& esc, bool ok, const char* message) {
  esc.link().CloseUSB();
  return RollResult{ok, message};
}

}  // namespace

uint8_t GetCRC(const TPaper& paper) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&paper);
  uint8_t sum = 0;
  for (int i = 0; i < 15; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return static_cast<uint8_t>(sum ^ 0x55);
}

TPaper MakePaper(uint8_t paper_type, int64_t count, int64_t width, int64_t height, int64_t gap) {
  TPaper p;
  std::memset(&p, 0, sizeof p);
  p.PaperType = paper_type;
  PutLE16(p.Count_le, count);
  PutLE16(p.Width_le, width);
  PutLE16(p.Height_le, height);
  PutLE16(p.GAP_le, gap);
  p.CRC = GetCRC(p);
  return p;
}

void FactoryTransportKey(uint8_t key[6]) {
  std::memset(key, 0xFF, 6);
}

void RollKey(uint8_t key[6]) {
  // Built from single bytes at run time so the key does not sit in the binary as one run.
  const uint8_t parts[6] = {0x51, 0x4C, 0x52, 0x4F, 0x4C, 0x4C};
  for (int i = 0; i < 6; ++i) key[i] = static_cast<uint8_t>(parts[i] ^ (0x10 + i));
}

RollResult CreateRollTag(EscCmd& esc, const TPaper& paper,
                         const std::function<void(uint32_t)>& wait) {
  PrinterExchange& link = esc.link();
  link.CloseUSB();
  link.OpenUsb();
  esc.cmd_rfid_reset(1);
  if (wait) wait(100);

  uint8_t key[6];
  uint8_t serial[4] = {0, 0, 0, 0};
  FactoryTransportKey(key);
  if (!esc.cmd_rfid_auth(1, kKeyB, kRecordBlock, key, serial)) {
    RollKey(key);
    if (!esc.cmd_rfid_auth(1, kKeyB, kRecordBlock, key, serial)) {
      return Done(esc, false, "Auth Card fault");
    }
  }
  uint8_t keydata[16];
  if (!esc.cmd_rfid_read(1, kKeyBlock, keydata)) return Done(esc, false, "Read keydata fault");
  uint8_t roll[6];
  RollKey(roll);
  std::memcpy(keydata, roll, 6);
  std::memcpy(keydata + 10, roll, 6);
  if (!esc.cmd_rfid_write(1, kRecordBlock, reinterpret_cast<const uint8_t*>(&paper))) {
    return Done(esc, false, "Write data fault");
  }
  if (!esc.cmd_rfid_write(1, kKeyBlock, keydata)) return Done(esc, false, "Write key fault");
  return Done(esc, true, "Create new card complete");
}

RollResult ReadRollTag(EscCmd& esc, TPaper& paper) {
  uint8_t key[6];
  uint8_t serial[4] = {0, 0, 0, 0};
  RollKey(key);
  if (!esc.cmd_rfid_auth(1, kKeyB, kRecordBlock, key, serial)) {
    return Done(esc, false, "Auth Card fault");
  }
  uint8_t data[16];
  if (!esc.cmd_rfid_read(1, kRecordBlock, data)) return Done(esc, false, "Read keydata fault");
  std::memcpy(&paper, data, sizeof paper);
  return Done(esc, true, "Read OK");
}

}  // namespace quillon
