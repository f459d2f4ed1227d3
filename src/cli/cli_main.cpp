// quillon-cli: every printer operation from the command line, for production lines and
// scripts. Global options, then a command and its words.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
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

// Every command with the options it takes (see CommandOptions).
const std::map<std::string, CommandEntry>& Commands() {
  static const std::map<std::string, CommandEntry> table = {
      {"devices", {CmdDevices}},
      {"get", {CmdGet}},
      {"set", {CmdSet}},
      {"factory-reset", {CmdFactoryReset, {{}, {"--yes"}}}},
      {"wifi",
       {CmdWifi,
        {{"--ssid", "--password", "--ip", "--mask", "--gateway", "--dns", "--server-ip",
          "--server-port"},
         {"--static", "--dhcp"}}}},
      {"net", {CmdNet, {{"--ip", "--mask", "--gateway"}, {"--dhcp"}}}},
      {"label", {CmdLabel}},
      {"rfid", {CmdRfid, {{"--sector", "--key", "--block", "--data"}, {"--key-b"}}}},
      {"paper-roll", {CmdPaperRoll, {{"--type", "--count", "--width", "--height", "--gap"}}}},
      {"firmware", {CmdFirmware, {{}, {"--old"}}}},
      {"font", {CmdFont, {{"--packsize"}, {"--erase-all"}}}},
      {"send", {CmdSend, {{"--file", "--encoding"}, {"--no-escapes", "--require-ready"}}}},
      {"print", {CmdPrint, {{}, {"--require-ready"}}}},
      {"logo", {CmdLogo}},
      {"status", {CmdStatus}},
      {"provision", {CmdProvision, {{"--records", "--operator"}, {"--force"}}}},
      {"station", {CmdStation, {{"--records", "--operator"}, {"--force"}}}},
      {"records",
       {CmdRecords,
        {{"--records", "--operator", "--since", "--result", "--serial", "--last"},
         {"--csv", "--jsonl"}}}},
  };
  return table;
}

// What the global options set.
struct Globals {
  OutputMode mode;
  LinkOptions link;
  bool each_usb = false;
  bool help = false;
  bool version = false;
};

// The station's virtual printers arrive a few at a time, so it takes more of them.
constexpr int kMaxStationVirtualPrinters = 9999;

bool IsUsbId(const std::string& s) {
  auto colon = s.find(':');
  return colon == 4 && s.size() == 9;
}

// The word after --usb: VID:PID, or a printer's port path or serial number.
void TakeUsbWord(const std::string& word, LinkOptions& link) {
  if (IsUsbId(word))
    link.usb_id = word;
  else
    link.usb_select = word;
}

// A global option: its names, what its value is (nullptr: a flag; a flag may still be
// given "=VALUE"), and what one use of it does with that value ("true" for a plain flag):
// "" or the usage error.
struct GlobalOption {
  const char* names;
  const char* needs;
  std::function<std::string(const std::string& value, Globals& g)> apply;
};

using Kind = LinkOptions::Kind;

