// The transmit box's text in the ANSI code page: the program's shared conversion where this
// build has it, else the locale's 8-bit encoding.
#include "bluetooth/ansi_text.h"

#if __has_include("core/ansi_codepage.h")
#include "core/ansi_codepage.h"
#include "core/codepage_warning.h"

namespace quillon {
std::string ToAnsi(const QString& text, size_t* replaced) {
  size_t count = 0;
  std::string ansi = Utf8ToAnsi(text.toUtf8().toStdString(), &count);
  if (replaced) *replaced = count;
  return ansi;
}

QString ReplacedCharactersNote(size_t replaced) {
  if (!ReplacedCharactersWarningDue(replaced)) return {};
  return QString::fromStdString(ReplacedCharactersText(replaced, AnsiCodePage()));
}
}  // namespace quillon

#else

namespace quillon {
std::string ToAnsi(const QString& text, size_t* replaced) {
  if (replaced) *replaced = 0;
  return text.toLocal8Bit().toStdString();
}

QString ReplacedCharactersNote(size_t) {
  return {};
}
}  // namespace quillon

#endif
