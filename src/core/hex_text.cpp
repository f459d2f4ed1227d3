#include "core/hex_text.h"

#include "core/text_conv.h"

namespace quillon {

std::vector<uint8_t> HexTextToBytes(std::string_view text) {
  const std::u16string units = Utf8ToUtf16CrLf(text);
  std::vector<uint8_t> bytes(units.size() / 2 + 1);
  int32_t count = 0;
  if (!TextToBuf(units, bytes, count) || count < 0) return {};
  bytes.resize(static_cast<size_t>(count));
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
