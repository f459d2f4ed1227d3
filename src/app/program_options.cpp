#include "app/program_options.h"

#include <cstdlib>
#include <cstring>

#include "core/file_locations.h"
#include "core/help_texts.h"
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
    } else if (std::strcmp(a, "--home") == 0 && i + 1 < argc) {
      o.home = argv[++i];
    } else if (std::strcmp(a, "--station") == 0 && i + 1 < argc) {
      o.station = argv[++i];
    } else if (std::strcmp(a, "--records") == 0 && i + 1 < argc) {
      o.records = argv[++i];
    } else if (std::strcmp(a, "--operator") == 0 && i + 1 < argc) {
      o.operator_name = argv[++i];
    } else if (std::strcmp(a, "--vp-fault") == 0 && i + 1 < argc) {
      o.vp_faults.push_back(argv[++i]);
    } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      o.help = true;
    } else if (std::strcmp(a, "--version") == 0) {
      o.version = true;
    } else if (std::strncmp(a, "--", 2) == 0 && o.error.empty()) {
      o.error = std::string("unknown option: ") + a;
    }
  }
  if (!o.vp_faults.empty() && !o.virtual_printer && o.error.empty())
    o.error = "--vp-fault goes with --virtual-printer";
  return o;
}

std::string ProgramUsage() {
  return FormatHelp(QuillonHelp()) + "\n" + Files().Describe();
}

}  // namespace quillon
