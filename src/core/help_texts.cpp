#include "core/help_texts.h"

namespace quillon {
namespace {

const char kFiles[] =
    "Portable use: when the program's folder holds config.ini and can be written (the build\n"
    "folder, an unpacked archive), every file is beside the program: config.ini,\n"
    "language_msg.ini, the window language files language_<window>.ini and the log/ folder.\n"
    "\n"
    "Installed use: the settings are in $XDG_CONFIG_HOME/quillon/config.ini (by default\n"
    "~/.config/quillon/), copied on first start from share/quillon/config.ini. Language files\n"
    "are read from $XDG_CONFIG_HOME/quillon/ first, then from share/quillon/; Create Language\n"
    "writes the user's copy. The exchange log is written to\n"
    "$XDG_STATE_HOME/quillon/log/yyyymmdd.txt (by default ~/.local/state/quillon/), and\n"
    "quillon-cli keeps the virtual printer's state in\n"
    "$XDG_STATE_HOME/quillon/virtual-printer.state; several virtual printers keep theirs in\n"
    "the folder virtual-printer.state.d/ beside it, one file per serial number. The\n"
    "production station records every unit in $XDG_STATE_HOME/quillon/records.sqlite\n"
    "(records.jsonl in the Windows build), and a server store buffers in\n"
    "records-buffer.sqlite beside it; in portable use both are beside the program.\n"
    "\n"
    "With --home DIR every one of these files is in DIR.";

}  // namespace

const ProgramHelp& QuillonHelp() {
  static const ProgramHelp help{
      "quillon",
      "service tool for thermal receipt and label printers",
      {"[--virtual-printer[=N] [--paper FILE.png] [--state FILE]] [--home DIR]",
       "--help | --version"},
      "Looks after one thermal printer connected by USB or through a serial port: flashes\n"
      "firmware and font libraries, reads and changes the printer's settings, sends test\n"
      "output, pictures and boot logos, edits printer font files, tests RFID readers and\n"
      "talks to Bluetooth printers. Options with a single dash are left to Qt (-platform,\n"
      "-style).",
      {{"Options",
        {{"--virtual-printer", "attach the built-in virtual printer as the USB printer"},
         {"--paper FILE.png", "save what the virtual printer printed when the program ends", 1},
         {"--state FILE", "keep the virtual printer's settings, flash and card in FILE", 1},
         {"--virtual-printer=N",
          "attach N virtual printers (1 to 32; serial numbers VP0001...);\n--paper and --state "
          "then name folders with one file per printer"},
         {"--home DIR", "folder of config.ini, the language files and log/"},
         {"--help, -h", "show this help and exit"},
         {"--version", "show the version and exit"}}}},
      kFiles,
      ""};
  return help;
}

const ProgramHelp& QuillonCliHelp() {
  static const ProgramHelp help{
      "quillon-cli",
      "thermal printer service operations from the command line",
      {"[global options] <command> [arguments]"},
      "Every printer operation of quillon from the command line, for production lines and\n"
      "scripts. Global options come first, then a command and its words; each command\n"
      "explains its words with --help (quillon-cli get --help).",
      {{"Global options",
        {{"--virtual-printer", "the built-in virtual printer (in-process USB device)"},
         {"--paper FILE.png", "save what the virtual printer printed", 1},
         {"--state FILE", "keep the virtual printer's state in FILE instead of the\ndefault", 1},
         {"--factory-state", "start from the factory state and save nothing", 1},
         {"--virtual-printer=N",
          "N virtual printers on one hub (1 to 32; ports 99-1..., serials\nVP0001...); --paper "
          "and --state then name folders with one file\nper printer (by default "
          "virtual-printer.state.d/)"},
         {"--vp-fault SERIAL:SWITCH",
          "a fault on one virtual printer: SERIAL:unplug-after=N,\nSERIAL:drop-code=HEX or "
          "SERIAL:refuse-text-sets (may be repeated)",
          1},
         {"--usb [VID:PID]", "the USB printer (default; VID:PID overrides config.ini)"},
         {"--usb PATH|SERIAL",
          "the printer at that port path (1-2.3) or with that serial number\n(without it, the "
          "first printer found)"},
         {"--each-usb",
          "run the command on every attached printer at once, then a\nsummary; exit status 1 if "
          "any failed"},
         {"--port PATH", "a serial port (cable or Bluetooth) instead of USB"},
         {"--baud N", "the serial port's rate (default 115200)", 1},
         {"--connect-timeout S", "how long a Bluetooth port (rfcomm) may take to connect (10)", 1},
         {"--tcp HOST[:PORT]", "a network printer (raw TCP, port 9100 by default)"},
         {"--json", "one JSON object per result on stdout; progress as JSON lines"},
         {"--quiet", "less output"},
         {"--verbose", "each exchange's bytes in hex"},
         {"--home DIR",
          "folder of config.ini, language files, log/ and the virtual\n"
          "printer's state"},
         {"--help, -h", "show this help and exit"},
         {"--version", "show the version and exit"}}},
       {"Commands",
        {{"devices",
          "printers (port path, serial number, route), other USB devices\nand serial ports"},
         {"get <setting>", "read a printer setting (get --help lists them)"},
         {"set <setting> <value>", "change a printer setting"},
         {"factory-reset --yes", "restore the factory settings"},
         {"firmware update FILE [--old]", "flash firmware (newer or older protocol)"},
         {"firmware enter-update-mode", "put the printer into its boot loader"},
         {"firmware unlock", "unlock the flash"},
         {"font download FILE", "download a font library\n[--packsize N] [--erase-all]"},
         {"send text TEXT|--file F",
          "send text\n[--encoding ansi|utf-8|unicode|hex] "
          "[--no-escapes]"},
         {"send escpos <name>", "ESC/POS test sequence (send escpos --help)"},
         {"print image FILE", "dithered raster bands"},
         {"status", "the printer's real-time status; exit 0 ready, 1 not ready"},
         {"--require-ready",
          "with send and print: ask the status first and send nothing\nunless the printer is "
          "ready",
          1},
         {"logo FILE", "screen boot logo"},
         {"wifi set ... | wifi reset", "Wi-Fi module settings"},
         {"net get | net set", "wired network settings\n--ip A --mask M --gateway G [--dhcp]"},
         {"label ...", "threshold | self-test | get | set SENSOR OUT"},
         {"rfid ...", "request | read | write --sector N ...: RFID reader test"},
         {"paper-roll ...", "create [...] | read: the paper roll's tag"},
         {"provision PROFILE",
          "apply a production profile to the printer: every step read\nback and compared, "
          "the unit recorded (with --each-usb: every printer)"},
         {"station PROFILE",
          "stay running and provision each USB printer as it is plugged\nin, one status line "
          "per port; Ctrl-C once lets the units in\nprogress finish, twice stops them "
          "(--virtual-printer=N: N virtual\nprinters arrive one after another, up to 9999)"},
         {"--records FILE|URL",
          "with provision, station and records: the records store, an\nSQLite file or a "
          "postgresql:// server shared by several benches",
          1},
         {"--operator NAME", "with provision and station: who runs the bench", 1},
         {"--force",
          "with provision and station: flash the firmware even when the\nprinter already "
          "reports expect_info",
          1},
         {"records list|show|export|sync",
          "the units recorded: list [--since DATE] [--result R]\n[--serial S] [--last N], "
          "show SERIAL, export --csv|--jsonl, sync\n(send what waited while the server was "
          "away)"}}}},
      kFiles,
      "0 success, 1 the printer refused or did not answer (or the command was stopped: SIGINT\n"
      "or SIGTERM stops it at once, a second one ends the program), 2 usage error, 3 no\n"
      "printer found or it cannot be opened, 4 bad input file or value (a profile mistake,\n"
      "named by file and line). provision and station: 0 every unit passed, 1 a unit failed\n"
      "or was interrupted."};
  return help;
}

const ProgramHelp& VirtualPrinterHelp() {
  static const ProgramHelp help{
      "quillon-virtual-printer",
      "a virtual thermal printer on a pseudo-terminal",
      {"[options]"},
      "A virtual thermal printer: it answers the private command packets as a printer does,\n"
      "keeps its settings, font flash, logo and RFID card, and prints raw output (text and\n"
      "ESC/POS) onto virtual paper. The in-process USB device is attached by quillon and\n"
      "quillon-cli with --virtual-printer; it is listed with the identifiers of config.ini.\n"
      "Packets are counted from 1. Stop with Ctrl+C; the state and the paper are saved then.",
      {{"Transports",
        {{"--pty",
          "serve on a pseudo-terminal that behaves as a serial port (the\n"
          "default); its path is printed as \"port: /dev/pts/N\""},
         {"--link PATH", "also put a symbolic link to the port at PATH"},
         {"--tcp [ADDR:]PORT",
          "serve as a network printer on TCP PORT of ADDR (default\n127.0.0.1; PORT 0 picks a free "
          "one), one client at a time; the\naddress is printed as \"tcp: ADDR:PORT\""},
         {"--port COMn",
          "(Windows) serve on this COM port, the printer's end of a null-modem\n"
          "pair; --baud N sets its rate (default 115200)"},
         {"--input FILE", "feed the bytes of FILE to the printer, then stop (no --pty)"},
         {"--capture FILE", "append every byte received on the pseudo-terminal to FILE"}}},
       {"State and paper",
        {{"--state FILE",
          "start from the state saved in FILE (factory state when it does\n"
          "not exist) and save every change back to it"},
         {"--paper FILE.png", "write the paper to FILE.png when stopping"},
         {"--paper-width DOTS", "384 (58 mm, default) or 576 (80 mm)"},
         {"--report FILE.json",
          "write what the ESC/POS output did when stopping: commands by\nname and count, unknown "
          "commands with their offsets, symbols and\nthe text of every printed line"},
         {"--font FILE",
          "font library put into the flash at factory state (default: the\n"
          "shipped sample_font.bin)"},
         {"--no-font", "start with an erased font flash"}}},
       {"Paper and cover (kept in the state)",
        {{"--paper-out", "no paper: printing stops (as with the cover open)"},
         {"--paper-near-end", "the roll is running low"},
         {"--paper-present", "paper in (clears a state's paper out or near end)"},
         {"--cover-open", "the cover is open"},
         {"--cover-closed", "the cover is closed"}}},
       {"Faults",
        {{"--drop-nth N", "no reply to the Nth packet"},
         {"--drop-code HEX", "no reply to any packet with this command code"},
         {"--unplug-after N", "answer N packets, then vanish as if unplugged"},
         {"--hangup-after N",
          "answer N packets, then hang the line up (the pseudo-terminal\n"
          "closes, as when a USB-serial adapter is pulled out)"},
         {"--silent-after N", "answer N packets, then answer nothing more"},
         {"--refuse-text-sets", "answer every text set with 0 (refused)"},
         {"--corrupt-checksum", "replies carry a wrong checksum"},
         {"--wrong-length N", "replies get N extra bytes (negative: N bytes fewer)"},
         {"--size-excess N", "replies claim N more data bytes than they carry"},
         {"--delay MS", "replies become readable MS milliseconds late"},
         {"--split MS", "each reply is sent as two writes MS milliseconds apart"},
         {"--fault-code HEX",
          "the reply faults above apply only to this command code\n(04: the real-time status "
          "replies)"},
         {"--help", "this text"}}}},
      "The sample font library is share/quillon/sample_font.bin when installed, or beside the\n"
      "program in portable use.",
      ""};
  return help;
}

const CliWords& QuillonCliWords() {
  static const CliWords words{{{"devices", {}},
                               {"get", {}},
                               {"set", {}},
                               {"factory-reset", {"--yes"}},
                               {"firmware", {"update", "enter-update-mode", "unlock"}},
                               {"font", {"download"}},
                               {"send", {"text", "escpos"}},
                               {"print", {"image"}},
                               {"logo", {}},
                               {"status", {}},
                               {"wifi", {"set", "reset"}},
                               {"net", {"get", "set"}},
                               {"label", {"threshold", "self-test", "get", "set"}},
                               {"rfid", {"request", "read", "write"}},
                               {"paper-roll", {"create", "read"}},
                               {"provision", {}},
                               {"station", {}},
                               {"records", {"list", "show", "export", "sync"}}},
                              {"language", "cmdmode", "tagmode", "stepmode", "blackness", "charset",
                               "sleep", "flash-lock", "bt-name", "bt-pin", "bt-mac", "info",
                               "serial-number", "net", "label-thresholds", "label-distances"},
                              {"language", "cmdmode", "tagmode", "stepmode", "blackness", "charset",
                               "sleep", "bt-name", "bt-pin", "serial-number"},
                              {"drawer", "test-page", "barcode", "qr", "font-24", "double-height",
                               "double-width", "double-size", "align-left", "align-center",
                               "align-right", "font-16", "init", "feed", "cut"}};
  return words;
}

}  // namespace quillon
