#include "app/program_options.h"

#include <cstring>

namespace quillon {

ProgramOptions ParseProgramOptions(int argc, char** argv) {
  ProgramOptions o;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--virtual-printer") == 0) {
      o.virtual_printer = true;
    } else if ((std::strcmp(a, "--paper") == 0 || std::strcmp(a, "--state") == 0) && i + 1 < argc) {
      (a[2] == 'p' ? o.paper : o.state) = argv[++i];
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
  return "Usage: quillon [--virtual-printer [--paper FILE.png] [--state FILE]] [--help]\n"
         "               [--version] [Qt options]\n"
         "\n"
         "Service tool for thermal receipt and label printers.\n"
         "\n"
         "  --virtual-printer  attach the built-in virtual printer as the USB printer\n"
         "    --paper FILE.png save what the virtual printer printed when the program ends\n"
         "    --state FILE     keep the virtual printer's settings, flash and card in FILE\n"
         "  --help, -h         show this help and exit\n"
         "  --version          show the version and exit\n"
         "\n"
         "Settings, language and message files are read from the program's folder.\n";
}

}  // namespace quillon
