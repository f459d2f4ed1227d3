// quillon-cli: every printer operation from the command line, for production lines and
// scripts. Global options, then a command and its words.
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_stop.h"
#include "cli/commands.h"
#include "cli/each_usb.h"
#include "core/file_locations.h"
#include "core/help_texts.h"
#include "core/platform.h"
#include "link/tcp_link.h"
#include "virtualprinter/virtual_usb_bank.h"

namespace quillon::cli {
namespace {

std::string Usage() {
  return FormatHelp(QuillonCliHelp()) + "\n" + Files().Describe();
}

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
      {"status", CmdStatus},
  };
  return table;
}

bool IsUsbId(const std::string& s) {
  auto colon = s.find(':');
  return colon == 4 && s.size() == 9;
}

// The global option among the command's words, if any ("--paper" for "--paper=x" too).
// A word that is the value of a command's own option ("--file --json") is not one.
std::optional<std::string> GlobalOptionAfterCommand(const std::vector<std::string>& words) {
  static const std::set<std::string> kGlobal = {"--virtual-printer",
                                                "--paper",
                                                "--state",
                                                "--usb",
                                                "--port",
                                                "--baud",
                                                "--json",
                                                "--quiet",
                                                "--verbose",
                                                "--home",
                                                "--version",
                                                "--tcp",
                                                "--factory-state",
                                                "--connect-timeout",
                                                "--each-usb",
                                                "--vp-fault"};
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0 && TakesValue(words[i - 1])) continue;
    const std::string name = words[i].substr(0, words[i].find('='));
    if (kGlobal.count(name)) return name;
  }
  return std::nullopt;
}

// The word after --usb: VID:PID, or a printer's port path or serial number.
void TakeUsbWord(const std::string& word, LinkOptions& link) {
  if (IsUsbId(word))
    link.usb_id = word;
  else
    link.usb_select = word;
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
  InstallStopSignals();
  OutputMode mode;
  LinkOptions link;
  PrepareConsole();
  bool each_usb = false;
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
    } else if (w.rfind("--virtual-printer=", 0) == 0) {
      auto n = ParseInt(w.substr(18), 1, vp::kMaxVirtualPrinters);
      if (!n) {
        std::fprintf(stderr, "quillon-cli: --virtual-printer=N takes a count from 1 to %d\n",
                     vp::kMaxVirtualPrinters);
        return kExitUsage;
      }
      link.kind = LinkOptions::Kind::kVirtual;
      link.virtual_count = static_cast<int>(*n);
    } else if (w == "--vp-fault") {
      const std::string* v = next("SERIAL:SWITCH");
      if (!v) return kExitUsage;
      link.vp_faults.push_back(*v);
    } else if (w == "--each-usb") {
      each_usb = true;
    } else if (w.rfind("--usb=", 0) == 0) {
      TakeUsbWord(w.substr(6), link);
    } else if (w == "--usb") {
      if (link.kind != LinkOptions::Kind::kVirtual) link.kind = LinkOptions::Kind::kUsb;
      // An optional word that is neither an option nor a command.
      if (i + 1 < words.size() && words[i + 1].rfind("--", 0) != 0 &&
          Commands().count(words[i + 1]) == 0) {
        TakeUsbWord(words[++i], link);
      }
    } else if (w == "--port") {
      const std::string* v = next("a device path");
      if (!v) return kExitUsage;
      link.kind = LinkOptions::Kind::kSerial;
      link.port = *v;
    } else if (w == "--tcp") {
      const std::string* v = next("HOST[:PORT]");
      if (!v) return kExitUsage;
      std::string why;
      if (!ParseNetAddress(*v, why)) {
        std::fprintf(stderr, "quillon-cli: --tcp %s\n", why.c_str());
        return kExitUsage;
      }
      link.kind = LinkOptions::Kind::kNetwork;
      link.tcp = *v;
    } else if (w == "--baud") {
      const std::string* v = next("a rate");
      if (!v) return kExitUsage;
      auto rate = ParseInt(*v, 1, 4000000);
      if (!rate) {
        std::fprintf(stderr, "quillon-cli: '%s' is not a valid baud rate\n", v->c_str());
        return kExitUsage;
      }
      link.baud = static_cast<uint32_t>(*rate);
    } else if (w == "--connect-timeout") {
      const std::string* v = next("a number of seconds");
      if (!v) return kExitUsage;
      auto seconds = ParseInt(*v, 1, 3600);
      if (!seconds) {
        std::fprintf(stderr, "quillon-cli: '%s' is not a valid connect time-out\n", v->c_str());
        return kExitUsage;
      }
      link.connect_timeout_ms = static_cast<uint32_t>(*seconds) * 1000;
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
  if (!link.vp_faults.empty() && link.kind != LinkOptions::Kind::kVirtual) {
    std::fprintf(stderr, "quillon-cli: --vp-fault goes with --virtual-printer\n");
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
  // The virtual printers keep their settings between commands, as printers do: one file, or
  // with several a folder beside it with one file per serial number.
  if (link.kind == LinkOptions::Kind::kVirtual && link.state.empty() && !link.factory_state)
    link.state = link.virtual_count > 1 ? files.VirtualPrinterStateFolder()
                                        : files.VirtualPrinterStateFile();
  Output out(mode);
  auto cmd = Commands().find(words[i]);
  if (cmd == Commands().end()) {
    return out.Fail("", kExitUsage, "unknown command '" + words[i] + "' (see --help)");
  }
  std::vector<std::string> rest(words.begin() + static_cast<long>(i) + 1, words.end());
  if (auto global = GlobalOptionAfterCommand(rest)) {
    return out.Fail(words[i], kExitUsage,
                    *global + " is a global option: put it before the command");
  }
  if (each_usb) {
    if (words[i] == "devices")
      return out.Fail("devices", kExitUsage, "--each-usb runs a printer command");
    return RunEachUsb(cmd->second, words[i], rest, link, mode);
  }
  Args args(std::move(rest));
  CommandEnv env{link, out};
  const int code = cmd->second(args, env);
  if (StopSignal() != 0) {
    // The session is gone by now: the port and its lock have been released.
    out.Fail(words[i], kExitPrinterFailed,
             "stopped by " + StopSignalName() + "; the port was released");
    return kExitPrinterFailed;
  }
  return code;
}

}  // namespace quillon::cli

int main(int argc, char** argv) {
  return quillon::cli::Main(argc, argv);
}
