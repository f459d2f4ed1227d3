#include "virtualprinter/rfid_card.h"

#include <algorithm>

namespace quillon::vp {

void RfidCard::Blank() {
  for (Block& b : blocks_) b.fill(0);
  Block& maker = blocks_[0];
  std::copy(kSerial.begin(), kSerial.end(), maker.begin());
  maker[4] = static_cast<uint8_t>(kSerial[0] ^ kSerial[1] ^ kSerial[2] ^ kSerial[3]);  // BCC
  maker[5] = 0x08;  // SAK of a 1K card
  maker[6] = 0x04;  // ATQA
  maker[7] = 0x00;
  for (int s = 0; s < kSectors; ++s) {
    Block& t = blocks_[TrailerOf(s)];
    std::copy(kTransportKey.begin(), kTransportKey.end(), t.begin());
    std::copy(kBlankAccess.begin(), kBlankAccess.end(), t.begin() + 6);
    std::copy(kTransportKey.begin(), kTransportKey.end(), t.begin() + 10);
  }
  open_sector_ = -1;
}

bool RfidCard::Authenticate(uint8_t keymode, uint8_t block, const Key& key) {
  open_sector_ = -1;
  if (block >= kBlocks || (keymode != kKeyModeA && keymode != kKeyModeB)) return false;
  const int sector = block / kBlocksPerSector;
  const Block& t = blocks_[TrailerOf(sector)];
  const auto stored = t.begin() + (keymode == kKeyModeA ? 0 : 10);
  if (!std::equal(key.begin(), key.end(), stored)) return false;
  open_sector_ = sector;
  return true;
}

std::optional<RfidCard::Block> RfidCard::Read(uint8_t block) const {
  if (block >= kBlocks || block / kBlocksPerSector != open_sector_) return std::nullopt;
  return blocks_[block];
}

bool RfidCard::Write(uint8_t block, const Block& data) {
  if (block == 0 || block >= kBlocks || block / kBlocksPerSector != open_sector_) return false;
  blocks_[block] = data;
  return true;
}

}  // namespace quillon::vp
