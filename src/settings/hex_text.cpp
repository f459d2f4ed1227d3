#include "settings/hex_text.h"

#include <string>

namespace quillon {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<uint8_t> HexTextToBytes(std::string_view text) {
  std::string digits;
  digits.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\r' && c != '\n') digits.push_back(c);
  }
  std::vector<uint8_t> bytes(digits.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int hi = HexDigit(digits[2 * i]), lo = HexDigit(digits[2 * i + 1]);
    bytes[i] = hi < 0 || lo < 0 ? 0 : static_cast<uint8_t>(hi * 16 + lo);
  }
  return bytes;
}

std::string BytesToHexText(const uint8_t* bytes, size_t count, std::string_view separator) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(count * (2 + separator.size()));
  for (size_t i = 0; i < count; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 0x0F]);
    out.append(separator);
  }
  return out;
}

}  // namespace quillon
