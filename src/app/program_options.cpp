#include "app/program_options.h"

#include <cstdlib>
#include <cstring>

#include "virtualprinter/virtual_usb_bank.h"

namespace quillon {

ProgramOptions ParseProgramOptions(int argc, char** argv) {
  ProgramOptions o;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--virtual-printer") == 0) {
      o.virtual_printer = true;
    } else if (std::strncmp(a, "--virtual-printer=", 18) == 0) {
      char* end = nullptr;
      const long n = std::strtol(a + 18, &end, 10);
      if (a[18] == '\0' || *end != '\0' || n < 1 || n > vp::kMaxVirtualPrinters) {
        if (o.error.empty())
          o.error = std::string("--virtual-printer=N takes a count from 1 to ") +
                    std::to_string(vp::kMaxVirtualPrinters) + ": " + a;
      } else {
        o.virtual_printer = true;
        o.virtual_count = static_cast<int>(n);
      }
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
  return "Usage: quillon [--virtual-printer[=N] [--paper FILE.png] [--state FILE]] [--help]\n"
         "               [--version] [Qt options]\n"
         "\n"
         "Service tool for thermal receipt and label printers.\n"
         "\n"
         "  --virtual-printer  attach the built-in virtual printer as the USB printer\n"
         "    --paper FILE.png save what the virtual printer printed when the program ends\n"
         "    --state FILE     keep the virtual printer's settings, flash and card in FILE\n"
         "  --virtual-printer=N  attach N virtual printers (serial numbers VP0001...); --paper\n"
         "                     and --state then name folders with one file per printer\n"
         "  --help, -h         show this help and exit\n"
         "  --version          show the version and exit\n"
         "\n"
         "Settings, language and message files are read from the program's folder.\n";
}

}  // namespace quillon
