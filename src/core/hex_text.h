// Hexadecimal texts of the RFID dialogs ("FF FF FF FF FF FF") to bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The text panel's hexadecimal reading: spaces, CR and LF are removed, then each pair of characters
// is one byte; a pair that is not two hexadecimal digits gives 0 and a last unpaired character is
// ignored.
std::vector<uint8_t> HexTextToBytes(std::string_view text);

// Bytes as two upper-case hexadecimal digits each, every byte followed by separator
// ("FF FF " with a space, "8A3F215C" with none).
std::string BytesToHexText(const uint8_t* bytes, size_t count, std::string_view separator);

}  // namespace quillon
