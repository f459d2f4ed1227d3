// The ANSI code page on Linux: the locale's default and the iconv conversions, with "?" for
// every character the code page cannot hold.
#include "core/ansi_codepage.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace quillon {
namespace {

// Owns one iconv descriptor.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// Converts in with cd; at a sequence that cannot be converted, skip(rest) bytes are
// skipped and one "?" is written instead.
template <typename Skip>
std::string Convert(const Iconv& cd, std::string_view in, Skip skip, size_t* replaced) {
  std::string out;
  out.resize(in.size() * 2 + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  size_t used = 0;
  size_t count = 0;
  while (src_left > 0) {
    char* dst = out.data() + used;
    size_t dst_left = out.size() - used;
    const size_t r = iconv(cd.get(), &src, &src_left, &dst, &dst_left);
    used = out.size() - dst_left;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ (no mapping or a broken sequence) or EINVAL (cut short at the end).
    const size_t n = std::min(src_left, skip(std::string_view(src, src_left)));
    src += n;
    src_left -= n;
    if (used + 1 > out.size()) out.resize(out.size() * 2);
    out[used++] = '?';
    ++count;
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);  // reset any shift state
  }
  // Flush a final shift sequence (none of our code pages has one, but stay correct).
  for (;;) {
    char* dst = out.data() + used;
    size_t dst_left = out.size() - used;
    const size_t r = iconv(cd.get(), nullptr, nullptr, &dst, &dst_left);
    used = out.size() - dst_left;
    if (r != static_cast<size_t>(-1) || errno != E2BIG) break;
    out.resize(out.size() * 2);
  }
  out.resize(used);
  if (replaced) *replaced = count;
  return out;
}

const char* NameOrFallback(int codepage) {
  const char* name = IconvNameForCodePage(codepage);
  return name ? name : "CP1252";
}

}  // namespace

int LocaleAnsiCodePage() {
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value && *value) return AnsiCodePageForLocale(value);
  }
  return kDefaultAnsiCodePage;
}

std::string Utf8ToAnsi(std::string_view utf8, int codepage, size_t* replaced) {
  Iconv cd(NameOrFallback(codepage), "UTF-8");
  if (!cd.ok()) {
    if (replaced) *replaced = 0;
    return std::string(utf8);  // iconv lacks the table: the text goes out unchanged
  }
  return Convert(
      cd, utf8,
      [](std::string_view rest) {
        // Skip one whole character (or one stray byte of a broken sequence).
        const size_t len = Utf8SequenceLength(static_cast<unsigned char>(rest[0]));
        size_t n = 1;
        while (n < len && n < rest.size() && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80) {
          ++n;
        }
        return n;
      },
      replaced);
}

std::string AnsiToUtf8(std::string_view ansi, int codepage, size_t* replaced) {
  Iconv cd("UTF-8", NameOrFallback(codepage));
  if (!cd.ok()) {
    if (replaced) *replaced = 0;
    return std::string(ansi);
  }
  return Convert(
      cd, ansi, [](std::string_view) { return size_t{1}; }, replaced);
}

}  // namespace quillon
