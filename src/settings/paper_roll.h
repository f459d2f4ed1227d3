// The paper roll tag: the 16-byte TPaper record in block 1 of the roll's RFID tag, locked
// with the roll key, written and read through the printer's RFID reader.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

class EscCmd;
class PrinterLink;

#pragma pack(push, 1)
struct TPaper {
  uint8_t PaperType;    // 0 continuous, 1 gap (label) paper
  uint8_t Count_le[2];  // labels on the roll
  uint8_t Width_le[2];  // mm
  uint8_t Height_le[2];
  uint8_t GAP_le[2];
  uint8_t BackByte[6];
  uint8_t CRC;

  uint16_t Count() const { return static_cast<uint16_t>(Count_le[0] | (Count_le[1] << 8)); }
  uint16_t Width() const { return static_cast<uint16_t>(Width_le[0] | (Width_le[1] << 8)); }
  uint16_t Height() const { return static_cast<uint16_t>(Height_le[0] | (Height_le[1] << 8)); }
  uint16_t Gap() const { return static_cast<uint16_t>(GAP_le[0] | (GAP_le[1] << 8)); }
};
#pragma pack(pop)
static_assert(sizeof(TPaper) == 16);

// Sum of bytes 0..14 modulo 256, XOR 0x55.
uint8_t GetCRC(const TPaper& paper);

// A record with the values taken as their low 16 bits, BackByte zero and the check byte set.
TPaper MakePaper(uint8_t paper_type, int64_t count, int64_t width, int64_t height, int64_t gap);

// Key that blank cards are delivered with, and the key created tags are locked with.
void FactoryTransportKey(uint8_t key[6]);
void RollKey(uint8_t key[6]);

// Outcome of the two tag operations: the message the dialog shows (its own fixed texts).
struct RollResult {
  bool ok = false;
  std::string message;  // "Create new card complete", "Auth Card fault", "Read OK", ...
};

// Writes the record and locks the tag with the roll key. The caller has checked presence;
// wait is called for the pause after the reader reset. Closes the link at the end.
RollResult CreateRollTag(EscCmd& esc, const TPaper& paper,
                         const std::function<void(uint32_t)>& wait);
// Reads the record of a tag created by CreateRollTag. Closes the link at the end.
RollResult ReadRollTag(EscCmd& esc, TPaper& paper);

}  // namespace quillon
