// Once-a-run warning about characters replaced by the ANSI conversion.
#include "core/codepage_warning.h"

#include <atomic>

#include "core/float_format.h"
#include "core/messages.h"

namespace quillon {
namespace {

constexpr std::string_view kFormat =
    "%d characters cannot be written in code page %d and were sent as '?'";
constexpr std::string_view kFormatOne =
    "%d character cannot be written in code page %d and was sent as '?'";
constexpr std::string_view kAdvice = ": set ANSI_CODEPAGE=936 in config.ini for Chinese printers";

std::atomic<bool> g_warned{false};

}  // namespace

std::string ReplacedCharactersText(size_t replaced, int codepage, std::string_view format,
                                   std::string_view advice) {
  if (format.empty()) format = replaced == 1 ? kFormatOne : kFormat;
  std::string text =
      FormatNumbers(format, {static_cast<double>(replaced), static_cast<double>(codepage)});
  if (codepage != 936) text += advice.empty() ? kAdvice : advice;
  return text;
}

bool ReplacedCharactersWarningDue(size_t replaced) {
  return replaced > 0 && !g_warned.exchange(true);
}

void WarnReplacedCharacters(Messages& messages, size_t replaced, int codepage) {
  if (!ReplacedCharactersWarningDue(replaced)) return;
  std::string format = messages.Text("MSG_CODEPAGE");
  std::string advice = messages.Text("MSG_CODEPAGE_936");
  if (format == "ERROR" || advice == "ERROR") format = advice = "";  // an older message file
  messages.MSGDLG(kMsgWarning, "", ReplacedCharactersText(replaced, codepage, format, advice));
}

}  // namespace quillon
