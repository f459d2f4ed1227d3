#include "settings/ansi_text.h"

#include "output/ansi_codepage.h"

namespace quillon {

// The program's one ANSI code page conversion (the code page chosen at start-up).
std::string ToAnsiText(std::string_view utf8) {
  return Utf8ToAnsi(utf8);
}

std::string FromAnsiText(std::string_view ansi) {
  return AnsiToUtf8(ansi);
}

}  // namespace quillon
