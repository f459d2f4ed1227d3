// Emulated Windows ANSI code page: locale default, config override, iconv conversion with
// "?" for every character the code page cannot hold.
#include "output/ansi_codepage.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/ini_file.h"

namespace quillon {
namespace {

struct CodePageName {
  int number;
  const char* iconv_name;
};

// CP932 (not SHIFT_JIS: they differ on 5C, 7E and the NEC symbols) and CP936 (GBK with the
// euro sign at 80) are the Windows variants.
constexpr CodePageName kCodePages[] = {
    {874, "CP874"},   {932, "CP932"},   {936, "CP936"},   {949, "CP949"},   {950, "CP950"},
    {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"}, {1254, "CP1254"},
    {1255, "CP1255"}, {1256, "CP1256"}, {1257, "CP1257"}, {1258, "CP1258"},
};

std::atomic<int> g_codepage{0};  // 0: not chosen yet, take the locale's on first use

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

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

}  // namespace

const char* IconvNameForCodePage(int codepage) {
  for (const CodePageName& cp : kCodePages) {
    if (cp.number == codepage) return cp.iconv_name;
  }
  return nullptr;
}

int AnsiCodePageForLocale(std::string_view locale) {
  // "ll_TT.codeset@modifier": only language, territory and a latin modifier matter.
  const size_t at = locale.find('@');
  const std::string modifier = at == std::string_view::npos ? "" : Lower(locale.substr(at + 1));
  locale = locale.substr(0, std::min(locale.find('.'), at));
  const std::string name = Lower(locale);
  if (name.empty() || name == "c" || name == "posix") return kDefaultAnsiCodePage;
  const size_t us = name.find_first_of("_-");
  const std::string lang = name.substr(0, us);
  const std::string territory = us == std::string::npos ? "" : name.substr(us + 1);

  if (lang == "zh") {
    return territory == "tw" || territory == "hk" || territory == "mo" ? 950 : 936;
  }
  if (lang == "ja") return 932;
  if (lang == "ko") return 949;
  if (lang == "sr") return modifier == "latin" ? 1250 : 1251;
  static constexpr const char* kCyrillic[] = {"ru", "uk", "bg", "be", "mk", "kk", "ky", "tt"};
  static constexpr const char* kCentral[] = {"cs", "pl", "hu", "sk", "sl", "hr", "ro", "sq", "bs"};
  static constexpr const char* kBaltic[] = {"lt", "lv", "et"};
  for (const char* l : kCyrillic)
    if (lang == l) return 1251;
  for (const char* l : kCentral)
    if (lang == l) return 1250;
  for (const char* l : kBaltic)
    if (lang == l) return 1257;
  if (lang == "el") return 1253;
  if (lang == "tr" || lang == "az") return 1254;
  if (lang == "he") return 1255;
  if (lang == "ar" || lang == "fa" || lang == "ur") return 1256;
  if (lang == "vi") return 1258;
  if (lang == "th") return 874;
  return 1252;
}

int LocaleAnsiCodePage() {
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value && *value) return AnsiCodePageForLocale(value);
  }
  return kDefaultAnsiCodePage;
}

int AnsiCodePage() {
  int cp = g_codepage.load();
  if (cp == 0) {
    cp = LocaleAnsiCodePage();
    g_codepage.store(cp);
  }
  return cp;
}

bool SetAnsiCodePage(int codepage) {
  if (!IconvNameForCodePage(codepage)) return false;
  g_codepage.store(codepage);
  return true;
}

bool ApplyAnsiCodePageSetting(const IniFile& config) {
  if (config.ReadString("SYSTEM", "ANSI_CODEPAGE", "").empty()) {
    g_codepage.store(LocaleAnsiCodePage());
    return true;
  }
  const int64_t configured = config.ReadInteger("SYSTEM", "ANSI_CODEPAGE", 0);
  if (configured > 0 && configured < 100000 && SetAnsiCodePage(static_cast<int>(configured))) {
    return true;
  }
  g_codepage.store(LocaleAnsiCodePage());
  return false;
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

std::string Utf8ToAnsi(std::string_view utf8, size_t* replaced) {
  return Utf8ToAnsi(utf8, AnsiCodePage(), replaced);
}
std::string AnsiToUtf8(std::string_view ansi) {
  return AnsiToUtf8(ansi, AnsiCodePage());
}

}  // namespace quillon
