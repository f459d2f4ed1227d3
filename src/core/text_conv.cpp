// Text panel conversions: escapes over ANSI and UTF-8 bytes, UTF-16, hexadecimal text.
#include "core/text_conv.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/ansi_codepage.h"
#include "core/sfunc.h"

namespace quillon {
namespace {

uint8_t HexByte(const uint8_t* p, size_t n) {
  return static_cast<uint8_t>(HexToint(std::string(reinterpret_cast<const char*>(p), n)));
}

bool IsX(uint8_t c) {
  return c == 'x' || c == 'X';
}
bool IsU(uint8_t c) {
  return c == 'u' || c == 'U';
}

// Copies out into dest when it fits.
bool Deliver(const std::vector<uint8_t>& out, std::span<uint8_t> dest, int32_t& count) {
  count = static_cast<int32_t>(out.size());
  if (out.size() > dest.size()) return false;
  if (!out.empty()) std::memcpy(dest.data(), out.data(), out.size());
  return true;
}

}  // namespace

int GetUTF8Length(uint8_t b) {
  int n = 0;
  while (n < 8 && (b & (0x80 >> n))) ++n;
  return n == 0 ? 1 : n;
}

bool AnsiToBuf(std::span<const uint8_t> ansi, std::span<uint8_t> dest, int32_t& count) {
  const size_t n = std::find(ansi.begin(), ansi.end(), 0) - ansi.begin();
  const uint8_t* in = ansi.data();
  std::vector<uint8_t> out;
  out.reserve(n);
  size_t pos = 0;
  while (pos < n) {
    if (in[pos] != '\\') {
      out.push_back(in[pos++]);
      continue;
    }
    if (++pos >= n) break;  // a backslash at the very end: dropped
    // The three tests run one after the other on the byte at the current position, so
    // an x escape whose second character is "u" goes on into a u escape.
    if (in[pos] == '\\') out.push_back(0x5C);
    if (IsX(in[pos])) {
      if (pos + 2 >= n) break;  // fewer than two characters left: escape dropped
      out.push_back(HexByte(in + pos + 1, 2));
      pos += 2;
    }
    if (IsU(in[pos])) {
      if (pos + 4 >= n) break;  // fewer than four characters left: escape dropped
      out.push_back(HexByte(in + pos + 3, 2));
      out.push_back(HexByte(in + pos + 1, 2));
      pos += 4;
    }
    ++pos;
  }
  return Deliver(out, dest, count);
}

bool UTF8ToBuf(std::span<const uint8_t> utf8, std::span<uint8_t> dest, int32_t& count) {
  const size_t n = utf8.size();
  const uint8_t* in = utf8.data();
  std::vector<uint8_t> out;
  out.reserve(n);
  size_t pos = 0;
  while (pos < n) {
    size_t len = static_cast<size_t>(GetUTF8Length(in[pos]));
    if (len > 1 || in[pos] != '\\') {
      // A character (a sequence cut short by the end is copied as far as it goes).
      len = std::min(len, n - pos);
      out.insert(out.end(), in + pos, in + pos + len);
    } else {
      if (++pos >= n) break;  // a backslash at the very end: dropped
      len = static_cast<size_t>(GetUTF8Length(in[pos]));
      if (len > 1) {
        len = std::min(len, n - pos);
        out.insert(out.end(), in + pos, in + pos + len);
      } else if (in[pos] == '\\') {
        out.push_back(0x5C);
      } else if (IsX(in[pos])) {
        if (pos + 2 >= n) break;  // fewer than two characters left: escape dropped
        out.push_back(HexByte(in + pos + 1, 2));
        pos += 2;
      } else {
        out.push_back(in[pos]);
      }
    }
    pos += len;
  }
  return Deliver(out, dest, count);
}

bool UnicodeToBuf(std::u16string_view text, std::span<uint8_t> dest, int32_t& count) {
  std::vector<uint8_t> out;
  out.reserve(text.size() * 2);
  for (char16_t unit : text) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return Deliver(out, dest, count);
}

bool TextToBuf(std::u16string_view text, std::span<uint8_t> dest, int32_t& count) {
  std::string digits;
  digits.reserve(text.size());
  for (char16_t c : text) {
    if (c == u' ' || c == u'\r' || c == u'\n') continue;
    // Characters beyond ASCII are never hexadecimal digits; '?' stands in for them.
    digits.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  std::vector<uint8_t> out(digits.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<uint8_t>(HexToint(digits.substr(2 * i, 2)));
  }
  return Deliver(out, dest, count);
}

std::string Utf8WithCrLf(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + utf8.size() / 16);
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r')) out.push_back('\r');
    out.push_back(utf8[i]);
  }
  return out;
}

std::u16string Utf8ToUtf16CrLf(std::string_view utf8_in) {
  const std::string utf8 = Utf8WithCrLf(utf8_in);
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    size_t len = b < 0x80 ? 1 : b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    uint32_t cp = len == 1 ? b : len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
    bool ok = len != 0 && i + len <= utf8.size();
    for (size_t k = 1; ok && k < len; ++k) {
      const auto c = static_cast<uint8_t>(utf8[i + k]);
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are broken too.
    static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ok && (cp < kMin[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)) ok = false;
    if (!ok) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

TextBytes ConvertTextForSending(TextEncoding encoding, std::string_view utf8_text, bool raw,
                                int codepage) {
  TextBytes result;
  std::vector<uint8_t> buffer(kSendBufferSize);
  int32_t count = 0;
  bool fits = false;
  switch (encoding) {
    case TextEncoding::kAnsi: {
      const std::string ansi = Utf8ToAnsi(Utf8WithCrLf(utf8_text), codepage, &result.replaced);
      const auto* bytes = reinterpret_cast<const uint8_t*>(ansi.data());
      if (raw) {
        count = static_cast<int32_t>(ansi.size());
        fits = ansi.size() <= buffer.size();
        if (fits) std::copy(bytes, bytes + ansi.size(), buffer.begin());
      } else {
        fits = AnsiToBuf({bytes, ansi.size()}, buffer, count);
      }
      break;
    }
    case TextEncoding::kUtf8: {
      const std::string utf8 = Utf8WithCrLf(utf8_text);
      fits = UTF8ToBuf({reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()}, buffer, count);
      break;
    }
    case TextEncoding::kUnicode:
      fits = UnicodeToBuf(Utf8ToUtf16CrLf(utf8_text), buffer, count);
      break;
    case TextEncoding::kHex:
      fits = TextToBuf(Utf8ToUtf16CrLf(utf8_text), buffer, count);
      break;
  }
  if (!fits) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "The text makes %d bytes, more than the %zu bytes one send can carry. "
                  "Nothing was sent; send it in parts.",
                  count, kSendBufferSize);
    result.error = text;
    result.too_long = count;
    return result;
  }
  result.ok = true;
  result.bytes.assign(buffer.begin(), buffer.begin() + count);
  return result;
}

std::vector<std::string> CharacterTableLines() {
  std::vector<std::string> lines;
  for (int row = 0x20; row <= 0xF0; row += 16) {
    std::string line;
    for (int code = row; code < row + 16; ++code) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%02X ", code);
      line += hex;
    }
    lines.push_back(line);
  }
  lines.emplace_back("0A");
  return lines;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace quillon
