// Byte conversions of the Bluetooth terminal: hexadecimal transmit text to bytes, and the
// hexadecimal line shown for every received chunk.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Drops spaces, CR and LF, then turns each pair of characters into one byte; a final odd
// character is ignored and a pair that is not hexadecimal gives 0. Works on UTF-16 code units
// so that every typed character counts as one. Returns false when some pair was not
// hexadecimal (the bytes are filled all the same).
bool StrToBuf(std::u16string_view Text, std::vector<std::uint8_t>& cBytes, int& BufLen);

// Each byte as two upper-case hexadecimal digits and a space: {0x00, 0xFF} -> "00 FF ".
std::string HexReceiveLine(std::span<const std::uint8_t> bytes);

}  // namespace quillon
