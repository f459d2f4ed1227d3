// 128-bit Bluetooth UUIDs: parsing, the braced upper-case text form and the base UUIDs.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

struct BtUuid {
  std::array<std::uint8_t, 16> bytes{};  // big-endian, as written in the text form
  auto operator<=>(const BtUuid&) const = default;
};

// 0000xxxx-0000-1000-8000-00805F9B34FB for a 16-bit assigned number.
BtUuid BaseUuid(std::uint16_t short_uuid);

// Accepts "00001101-0000-1000-8000-00805f9b34fb" with or without braces, any case.
std::optional<BtUuid> ParseUuid(std::string_view text);

// "{00001101-0000-1000-8000-00805F9B34FB}": braces, upper-case hexadecimal.
std::string UuidToText(const BtUuid& uuid);

// The serial port profile.
inline const BtUuid kSppUuid = BaseUuid(0x1101);

}  // namespace quillon
