#include "settings/ansi_text.h"

#include "core/ansi_codepage.h"

namespace quillon {

// The program's one ANSI code page conversion (the code page chosen at start-up).
std::string ToAnsiText(std::string_view utf8, size_t* replaced) {
  size_t count = 0;
  std::string ansi = Utf8ToAnsi(utf8, &count);
  if (replaced) *replaced += count;
  return ansi;
}

std::string FromAnsiText(std::string_view ansi) {
  return AnsiToUtf8(ansi);
}

}  // namespace quillon
