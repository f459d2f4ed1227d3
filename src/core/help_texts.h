// The help of quillon, quillon-cli and quillon-virtual-printer: printed by --help, turned
// into the manual pages and quillon-cli's shell completion by the build.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/help_text.h"

namespace quillon {

const ProgramHelp& QuillonHelp();
const ProgramHelp& QuillonCliHelp();
const ProgramHelp& VirtualPrinterHelp();

// The words quillon-cli accepts after its global options, for completion and for the
// command help.
struct CliWords {
  // Each command with the words that may follow it (sub-commands).
  std::vector<std::pair<std::string, std::vector<std::string>>> commands;
  std::vector<std::string> get_settings;  // every name `get` reads
  std::vector<std::string> set_settings;  // the names `set` changes
  std::vector<std::string> escpos_names;  // `send escpos` test sequences, in page order
};
const CliWords& QuillonCliWords();

}  // namespace quillon
