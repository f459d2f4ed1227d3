#include "app/program_options.h"

#include <cstring>

#include "core/file_locations.h"
#include "core/help_texts.h"

namespace quillon {

ProgramOptions ParseProgramOptions(int argc, char** argv) {
  ProgramOptions o;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--virtual-printer") == 0) {
      o.virtual_printer = true;
    } else if ((std::strcmp(a, "--paper") == 0 || std::strcmp(a, "--state") == 0) && i + 1 < argc) {
      (a[2] == 'p' ? o.paper : o.state) = argv[++i];
    } else if (std::strcmp(a, "--home") == 0 && i + 1 < argc) {
      o.home = argv[++i];
    } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      o.help = true;
    } else if (std::strcmp(a, "--version") == 0) {
      o.version = true;
    } else if (std::strncmp(a, "--", 2) == 0 && o.error.empty()) {
      o.error = std::string("unknown option: ") + a;
    }
  }
  return o;
}

std::string ProgramUsage() {
  return FormatHelp(QuillonHelp()) + "\n" + Files().Describe();
}

}  // namespace quillon
