// The transmit box's text in the ANSI code page: the program's shared conversion where this
// build has it, else the locale's 8-bit encoding.
#include "link/bluetooth/ansi_text.h"

#if __has_include("output/ansi_codepage.h")
#include "output/ansi_codepage.h"

namespace quillon {
std::string ToAnsi(const QString& text) {
  return Utf8ToAnsi(text.toUtf8().toStdString());
}
}  // namespace quillon

#else

namespace quillon {
std::string ToAnsi(const QString& text) {
  return text.toLocal8Bit().toStdString();
}
}  // namespace quillon

#endif
