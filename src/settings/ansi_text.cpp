#include "settings/ansi_text.h"

#include <iconv.h>

#include <cerrno>

namespace quillon {
namespace {

// The Chinese ANSI code page the printers are made for.
constexpr const char* kAnsiCharset = "CP936";

// Converts with iconv; an input sequence that cannot be converted is replaced by one "?"
// and skipped (one character of UTF-8, one byte of ANSI input).
std::string Convert(std::string_view in, const char* from, const char* to, bool utf8_input) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.reserve(in.size() * 2 + 4);
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  char buf[256];
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
    if (r != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL: skip one character (or byte) and mark it.
    size_t skip = 1;
    if (utf8_input) {
      const auto lead = static_cast<unsigned char>(*src);
      skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (skip > left) skip = left;
    }
    out.push_back('?');
    src += skip;
    left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string ToAnsiText(std::string_view utf8) {
  return Convert(utf8, "UTF-8", kAnsiCharset, true);
}

std::string FromAnsiText(std::string_view ansi) {
  return Convert(ansi, kAnsiCharset, "UTF-8", false);
}

}  // namespace quillon
