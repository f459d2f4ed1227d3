// The help of a program as data: the program prints it for --help and the build turns the
// same data into the manual page, so the two always say the same.
#pragma once

#include <string>
#include <vector>

namespace quillon {

struct HelpEntry {
  std::string term;  // "--state FILE", "get <setting>"
  std::string text;  // what it does; '\n' starts another line
  int indent = 0;    // 1: belongs to the entry above (an option of an option)
};

struct HelpSection {
  std::string title;  // "Options", "Commands"
  std::vector<HelpEntry> entries;
};

struct ProgramHelp {
  std::string name;                // "quillon-cli"
  std::string summary;             // one line: what the program is
  std::vector<std::string> usage;  // argument patterns after the name
  std::string description;         // paragraphs separated by empty lines
  std::vector<HelpSection> sections;
  std::string files;        // where the files live (the manual's FILES)
  std::string exit_status;  // empty when the program says nothing special
};

// The --help text.
std::string FormatHelp(const ProgramHelp& help);
// One section as --help shows it (also for sub-command help).
std::string FormatSection(const HelpSection& section);
// The manual page (section 1) in roff.
std::string FormatManPage(const ProgramHelp& help, const std::string& version,
                          const std::string& date);

}  // namespace quillon
