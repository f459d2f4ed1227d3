// The program's ANSI code page: which Windows code pages we support, the choice from the
// system, config.ini or the caller. The conversions themselves are the system's
// (ansi_codepage_linux.cpp, ansi_codepage_windows.cpp).
#include "core/ansi_codepage.h"

#include <algorithm>
#include <atomic>
#include <cctype>
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

std::string Utf8ToAnsi(std::string_view utf8, size_t* replaced) {
  return Utf8ToAnsi(utf8, AnsiCodePage(), replaced);
}
std::string AnsiToUtf8(std::string_view ansi) {
  return AnsiToUtf8(ansi, AnsiCodePage());
}

}  // namespace quillon
