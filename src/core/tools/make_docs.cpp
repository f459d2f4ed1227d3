// Build tool: writes the manual pages of the three programs and quillon-cli's bash
// completion from the help data the programs print for --help.
// Usage: quillon-make-docs OUTDIR VERSION DATE
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "core/help_texts.h"

namespace {

using namespace quillon;

std::string Join(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

// Option names of a help section: "--usb [VID:PID]" gives --usb, "--help, -h" both,
// "--virtual-printer=N" gives --virtual-printer=; each name once.
std::vector<std::string> OptionNames(const HelpSection& section) {
  std::vector<std::string> names;
  for (const HelpEntry& e : section.entries) {
    size_t pos = 0;
    while (pos < e.term.size() && e.term[pos] == '-') {
      size_t end = e.term.find_first_of(" ,=", pos);
      if (end != std::string::npos && e.term[end] == '=') ++end;
      const std::string name = e.term.substr(pos, end - pos);
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
      if (end != std::string::npos && e.term[end - 1] == '=') break;
      if (end == std::string::npos || e.term.compare(end, 2, ", ") != 0) break;
      pos = end + 2;
    }
  }
  return names;
}

std::string Completion() {
  const CliWords& words = QuillonCliWords();
  std::vector<std::string> commands;
  std::string subcommands, command_pattern;
  for (const auto& [command, next] : words.commands) {
    commands.push_back(command);
    command_pattern += "|" + command;
    if (!next.empty()) subcommands += "    " + command + ") choices=\"" + Join(next) + "\" ;;\n";
  }
  // Options that take a file or folder complete file names.
  return "# bash completion for quillon-cli; written by the build from the program's help.\n"
         "_quillon_cli() {\n"
         "  local cur prev words cword\n"
         "  _init_completion || return\n"
         "  case $prev in\n"
         "    --paper|--state|--file|--link|--records) _filedir; return ;;\n"
         "    --result) COMPREPLY=($(compgen -W 'pass fail interrupted running' -- \"$cur\")); "
         "return ;;\n"
         "    --home) _filedir -d; return ;;\n"
         "    --port) COMPREPLY=($(compgen -f -- \"${cur:-/dev/tty}\")); return ;;\n"
         "    --baud) COMPREPLY=($(compgen -W '9600 19200 38400 57600 115200' -- \"$cur\")); "
         "return ;;\n"
         "    --encoding) COMPREPLY=($(compgen -W 'ansi utf-8 unicode hex' -- \"$cur\")); "
         "return ;;\n"
         "  esac\n"
         "  # The command is the first word that is not an option or an option's value.\n"
         "  local i command='' after=0\n"
         "  for ((i = 1; i < cword; i++)); do\n"
         "    case ${words[i]} in\n"
         "      --paper|--state|--home|--port|--baud|--tcp|--vp-fault) ((i++)) ;;\n"
         "      --usb) case ${words[i + 1]} in -*" +
         command_pattern +
         ") ;; *) ((i++)) ;; esac ;;\n"
         "      -*) ;;\n"
         "      *) if [[ -z $command ]]; then command=${words[i]}; after=$i; fi ;;\n"
         "    esac\n"
         "  done\n"
         "  if [[ -z $command ]]; then\n"
         "    if [[ $cur == -* ]]; then\n"
         "      COMPREPLY=($(compgen -W '" +
         Join(OptionNames(QuillonCliHelp().sections.at(0))) +
         "' -- \"$cur\"))\n"
         "    else\n"
         "      COMPREPLY=($(compgen -W '" +
         Join(commands) +
         "' -- \"$cur\"))\n"
         "    fi\n"
         "    return\n"
         "  fi\n"
         "  local choices=''\n"
         "  if ((cword == after + 1)); then\n"
         "    case $command in\n"
         "    get) choices='" +
         Join(words.get_settings) +
         "' ;;\n"
         "    set) choices='" +
         Join(words.set_settings) + "' ;;\n" + subcommands +
         "    *) _filedir; return ;;\n"
         "    esac\n"
         "  elif [[ $command == send && ${words[after + 1]} == escpos ]] && ((cword == after + "
         "2)); "
         "then\n"
         "    choices='" +
         Join(words.escpos_names) +
         "'\n"
         "  else\n"
         "    _filedir\n"
         "    return\n"
         "  fi\n"
         "  COMPREPLY=($(compgen -W \"$choices\" -- \"$cur\"))\n"
         "} &&\n"
         "  complete -F _quillon_cli quillon-cli\n";
}

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) std::fprintf(stderr, "quillon-make-docs: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: quillon-make-docs OUTDIR VERSION DATE\n", stderr);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  bool ok = true;
  for (const ProgramHelp* help : {&QuillonHelp(), &QuillonCliHelp(), &VirtualPrinterHelp()})
    ok = Write(dir + help->name + ".1", FormatManPage(*help, argv[2], argv[3])) && ok;
  ok = Write(dir + "quillon-cli", Completion()) && ok;
  return ok ? 0 : 1;
}
