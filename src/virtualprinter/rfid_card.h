// The one contactless card in the virtual printer's RFID reader: 16 sectors of four
// 16-byte blocks, the last block of each sector holding key A, access bytes and key B.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace quillon::vp {

inline constexpr uint8_t kKeyModeA = 0x60;
inline constexpr uint8_t kKeyModeB = 0x61;

class RfidCard {
 public:
  static constexpr int kSectors = 16;
  static constexpr int kBlocksPerSector = 4;
  static constexpr int kBlocks = kSectors * kBlocksPerSector;
  static constexpr int kBlockSize = 16;
  using Block = std::array<uint8_t, kBlockSize>;
  using Key = std::array<uint8_t, 6>;
  using Serial = std::array<uint8_t, 4>;

  // The key blank cards of this type are delivered with, in both key slots.
  static constexpr Key kTransportKey = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  // Access bytes of a blank card (keys writable with key A, data blocks open).
  static constexpr std::array<uint8_t, 4> kBlankAccess = {0xFF, 0x07, 0x80, 0x69};
  static constexpr Serial kSerial = {0x8A, 0x3F, 0x21, 0x5C};

  RfidCard() { Blank(); }

  // A factory-fresh card: manufacturer block, zero data blocks, transport keys.
  void Blank();

  // Authenticates the sector of block with key A (0x60) or key B (0x61). Success opens
  // that sector; a failure (wrong key, bad mode or block) closes any open sector.
  bool Authenticate(uint8_t keymode, uint8_t block, const Key& key);
  // Reads or writes a block of the open sector. Block 0 (manufacturer data) is read-only.
  std::optional<Block> Read(uint8_t block) const;
  bool Write(uint8_t block, const Block& data);
  // Reader reset and halt: the card drops its authentication.
  void Close() { open_sector_ = -1; }

  int open_sector() const { return open_sector_; }
  const Serial& serial() const { return kSerial; }
  // Raw access for saving the state and for inspection in tests.
  std::array<Block, kBlocks>& blocks() { return blocks_; }
  const std::array<Block, kBlocks>& blocks() const { return blocks_; }

 private:
  static int TrailerOf(int sector) { return sector * kBlocksPerSector + 3; }

  std::array<Block, kBlocks> blocks_{};
  int open_sector_ = -1;
};

}  // namespace quillon::vp
