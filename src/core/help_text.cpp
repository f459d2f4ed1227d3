#include "core/help_text.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace quillon {
namespace {

constexpr size_t kTermColumn = 26;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Text for roff: backslashes escaped, no line taken for a request, hyphens of options kept
// as minus signs so they can be copied.
std::string Roff(const std::string& text, bool option_like = false) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-' && option_like)
      out += "\\-";
    else
      out += c;
  }
  return out;
}

std::string RoffLines(const std::string& text) {
  std::string out;
  for (const std::string& line : Lines(text)) {
    if (line.empty()) {
      out += ".PP\n";
      continue;
    }
    if (line[0] == '.' || line[0] == '\'') out += "\\&";
    // Leading spaces would start a new filled line in roff: such lines stay as written.
    if (line[0] == ' ') out += ".br\n";
    out += Roff(line) + "\n";
  }
  return out;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

}  // namespace

std::string FormatSection(const HelpSection& section) {
  std::string out = section.title + ":\n";
  for (const HelpEntry& e : section.entries) {
    std::string left = std::string(2 + 2 * static_cast<size_t>(e.indent), ' ') + e.term;
    const std::vector<std::string> lines = Lines(e.text);
    if (left.size() + 2 > kTermColumn) {
      out += left + "\n";
      left.clear();
    }
    for (size_t i = 0; i < std::max<size_t>(lines.size(), 1); ++i) {
      left.resize(kTermColumn, ' ');
      out += left + (i < lines.size() ? lines[i] : "") + "\n";
      left.clear();
    }
  }
  return out;
}

std::string FormatHelp(const ProgramHelp& help) {
  std::string out;
  for (size_t i = 0; i < help.usage.size(); ++i)
    out += (i == 0 ? "Usage: " : "       ") + help.name + " " + help.usage[i] + "\n";
  out += "\n" + help.description + "\n";
  for (const HelpSection& s : help.sections) out += "\n" + FormatSection(s);
  if (!help.exit_status.empty()) out += "\nExit status:\n" + help.exit_status + "\n";
  return out;
}

std::string FormatManPage(const ProgramHelp& help, const std::string& version,
                          const std::string& date) {
  std::string out = ".TH " + Roff(Upper(help.name), true) + " 1 \"" + date + "\" \"Quillon " +
                    version + "\" \"User Commands\"\n";
  out += ".SH NAME\n" + Roff(help.name, true) + " \\- " + Roff(help.summary) + "\n";
  out += ".SH SYNOPSIS\n";
  for (size_t i = 0; i < help.usage.size(); ++i) {
    if (i) out += ".br\n";
    out += ".B " + Roff(help.name, true) + "\n" + Roff(help.usage[i], true) + "\n";
  }
  out += ".SH DESCRIPTION\n" + RoffLines(help.description);
  for (const HelpSection& s : help.sections) {
    out += ".SH " + Roff(Upper(s.title)) + "\n";
    for (const HelpEntry& e : s.entries) {
      // Entries that belong to the one above read the same in a manual's list.
      out += ".TP\n.B " + Roff(e.term, true) + "\n" + RoffLines(e.text);
    }
  }
  if (!help.files.empty()) out += ".SH FILES\n" + RoffLines(help.files);
  if (!help.exit_status.empty()) out += ".SH \"EXIT STATUS\"\n" + RoffLines(help.exit_status);
  return out;
}

}  // namespace quillon
