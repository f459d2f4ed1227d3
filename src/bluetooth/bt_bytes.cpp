// Hexadecimal transmit text and received-chunk lines.
#include "bluetooth/bt_bytes.h"

namespace quillon {
namespace {

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

bool StrToBuf(std::u16string_view Text, std::vector<std::uint8_t>& cBytes, int& BufLen) {
  std::u16string digits;
  digits.reserve(Text.size());
  for (char16_t c : Text) {
    if (c != u' ' && c != u'\r' && c != u'\n') digits += c;
  }
  BufLen = static_cast<int>(digits.size() / 2);
  cBytes.assign(static_cast<std::size_t>(BufLen), 0);
  bool all_hex = true;
  for (int i = 0; i < BufLen; ++i) {
    const int hi = HexValue(digits[2 * i]);
    const int lo = HexValue(digits[2 * i + 1]);
    if (hi < 0 || lo < 0) {
      all_hex = false;  // the byte stays 0
      continue;
    }
    cBytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return all_hex;
}

std::string HexReceiveLine(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(bytes.size() * 3);
  for (std::uint8_t b : bytes) {
    line += kDigits[b >> 4];
    line += kDigits[b & 0x0F];
    line += ' ';
  }
  return line;
}

}  // namespace quillon