const std::vector<GlobalOption>& GlobalOptions() {
  static const std::vector<GlobalOption> options = {
      {"--help,-h", nullptr, [](const std::string&, Globals& g) { return g.help = true, ""; }},
      {"--version", nullptr, [](const std::string&, Globals& g) { return g.version = true, ""; }},
      {"--json", nullptr, [](const std::string&, Globals& g) { return g.mode.json = true, ""; }},
      {"--quiet", nullptr, [](const std::string&, Globals& g) { return g.mode.quiet = true, ""; }},
      {"--verbose", nullptr,
       [](const std::string&, Globals& g) { return g.mode.verbose = true, ""; }},
      {"--virtual-printer", nullptr,
       [](const std::string& v, Globals& g) -> std::string {
         g.link.kind = Kind::kVirtual;
         if (v == "true") return "";
         auto n = ParseInt(v, 1, kMaxStationVirtualPrinters);
         if (!n)
           return "--virtual-printer=N takes a count from 1 to " +
                  std::to_string(vp::kMaxVirtualPrinters);
         g.link.virtual_count = static_cast<int>(*n);
         return "";
       }},
      {"--vp-fault", "SERIAL:SWITCH",
       [](const std::string& v, Globals& g) { return g.link.vp_faults.push_back(v), ""; }},
      {"--each-usb", nullptr, [](const std::string&, Globals& g) { return g.each_usb = true, ""; }},
      {"--usb", nullptr,
       [](const std::string& v, Globals& g) {
         if (v != "true")
           TakeUsbWord(v, g.link);  // --usb=WORD
         else if (g.link.kind != Kind::kVirtual)
           g.link.kind = Kind::kUsb;
         return "";
       }},
      {"--port", "a device path",
       [](const std::string& v, Globals& g) {
         g.link.kind = Kind::kSerial;
         g.link.port = v;
         return "";
       }},
      {"--tcp", "HOST[:PORT]",
       [](const std::string& v, Globals& g) -> std::string {
         std::string why;
         if (!ParseNetAddress(v, why)) return "--tcp " + why;
         g.link.kind = Kind::kNetwork;
         g.link.tcp = v;
         return "";
       }},
      {"--baud", "a rate",
       [](const std::string& v, Globals& g) -> std::string {
         auto rate = ParseInt(v, 1, 4000000);
         if (!rate) return "'" + v + "' is not a valid baud rate";
         g.link.baud = static_cast<uint32_t>(*rate);
         return "";
       }},
      {"--connect-timeout", "a number of seconds",
       [](const std::string& v, Globals& g) -> std::string {
         auto seconds = ParseInt(v, 1, 3600);
         if (!seconds) return "'" + v + "' is not a valid connect time-out";
         g.link.connect_timeout_ms = static_cast<uint32_t>(*seconds) * 1000;
         return "";
       }},
      {"--home", "a folder", [](const std::string& v, Globals& g) { return g.link.home = v, ""; }},
      {"--paper", "a PNG file name",
       [](const std::string& v, Globals& g) { return g.link.paper = v, ""; }},
      {"--state", "a file name",
       [](const std::string& v, Globals& g) { return g.link.state = v, ""; }},
      {"--factory-state", nullptr,
       [](const std::string&, Globals& g) { return g.link.factory_state = true, ""; }},
  };
  return options;
}

// Whether name ("--paper", "-h") is one of the global options.
bool IsGlobalOption(const std::string& name) {
  for (const GlobalOption& o : GlobalOptions()) {
    const std::string names = std::string(",") + o.names + ",";
    if (names.find("," + name + ",") != std::string::npos) return true;
  }
  return false;
}

// "--usb WORD": an optional word after --usb that is neither an option nor a command. It is
// taken out of words (before the command), to be applied once --usb is.
std::optional<std::string> TakeUsbSelection(std::vector<std::string>& words) {
  for (size_t i = 0; i + 1 < words.size() && Commands().count(words[i]) == 0; ++i) {
    if (words[i] != "--usb" || words[i + 1].rfind("-", 0) == 0 || Commands().count(words[i + 1]))
      continue;
    std::string word = words[i + 1];
    words.erase(words.begin() + static_cast<long>(i) + 1);
    return word;
  }
  return std::nullopt;
}

// Reads the global options in front of the command word, in their order, into g; words
// keeps the command and its words. Returns "" or the usage error.
std::string ReadGlobals(std::vector<std::string>& words, Globals& g) {
  const std::optional<std::string> usb_word = TakeUsbSelection(words);
  CLI::App app;
  app.set_help_flag();
  app.prefix_command();  // the first positional word is the command: it and the rest stay
  app.allow_extras();    // unknown options stay too, to be named below
  std::map<const CLI::Option*, const GlobalOption*> of;
  for (const GlobalOption& o : GlobalOptions()) {
    CLI::Option* option = o.needs ? app.add_option(o.names)->allow_extra_args(false)->take_all()
                                  : app.add_flag(o.names);
    of[option] = &o;
  }
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {  // a value option at the end without its value
    const std::string name = std::string(e.what()).substr(0, std::string(e.what()).find(':'));
    for (const auto& [option, o] : of) {
      if (option->check_name(name)) return name + " needs " + o->needs;
    }
    return e.what();
  }
  // Each use in the order given: a later one overrides an earlier one.
  std::map<const CLI::Option*, size_t> used;
  for (const CLI::Option* option : app.parse_order()) {
    const std::string& value = option->results().at(used[option]++);
    if (std::string error = of.at(option)->apply(value, g); !error.empty()) return error;
    if (usb_word && option->check_name("--usb") && value == "true") TakeUsbWord(*usb_word, g.link);
  }
  words = app.remaining();
  return "";
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "quillon-cli: %s\n", text.c_str());
  return kExitUsage;
}

