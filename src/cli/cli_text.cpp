// Text from the command line (UTF-8) to the printer's code page and back, through the
// program's one ANSI code-page conversion.
#include "cli/commands.h"
#include "core/ansi_codepage.h"
#include "core/file_locations.h"
#include "core/ini_file.h"

namespace quillon::cli {

void LoadCodePageSetting(const LinkOptions&) {
  ApplyAnsiCodePageSetting(IniFile(Files().ConfigFile()));
}

std::string ToPrinterText(const std::string& utf8) {
  return Utf8ToAnsi(utf8);
}
std::string FromPrinterText(const std::string& bytes) {
  return AnsiToUtf8(bytes);
}

}  // namespace quillon::cli
