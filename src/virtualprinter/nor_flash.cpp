#include "virtualprinter/nor_flash.h"

#include <algorithm>
#include <cstring>

namespace quillon::vp {

bool NorFlash::EraseSector(uint32_t addr) {
  if (addr >= kSize) return false;
  const uint32_t start = addr & ~(kSectorSize - 1);
  std::fill_n(bytes_.begin() + start, kSectorSize, uint8_t{0xFF});
  return true;
}

void NorFlash::EraseAll() {
  std::fill(bytes_.begin(), bytes_.end(), uint8_t{0xFF});
}

bool NorFlash::Write(uint32_t addr, std::span<const uint8_t> data) {
  if (addr > kSize || data.size() > kSize - addr) return false;
  uint8_t* p = bytes_.data() + addr;
  for (size_t i = 0; i < data.size(); ++i) p[i] &= data[i];
  return true;
}

void NorFlash::Load(std::span<const uint8_t> image) {
  const size_t n = std::min<size_t>(image.size(), kSize);
  if (n > 0) std::memcpy(bytes_.data(), image.data(), n);
  std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(n), bytes_.end(), uint8_t{0xFF});
}

std::span<const uint8_t> NorFlash::Read(uint32_t addr, uint32_t len) const {
  if (addr >= kSize) return {};
  const uint32_t n = std::min(len, kSize - addr);
  return std::span<const uint8_t>(bytes_.data() + addr, n);
}

}  // namespace quillon::vp
