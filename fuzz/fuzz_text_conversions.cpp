// Text typed or pasted by users, turned into printer bytes: the text panel's conversions
// (ANSI/UTF-8 with escapes, UTF-16, hexadecimal), the hexadecimal helpers and the Bluetooth
// terminal's hexadecimal transmit text. Escapes cut short, invalid UTF-8 and inputs larger
// than the send buffer must neither crash nor write past the destination.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bluetooth/bt_bytes.h"
#include "core/sfunc.h"
#if __has_include("core/text_conv.h")
#include "core/text_conv.h"
#define QUILLON_FUZZ_TEXT_PANEL 1
#endif

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

#ifdef QUILLON_FUZZ_TEXT_PANEL
using namespace quillon;

// A destination with guard bytes on both sides: a write outside [0, cap) shows in them
// even where the sanitizer would not (inside one allocation).
template <typename Convert>
void Guarded(size_t cap, Convert convert) {
  constexpr size_t kGuard = 16;
  std::vector<uint8_t> buf(cap + 2 * kGuard, 0xA5);
  int32_t count = -1;
  const bool ok = convert(std::span<uint8_t>(buf.data() + kGuard, cap), count);
  for (size_t i = 0; i < kGuard; ++i) Check(buf[i] == 0xA5 && buf[kGuard + cap + i] == 0xA5);
  Check(count >= 0);
  if (ok) Check(static_cast<size_t>(count) <= cap);
  if (!ok) {
    // Refused: nothing written.
    for (size_t i = 0; i < cap; ++i) Check(buf[kGuard + i] == 0xA5);
  }
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  ++data;
  --size;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::u16string wide(size / 2, u'\0');
  if (!wide.empty()) std::memcpy(wide.data(), data, wide.size() * 2);

  (void)quillon::HexToint(text);
  std::vector<uint8_t> bt;
  int bt_len = -1;
  quillon::StrToBuf(wide, bt, bt_len);
  Check(bt_len >= 0 && static_cast<size_t>(bt_len) <= bt.size() + 0 &&
        static_cast<size_t>(bt_len) <= wide.size() / 2);

#ifdef QUILLON_FUZZ_TEXT_PANEL
  // Destination sizes: tiny, the input's own order of size, or the real send buffer.
  const size_t caps[] = {0, 1, 2, 3, size / 2, size, kSendBufferSize};
  const size_t cap = caps[(mode >> 4) % std::size(caps)];
  const std::span<const uint8_t> bytes(data, size);
  switch (mode % 5) {
    case 0:
      Guarded(cap, [&](std::span<uint8_t> d, int32_t& n) { return AnsiToBuf(bytes, d, n); });
      break;
    case 1:
      Guarded(cap, [&](std::span<uint8_t> d, int32_t& n) { return UTF8ToBuf(bytes, d, n); });
      break;
    case 2:
      Guarded(cap, [&](std::span<uint8_t> d, int32_t& n) { return UnicodeToBuf(wide, d, n); });
      break;
    case 3:
      Guarded(cap, [&](std::span<uint8_t> d, int32_t& n) { return TextToBuf(wide, d, n); });
      break;
    default: {
      // The whole send path from the text box, in each encoding.
      const auto encoding = static_cast<TextEncoding>((mode >> 3) % 4);
      const TextBytes out = ConvertTextForSending(encoding, text, (mode & 0x80) != 0, 936);
      if (out.ok) Check(out.bytes.size() <= kSendBufferSize);
      if (!out.ok) Check(!out.error.empty());
      (void)Utf8ToUtf16CrLf(text);
      break;
    }
  }
#else
  (void)mode;
#endif
  return 0;
}
