// The ANSI code page on Windows: the system's code page (GetACP) and the conversions of
// MultiByteToWideChar / WideCharToMultiByte, made to give the same bytes as the Linux
// conversion: no best-fit substitutes, one "?" per character the code page cannot hold,
// one "?" per broken UTF-8 sequence or undefined byte.
#include <windows.h>

#include "core/ansi_codepage.h"
#include "core/text_conv.h"

namespace quillon {
namespace {

int Supported(int codepage) {
  return IconvNameForCodePage(codepage) ? codepage : 1252;
}

// The next character of utf8 from i as UTF-16 (one or two units), or false for a broken
// sequence; n is how many bytes it (or the broken sequence) takes, as the Linux side skips.
bool NextUtf8(std::string_view s, size_t i, std::wstring& unit, size_t& n) {
  const unsigned char lead = static_cast<unsigned char>(s[i]);
  size_t len = lead < 0x80   ? 1
               : lead < 0xC0 ? 0
               : lead < 0xE0 ? 2
               : lead < 0xF0 ? 3
               : lead < 0xF8 ? 4
                             : 0;
  size_t follow = 1;
  const size_t want = len == 0 ? 1 : len;
  while (follow < want && i + follow < s.size() &&
         (static_cast<unsigned char>(s[i + follow]) & 0xC0) == 0x80) {
    ++follow;
  }
  n = follow;
  if (len == 0 || follow != len) return false;
  uint32_t cp = len == 1 ? lead : len == 2 ? lead & 0x1F : len == 3 ? lead & 0x0F : lead & 0x07;
  for (size_t k = 1; k < len; ++k) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  unit.clear();
  if (cp >= 0x10000) {
    cp -= 0x10000;
    unit.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    unit.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    unit.push_back(static_cast<wchar_t>(cp));
  }
  return true;
}

// One character of the code page (1 or 2 bytes) to its code point; false when undefined.
// The single-byte tables hand the bytes they leave undefined to the C1 controls: those
// count as undefined, as they do for iconv.
bool DecodeAnsi(UINT cp, const char* bytes, int len, uint32_t& code) {
  wchar_t w[2];
  const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, len, w, 2);
  if (n != 1) return false;
  if (len == 1 && w[0] >= 0x80 && w[0] <= 0x9F) return false;
  if (len == 1 && static_cast<unsigned char>(bytes[0]) >= 0x80 && w[0] < 0x80) return false;
  code = w[0];
  return true;
}

}  // namespace

int LocaleAnsiCodePage() {
  return Supported(static_cast<int>(GetACP()));
}

std::string Utf8ToAnsi(std::string_view utf8, int codepage, size_t* replaced) {
  const UINT cp = static_cast<UINT>(Supported(codepage));
  std::string out;
  out.reserve(utf8.size());
  size_t count = 0;
  std::wstring unit;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = 1;
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {  // ASCII is the same in every code page
      out += utf8[i++];
      continue;
    }
    char bytes[8];
    BOOL used_default = FALSE;
    int m = 0;
    if (NextUtf8(utf8, i, unit, n)) {
      m = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, unit.data(), static_cast<int>(unit.size()),
                              bytes, sizeof bytes, "?", &used_default);
    }
    if (m <= 0 || used_default) {
      out += '?';
      ++count;
    } else {
      out.append(bytes, static_cast<size_t>(m));
    }
    i += n;
  }
  if (replaced) *replaced = count;
  return out;
}

std::string AnsiToUtf8(std::string_view ansi, int codepage, size_t* replaced) {
  const UINT cp = static_cast<UINT>(Supported(codepage));
  std::string out;
  out.reserve(ansi.size() * 2);
  size_t count = 0;
  for (size_t i = 0; i < ansi.size();) {
    const unsigned char b = static_cast<unsigned char>(ansi[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    uint32_t code = 0;
    if (IsDBCSLeadByteEx(cp, b) && i + 1 < ansi.size() &&
        DecodeAnsi(cp, ansi.data() + i, 2, code)) {
      AppendUtf8(out, code);
      i += 2;
    } else if (!IsDBCSLeadByteEx(cp, b) && DecodeAnsi(cp, ansi.data() + i, 1, code)) {
      AppendUtf8(out, code);
      i += 1;
    } else {
      out += '?';  // an undefined byte, or a lead byte without its trail: skip one byte
      ++count;
      i += 1;
    }
  }
  if (replaced) *replaced = count;
  return out;
}

}  // namespace quillon
