// SHA-256 of the files a plan names and of the profile itself, so every record says
// exactly which firmware, font and logo a unit got.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon::production {

class Sha256 {
 public:
  Sha256();
  void Update(std::span<const uint8_t> bytes);
  std::array<uint8_t, 32> Final();

 private:
  void Block(const uint8_t* p);
  uint32_t h_[8];
  uint8_t buf_[64];
  size_t used_ = 0;
  uint64_t bits_ = 0;
};

// Lower-case hexadecimal digest of bytes.
std::string Sha256Hex(std::span<const uint8_t> bytes);

}  // namespace quillon::production
