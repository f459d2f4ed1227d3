// The program's one conversion between its internal UTF-8 text and the emulated Windows
// ANSI code page (through iconv). Every text that goes to the printer in "ANSI" uses it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

class IniFile;

// Code page used when neither config.ini nor the locale names one (the text box is made
// for GB2312 text).
inline constexpr int kDefaultAnsiCodePage = 936;

// The iconv name of a Windows code page number, or nullptr when the number is not one we
// support (874, 932, 936, 949, 950, 1250-1258).
const char* IconvNameForCodePage(int codepage);

// The ANSI code page Windows would choose for a locale name such as "zh_TW.UTF-8",
// "ja_JP" or "C". A C/POSIX or empty locale gives 936.
int AnsiCodePageForLocale(std::string_view locale);
// The same for the locale of this process's environment (LC_ALL, LC_CTYPE, LANG).
int LocaleAnsiCodePage();

// The process-wide ANSI code page: the locale's until SetAnsiCodePage chooses another.
int AnsiCodePage();
// Chooses the code page; false (and nothing changed) for an unsupported number.
bool SetAnsiCodePage(int codepage);
// Applies config.ini's [SYSTEM] ANSI_CODEPAGE when present and supported, otherwise the
// locale's. Returns false when the file names an unsupported code page (the locale's is
// used then), so the caller can say so.
bool ApplyAnsiCodePageSetting(const IniFile& config);

// UTF-8 to ANSI bytes. A character the code page cannot hold (or a broken UTF-8 sequence)
// becomes one "?" per character, as the Windows conversion does; replaced counts them.
// An unsupported code page number converts as 1252.
std::string Utf8ToAnsi(std::string_view utf8, int codepage, size_t* replaced = nullptr);
// ANSI bytes to UTF-8; a byte sequence the code page does not define becomes "?".
std::string AnsiToUtf8(std::string_view ansi, int codepage, size_t* replaced = nullptr);

// The same with the process-wide code page.
std::string Utf8ToAnsi(std::string_view utf8, size_t* replaced = nullptr);
std::string AnsiToUtf8(std::string_view ansi);

}  // namespace quillon
