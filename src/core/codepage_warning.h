// The warning that a text went to the printer with "?" for characters the ANSI code page
// cannot hold: given once a run, wherever it happens first (a Chinese text under an English
// locale goes out as "????" otherwise without a word).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

class Messages;

// "4 characters cannot be written in code page 1252 and were sent as '?': set
// ANSI_CODEPAGE=936 in config.ini for Chinese printers". format holds "%d" for the count and
// the code page, advice the hint added when the code page is not 936 already; empty ones take
// the English texts.
std::string ReplacedCharactersText(size_t replaced, int codepage, std::string_view format = {},
                                   std::string_view advice = {});

// True the first time in this run that it is called with replaced > 0.
bool ReplacedCharactersWarningDue(size_t replaced);

// For the main window's pages: once a run, a warning box with the message file's texts
// (MSG_CODEPAGE, MSG_CODEPAGE_936), or the English ones when the file lacks them.
void WarnReplacedCharacters(Messages& messages, size_t replaced, int codepage);

}  // namespace quillon
