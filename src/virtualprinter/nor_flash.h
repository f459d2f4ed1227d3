// The printer's 8 MiB font flash, behaving like NOR flash: erase sets bytes to 0xFF,
// a write can only clear bits (it leaves old AND new), so a skipped erase shows up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon::vp {

class NorFlash {
 public:
  static constexpr uint32_t kSize = 8u * 1024u * 1024u;
  static constexpr uint32_t kSectorSize = 4096;

  NorFlash() : bytes_(kSize, 0xFF) {}

  // Erases the sector that holds addr; false when addr lies outside the flash.
  bool EraseSector(uint32_t addr);
  void EraseAll();
  // Programs data at addr: each byte becomes old AND new. False (nothing written) when the
  // range does not fit inside the flash.
  bool Write(uint32_t addr, std::span<const uint8_t> data);
  // Replaces the contents as a whole (a factory image or a saved state): the first
  // min(size, 8 MiB) bytes are copied and the rest is erased.
  void Load(std::span<const uint8_t> image);

  // Reads back for inspection; a range past the end yields only the bytes inside.
  std::span<const uint8_t> Read(uint32_t addr, uint32_t len) const;
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace quillon::vp
