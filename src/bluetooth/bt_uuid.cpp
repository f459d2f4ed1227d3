// Text forms of Bluetooth UUIDs.
#include "bluetooth/bt_uuid.h"

namespace quillon {
namespace {

constexpr std::array<std::uint8_t, 16> kBase = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsDashPosition(std::size_t i) {
  return i == 8 || i == 13 || i == 18 || i == 23;
}

}  // namespace

BtUuid BaseUuid(std::uint16_t short_uuid) {
  BtUuid u{kBase};
  u.bytes[2] = static_cast<std::uint8_t>(short_uuid >> 8);
  u.bytes[3] = static_cast<std::uint8_t>(short_uuid & 0xFF);
  return u;
}

std::optional<BtUuid> ParseUuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  BtUuid u;
  std::size_t byte = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (IsDashPosition(i)) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0 || IsDashPosition(i + 1)) return std::nullopt;
    u.bytes[byte++] = static_cast<std::uint8_t>(hi << 4 | lo);
    i += 2;
  }
  return u;
}

std::string UuidToText(const BtUuid& uuid) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s = "{";
  for (std::size_t i = 0; i < uuid.bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
    s += kDigits[uuid.bytes[i] >> 4];
    s += kDigits[uuid.bytes[i] & 0x0F];
  }
  s += '}';
  return s;
}

}  // namespace quillon
