// quillon-cli: every printer operation from the command line, for production lines and
// scripts. Global options, then a command and its words.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/each_usb.h"
#include "virtualprinter/virtual_usb_bank.h"

namespace quillon::cli {
namespace {

const char* kUsage =
    "usage: quillon-cli [global options] <command> [arguments]\n"
    "global options:\n"
    "  --virtual-printer       the built-in virtual printer (in-process USB device)\n"
    "  --virtual-printer=N     N virtual printers on one hub (ports 99-1..., serials VP0001...)\n"
    "    --paper FILE.png      save what the virtual printer printed (a folder with N > 1)\n"
    "    --state FILE          keep the virtual printer's state across runs (a folder with N > 1)\n"
    "    --vp-fault SERIAL:unplug-after=N | SERIAL:drop-code=HEX   a fault on one of them\n"
    "  --usb [VID:PID]         the USB printer (default; VID:PID overrides config.ini)\n"
    "  --usb PATH|SERIAL       the printer at that port path (1-2.3) or with that serial number\n"
    "                          (without it, the first printer found)\n"
    "  --each-usb              run the command on every attached printer at once, then a\n"
    "                          summary; exit status 1 if any failed\n"
    "  --port PATH [--baud N]  a serial port (cable or Bluetooth) instead of USB\n"
    "  --json                  one JSON object per result on stdout; progress as JSON lines\n"
    "  --quiet, --verbose      less output / each exchange's bytes in hex\n"
    "  --home DIR              folder of config.ini, language files and log/\n"
    "commands:\n"
    "  devices                                 printers (port path, serial number, route), other "
    "USB devices, serial ports\n"
    "  get <setting>                           read a printer setting (get --help lists them)\n"
    "  set <setting> <value>                   change a printer setting\n"
    "  factory-reset --yes                     restore the factory settings\n"
    "  firmware update FILE [--old]            flash firmware (newer or older protocol)\n"
    "  firmware enter-update-mode | firmware unlock\n"
    "  font download FILE [--packsize N] [--erase-all]\n"
    "  send text TEXT|--file F [--encoding ansi|utf-8|unicode|hex] [--no-escapes]\n"
    "  send escpos <name>                      ESC/POS test sequence (send escpos --help)\n"
    "  print image FILE                        dithered raster bands\n"
    "  logo FILE                               screen boot logo\n"
    "  wifi set ... | wifi reset               Wi-Fi module settings\n"
    "  net get | net set --ip A --mask M --gateway G [--dhcp]\n"
    "  label threshold | label self-test | label get | label set SENSOR OUT\n"
    "  rfid request|read|write --sector N ...  RFID reader test\n"
    "  paper-roll create [...] | paper-roll read\n"
    "exit codes: 0 success, 1 the printer refused or did not answer, 2 usage error,\n"
    "            3 no printer found or it cannot be opened, 4 bad input file or value\n";

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
  OutputMode mode;
  LinkOptions link;
  bool each_usb = false;
  std::vector<std::string> words(argv + 1, argv + argc);
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
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (w == "--version") {
      std::printf("quillon-cli 4.0\n");
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
    } else if (w.rfind("--", 0) == 0) {
      std::fprintf(stderr, "quillon-cli: unknown option '%s'\n%s", w.c_str(), kUsage);
      return kExitUsage;
    } else {
      break;
    }
  }
  if (i >= words.size()) {
    std::fprintf(stderr, "quillon-cli: no command given\n%s", kUsage);
    return kExitUsage;
  }
  if ((!link.paper.empty() || !link.state.empty()) && link.kind != LinkOptions::Kind::kVirtual) {
    std::fprintf(stderr, "quillon-cli: --paper and --state go with --virtual-printer\n");
    return kExitUsage;
  }
  if (!link.vp_faults.empty() && link.kind != LinkOptions::Kind::kVirtual) {
    std::fprintf(stderr, "quillon-cli: --vp-fault goes with --virtual-printer\n");
    return kExitUsage;
  }
  Output out(mode);
  auto cmd = Commands().find(words[i]);
  if (cmd == Commands().end()) {
    return out.Fail("", kExitUsage, "unknown command '" + words[i] + "' (see --help)");
  }
  std::vector<std::string> rest(words.begin() + static_cast<long>(i) + 1, words.end());
  if (each_usb) {
    if (words[i] == "devices")
      return out.Fail("devices", kExitUsage, "--each-usb runs a printer command");
    return RunEachUsb(cmd->second, words[i], rest, link, mode);
  }
  Args args(std::move(rest));
  CommandEnv env{link, out};
  return cmd->second(args, env);
}

}  // namespace quillon::cli

int main(int argc, char** argv) {
  return quillon::cli::Main(argc, argv);
}
