#include "app/program_options.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "core/file_locations.h"
#include "core/help_texts.h"
#include "virtualprinter/virtual_usb_bank.h"

namespace quillon {

ProgramOptions ParseProgramOptions(int argc, char** argv) {
  ProgramOptions o;
  // Words with a single dash are Qt's (-platform offscreen, -style fusion): they are left
  // out, and a value of theirs stays an unused word.
  std::vector<std::string> words;
  for (int i = argc - 1; i >= 1; --i) {
    const std::string w = argv[i];
    if (w.size() > 1 && w[0] == '-' && w[1] != '-' && w != "-h") continue;
    words.push_back(w);  // CLI11 takes them last first
  }
  CLI::App app;
  app.set_help_flag();
  app.allow_extras();
  CLI::Option* virtual_printer = app.add_flag("--virtual-printer");
  app.add_option("--paper", o.paper);
  app.add_option("--state", o.state);
  app.add_option("--home", o.home);
  app.add_flag("--help,-h", o.help);
  app.add_flag("--version", o.version);
  try {
    app.parse(words);
  } catch (const CLI::ParseError& e) {  // an option at the end without its value
    const std::string what = e.what();
    o.error = what.substr(0, what.find(':')) + " needs a value";
    return o;
  }
  for (const std::string& count : virtual_printer->results()) {
    o.virtual_printer = true;
    if (count == "true") continue;  // plain --virtual-printer
    const auto n = std::strtol(count.c_str(), nullptr, 10);
    if (count.find_first_not_of("0123456789") != std::string::npos || n < 1 ||
        n > vp::kMaxVirtualPrinters) {
      o.error = "--virtual-printer=N takes a count from 1 to " +
                std::to_string(vp::kMaxVirtualPrinters) + ": --virtual-printer=" + count;
      return o;
    }
    o.virtual_count = static_cast<int>(n);
  }
  for (const std::string& word : app.remaining()) {
    if (word.rfind("--", 0) == 0) {
      o.error = "unknown option: " + word;
      break;
    }
  }
  return o;
}

std::string ProgramUsage() {
  return FormatHelp(QuillonHelp()) + "\n" + Files().Describe();
}

}  // namespace quillon
