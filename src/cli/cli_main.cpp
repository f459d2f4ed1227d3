// quillon-cli: every printer operation from the command line, for production lines and
// scripts. Global options, then a command and its words.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "core/file_locations.h"
#include "core/help_texts.h"
#include "core/platform.h"

namespace quillon::cli {
namespace {

std::string Usage() {
  return FormatHelp(QuillonCliHelp()) + "\n" + Files().Describe();
}

using Command = int (*)(Args&, CommandEnv&);

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> table = {
      {"devices", CmdDevices},
      {"get", CmdGet},
      {"set", CmdSet},
      {"factory-reset", CmdFactoryReset},
      {"wifi", CmdWifi},
      {"net", CmdNet},
      {"label", CmdLabel},
      {"rfid", CmdRfid},
      {"paper-roll", CmdPaperRoll},
      {"firmware", CmdFirmware},
      {"font", CmdFont},
      {"send", CmdSend},
      {"print", CmdPrint},
      {"logo", CmdLogo},
  };
  return table;
}

bool IsUsbId(const std::string& s) {
  auto colon = s.find(':');
  return colon == 4 && s.size() == 9;
}

}  // namespace

bool RejectLeftover(Args& args, CommandEnv& env, const std::string& command, int* code) {
  if (auto extra = args.Leftover()) {
    *code = env.out.Fail(command, kExitUsage, "unexpected argument '" + *extra + "'");
    return true;
  }
  return false;
}

int Main(int argc, char** argv) {
  OutputMode mode;
  LinkOptions link;
  PrepareConsole();
  std::vector<std::string> words = Utf8Arguments(argc, argv);
  size_t i = 0;
  // Global options come before the command word.
  for (; i < words.size(); ++i) {
    const std::string& w = words[i];
    auto next = [&](const char* what) -> const std::string* {
      if (i + 1 >= words.size()) {
        std::fprintf(stderr, "quillon-cli: %s needs %s\n", w.c_str(), what);
        return nullptr;
      }
      return &words[++i];
    };
    if (w == "--help" || w == "-h") {
      SetHomeFolder(link.home);
      std::fputs(Usage().c_str(), stdout);
      return kExitOk;
    } else if (w == "--version") {
      std::printf("quillon-cli %s\n", QUILLON_VERSION);
      return kExitOk;
    } else if (w == "--json") {
      mode.json = true;
    } else if (w == "--quiet") {
      mode.quiet = true;
    } else if (w == "--verbose") {
      mode.verbose = true;
    } else if (w == "--virtual-printer") {
      link.kind = LinkOptions::Kind::kVirtual;
    } else if (w == "--usb") {
      link.kind = LinkOptions::Kind::kUsb;
      if (i + 1 < words.size() && IsUsbId(words[i + 1])) link.usb_id = words[++i];
    } else if (w == "--port") {
      const std::string* v = next("a device path");
      if (!v) return kExitUsage;
      link.kind = LinkOptions::Kind::kSerial;
      link.port = *v;
    } else if (w == "--baud") {
      const std::string* v = next("a rate");
      if (!v) return kExitUsage;
      auto rate = ParseInt(*v, 1, 4000000);
      if (!rate) {
        std::fprintf(stderr, "quillon-cli: '%s' is not a valid baud rate\n", v->c_str());
        return kExitUsage;
      }
      link.baud = static_cast<uint32_t>(*rate);
    } else if (w == "--home") {
      const std::string* v = next("a folder");
      if (!v) return kExitUsage;
      link.home = *v;
    } else if (w == "--paper") {
      const std::string* v = next("a PNG file name");
      if (!v) return kExitUsage;
      link.paper = *v;
    } else if (w == "--state") {
      const std::string* v = next("a file name");
      if (!v) return kExitUsage;
      link.state = *v;
    } else if (w == "--factory-state") {
      link.factory_state = true;
    } else if (w.rfind("--", 0) == 0) {
      std::fprintf(stderr, "quillon-cli: unknown option '%s' (see --help)\n", w.c_str());
      return kExitUsage;
    } else {
      break;
    }
  }
  if (i >= words.size()) {
    std::fprintf(stderr, "quillon-cli: no command given\n%s", Usage().c_str());
    return kExitUsage;
  }
  if ((!link.paper.empty() || !link.state.empty() || link.factory_state) &&
      link.kind != LinkOptions::Kind::kVirtual) {
    std::fprintf(stderr,
                 "quillon-cli: --paper, --state and --factory-state go with --virtual-printer\n");
    return kExitUsage;
  }
  if (link.factory_state && !link.state.empty()) {
    std::fprintf(stderr, "quillon-cli: --state and --factory-state exclude each other\n");
    return kExitUsage;
  }
  SetHomeFolder(link.home);
  const FileLocations files = Files();
  if (std::string error; !files.PrepareUserFiles(&error))
    std::fprintf(stderr, "quillon-cli: %s\n", error.c_str());
  // The virtual printer keeps its settings between commands, as a printer does.
  if (link.kind == LinkOptions::Kind::kVirtual && link.state.empty() && !link.factory_state)
    link.state = files.VirtualPrinterStateFile();
  Output out(mode);
  auto cmd = Commands().find(words[i]);
  if (cmd == Commands().end()) {
    return out.Fail("", kExitUsage, "unknown command '" + words[i] + "' (see --help)");
  }
  Args args(std::vector<std::string>(words.begin() + static_cast<long>(i) + 1, words.end()));
  CommandEnv env{link, out};
  return cmd->second(args, env);
}

}  // namespace quillon::cli

int main(int argc, char** argv) {
  return quillon::cli::Main(argc, argv);
}