// The virtual printer's own options go with it; "" when they are in order.
std::string VirtualPrinterOptionsProblem(const LinkOptions& link) {
  if ((!link.paper.empty() || !link.state.empty() || link.factory_state) &&
      link.kind != Kind::kVirtual)
    return "--paper, --state and --factory-state go with --virtual-printer";
  if (!link.vp_faults.empty() && link.kind != Kind::kVirtual)
    return "--vp-fault goes with --virtual-printer";
  if (link.factory_state && !link.state.empty())
    return "--state and --factory-state exclude each other";
  return "";
}

// The home folder and the user's files; the virtual printers keep their settings between
// commands, as printers do: one file, or with several a folder beside it with one file per
// serial number.
void PrepareFiles(LinkOptions& link) {
  SetHomeFolder(link.home);
  const FileLocations files = Files();
  if (std::string error; !files.PrepareUserFiles(&error))
    std::fprintf(stderr, "quillon-cli: %s\n", error.c_str());
  if (link.kind == Kind::kVirtual && link.state.empty() && !link.factory_state)
    link.state = link.virtual_count > 1 ? files.VirtualPrinterStateFolder()
                                        : files.VirtualPrinterStateFile();
}

// Runs the command words[0] with the rest of words.
int RunCommand(const std::vector<std::string>& words, const Globals& g, Output& out) {
  const std::string& name = words.front();
  auto cmd = Commands().find(name);
  if (cmd == Commands().end())
    return out.Fail("", kExitUsage, "unknown command '" + name + "' (see --help)");
  Args args(std::vector<std::string>(words.begin() + 1, words.end()), cmd->second.options);
  for (const std::string& word : args.rest()) {
    const std::string option = word.substr(0, word.find('='));
    if (IsGlobalOption(option))
      return out.Fail(name, kExitUsage, option + " is a global option: put it before the command");
  }
  if (!args.error().empty()) return out.Fail(name, kExitUsage, args.error());
  if (g.link.virtual_count > vp::kMaxVirtualPrinters && name != "station")
    return UsageError("--virtual-printer=N takes a count from 1 to " +
                      std::to_string(vp::kMaxVirtualPrinters));
  if (g.each_usb && name == "provision") {
    CommandEnv env{g.link, out};
    return CmdProvisionEachUsb(args, env);
  }
  if (g.each_usb) {
    if (name == "devices")
      return out.Fail("devices", kExitUsage, "--each-usb runs a printer command");
    return RunEachUsb(cmd->second.run, name, args, g.link, g.mode);
  }
  CommandEnv env{g.link, out};
  const int code = cmd->second.run(args, env);
  // The production commands stop in two stages and report how themselves.
  const bool own_stop = name == "station" || name == "provision";
  if (StopSignal() != 0 && !own_stop) {
    // The session is gone by now: the port and its lock have been released.
    out.Fail(name, kExitPrinterFailed,
             "stopped by " + StopSignalName() + "; the port was released");
    return kExitPrinterFailed;
  }
  // The command's session has ended by now; what it could not finish (saving the virtual
  // paper or state) turns a success into that failure.
  if (code == kExitOk && out.first_failure() != 0) return out.first_failure();
  return code;
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
  PrepareConsole();
  Globals g;
  std::vector<std::string> words = Utf8Arguments(argc, argv);
  if (std::string error = ReadGlobals(words, g); !error.empty()) return UsageError(error);
  if (g.help) {
    SetHomeFolder(g.link.home);
    std::fputs(Usage().c_str(), stdout);
    return kExitOk;
  }
  if (g.version) {
    std::printf("quillon-cli %s\n", QUILLON_VERSION);
    return kExitOk;
  }
  if (!words.empty() && words.front().rfind("--", 0) == 0)
    return UsageError("unknown option '" + words.front() + "' (see --help)");
  if (words.empty()) {
    std::fprintf(stderr, "quillon-cli: no command given\n%s", Usage().c_str());
    return kExitUsage;
  }
  if (std::string problem = VirtualPrinterOptionsProblem(g.link); !problem.empty())
    return UsageError(problem);
  PrepareFiles(g.link);
  Output out(g.mode);
  return RunCommand(words, g, out);
}

}  // namespace quillon::cli

int main(int argc, char** argv) {
  return quillon::cli::Main(argc, argv);
}
