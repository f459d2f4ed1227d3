// quillon-virtual-printer: runs the virtual printer on a pseudo-terminal (or over a file of
// bytes) so the serial path, scripts and previews work without a printer.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/help_texts.h"
#include "core/platform.h"
#include "core/utf8_path.h"
#include "virtualprinter/serve.h"
#include "virtualprinter/virtual_printer.h"

namespace {

using quillon::vp::Faults;
using quillon::vp::PaperLevel;
using quillon::vp::VirtualPrinter;

bool ParseInt(const char* text, long long& out, int base = 10) {
  const char* end = text + std::strlen(text);
  if (base == 16 && end - text > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text += 2;
  }
  auto [p, ec] = std::from_chars(text, end, out, base);
  return ec == std::errc() && p == end && text != end;
}

struct Args {
  bool pty = false;
  bool tcp = false;
  std::string tcp_address = "127.0.0.1";
  uint16_t tcp_port = 0;
  int paper_level = -1;  // PaperLevel to set, -1: as the state has it
  int cover_open = -1;   // 1 open, 0 closed, -1: as the state has it
  std::string link, input, state, paper, font, capture, port, report;
  uint32_t baud = 115200;
  bool no_font = false;
  int paper_width = 0;  // 0: as the saved state has it (384 for a new printer)
  Faults faults;
};

// "[ADDR:]PORT" of --tcp.
bool ParseListen(const char* text, Args& a) {
  std::string t = text;
  const size_t colon = t.rfind(':');
  if (colon != std::string::npos) {
    a.tcp_address = t.substr(0, colon);
    t = t.substr(colon + 1);
  }
  long long port = 0;
  if (a.tcp_address.empty() || !ParseInt(t.c_str(), port) || port < 0 || port > 65535) {
    return false;
  }
  a.tcp_port = static_cast<uint16_t>(port);
  a.tcp = true;
  return true;
}

// Returns 0 to run, or the exit code (after printing help or an error).
int ParseArgs(int argc, char** argv, Args& a) {
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    auto value = [&](const char*& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    auto number = [&](long long lo, long long hi, long long& out, int base = 10) {
      const char* v = nullptr;
      return value(v) && ParseInt(v, out, base) && out >= lo && out <= hi;
    };
    const char* v = nullptr;
    long long n = 0;
    bool ok = true;
    if (opt == "--help" || opt == "-h") {
      std::fputs(quillon::FormatHelp(quillon::VirtualPrinterHelp()).c_str(), stdout);
      return -1;
    } else if (opt == "--pty") {
      a.pty = true;
    } else if (opt == "--tcp") {
      ok = value(v) && ParseListen(v, a);
    } else if (opt == "--paper-out") {
      a.paper_level = static_cast<int>(PaperLevel::kOut);
    } else if (opt == "--paper-near-end") {
      a.paper_level = static_cast<int>(PaperLevel::kNearEnd);
    } else if (opt == "--paper-present") {
      a.paper_level = static_cast<int>(PaperLevel::kPresent);
    } else if (opt == "--cover-open") {
      a.cover_open = 1;
    } else if (opt == "--cover-closed") {
      a.cover_open = 0;
    } else if (opt == "--port") {
      ok = value(v) && (a.port = v, true);
    } else if (opt == "--baud") {
      ok = number(1, 4000000, n) && (a.baud = static_cast<uint32_t>(n), true);
    } else if (opt == "--link") {
      ok = value(v) && (a.link = v, true);
    } else if (opt == "--capture") {
      ok = value(v) && (a.capture = v, true);
    } else if (opt == "--hangup-after") {
      ok = number(1, UINT32_MAX, n) &&
           (a.faults.hangup_after_packets = static_cast<uint32_t>(n), true);
    } else if (opt == "--silent-after") {
      ok = number(1, UINT32_MAX, n) &&
           (a.faults.silent_after_packets = static_cast<uint32_t>(n), true);
    } else if (opt == "--input") {
      ok = value(v) && (a.input = v, true);
    } else if (opt == "--state") {
      ok = value(v) && (a.state = v, true);
    } else if (opt == "--paper") {
      ok = value(v) && (a.paper = v, true);
    } else if (opt == "--report") {
      ok = value(v) && (a.report = v, true);
    } else if (opt == "--font") {
      ok = value(v) && (a.font = v, true);
    } else if (opt == "--no-font") {
      a.no_font = true;
    } else if (opt == "--paper-width") {
      ok = number(384, 576, n) && (n == 384 || n == 576) &&
           (a.paper_width = static_cast<int>(n), true);
    } else if (opt == "--drop-nth") {
      ok = number(1, UINT32_MAX, n) &&
           (a.faults.drop_reply_to_packet = static_cast<uint32_t>(n), true);
    } else if (opt == "--drop-code") {
      ok = number(0, 255, n, 16) && (a.faults.drop_replies_to_code = static_cast<int>(n), true);
    } else if (opt == "--unplug-after") {
      ok = number(1, UINT32_MAX, n) &&
           (a.faults.unplug_after_packets = static_cast<uint32_t>(n), true);
    } else if (opt == "--refuse-text-sets") {
      a.faults.refuse_text_sets = true;
    } else if (opt == "--corrupt-checksum") {
      a.faults.corrupt_checksum = true;
    } else if (opt == "--wrong-length") {
      ok = number(-64, 64, n) && n != 0 && (a.faults.length_delta = static_cast<int>(n), true);
    } else if (opt == "--size-excess") {
      ok = number(1, 65535, n) && (a.faults.size_excess = static_cast<uint16_t>(n), true);
    } else if (opt == "--delay") {
      ok = number(1, 600000, n) && (a.faults.delay_ms = static_cast<uint32_t>(n), true);
    } else if (opt == "--split") {
      ok = number(1, 600000, n) && (a.faults.split_gap_ms = static_cast<uint32_t>(n), true);
    } else if (opt == "--fault-code") {
      ok = number(0, 255, n, 16) && (a.faults.fault_code = static_cast<int>(n), true);
    } else {
      std::fprintf(stderr, "quillon-virtual-printer: unknown option %s (see --help)\n",
                   opt.c_str());
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "quillon-virtual-printer: %s needs a valid value (see --help)\n",
                   opt.c_str());
      return 2;
    }
  }
  if (!a.input.empty() && (a.pty || a.tcp || !a.link.empty() || !a.port.empty())) {
    std::fputs("quillon-virtual-printer: --input does not go with --pty, --tcp, --link or --port\n",
               stderr);
    return 2;
  }
  if (a.tcp && (a.pty || !a.link.empty())) {
    std::fputs("quillon-virtual-printer: --tcp does not go with --pty or --link\n", stderr);
    return 2;
  }
  if (a.input.empty() && a.port.empty() && !a.tcp) a.pty = true;
  return 0;
}

bool FileExists(const std::string& path) {
  return std::ifstream(quillon::Utf8Path(path)).good();
}

// Saves state and paper; reports problems on stderr. True when everything was written.
bool SaveAll(VirtualPrinter& printer, const Args& a) {
  bool ok = true;
  std::string error;
  if (!a.state.empty() && !printer.SaveState(a.state, error)) {
    std::fprintf(stderr, "quillon-virtual-printer: state not saved: %s\n", error.c_str());
    ok = false;
  }
  if (!a.report.empty()) {
    if (printer.SaveReport(a.report, error)) {
      std::printf("report: %s\n", a.report.c_str());
    } else {
      std::fprintf(stderr, "quillon-virtual-printer: report not saved: %s\n", error.c_str());
      ok = false;
    }
  }
  if (!a.paper.empty()) {
    if (printer.SavePng(a.paper, error)) {
      std::printf("paper: %s\n", a.paper.c_str());
    } else {
      std::fprintf(stderr, "quillon-virtual-printer: paper not saved: %s\n", error.c_str());
      ok = false;
    }
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments as UTF-8 (file names in any script).
  std::vector<std::string> words = quillon::Utf8Arguments(argc, argv);
  std::vector<char*> utf8_argv = {argv[0]};
  for (std::string& w : words) utf8_argv.push_back(w.data());
  Args a;
  if (const int code = ParseArgs(static_cast<int>(utf8_argv.size()), utf8_argv.data(), a);
      code != 0)
    return code < 0 ? 0 : code;

  VirtualPrinter::Options options;
  options.factory_font = a.font;
  options.load_factory_font = !a.no_font;
  options.paper_width = a.paper_width ? a.paper_width : 384;
  VirtualPrinter printer(options);
  std::string error;
  if (!a.font.empty() && !FileExists(a.font)) {
    std::fprintf(stderr, "quillon-virtual-printer: font library %s not found\n", a.font.c_str());
    return 1;
  }
  if (!a.state.empty() && FileExists(a.state) && !printer.LoadState(a.state, error)) {
    std::fprintf(stderr, "quillon-virtual-printer: %s: %s (the file was left untouched)\n",
                 a.state.c_str(), error.c_str());
    return 1;
  }
  if (a.paper_width) printer.SetPaperWidth(a.paper_width);  // the option wins over the state
  printer.SetFaults(a.faults);
  if (a.paper_level >= 0) printer.state().paper = static_cast<PaperLevel>(a.paper_level);
  if (a.cover_open >= 0) printer.state().cover_open = a.cover_open == 1;

  if (!a.input.empty()) {
    std::vector<uint8_t> bytes;
    if (!quillon::vp::ReadWholeFile(a.input, bytes)) {
      std::fprintf(stderr, "quillon-virtual-printer: cannot read %s\n", a.input.c_str());
      return 1;
    }
    printer.Receive(bytes.data(), bytes.size());
    return SaveAll(printer, a) ? 0 : 1;
  }

  quillon::vp::SerialServe serve;
  serve.pty = a.pty;
  serve.link = a.link;
  serve.port = a.port;
  serve.baud = a.baud;
  serve.tcp = a.tcp;
  serve.tcp_address = a.tcp_address;
  serve.tcp_port = a.tcp_port;
  serve.capture = a.capture;
  uint64_t saved = printer.state_version();
  // Save the state a moment after it changed, so a crash loses little.
  serve.every_second = [&] {
    if (a.state.empty() || printer.state_version() == saved) return;
    saved = printer.state_version();
    if (!printer.SaveState(a.state, error)) {
      std::fprintf(stderr, "quillon-virtual-printer: state not saved: %s\n", error.c_str());
    }
  };
  if (!quillon::vp::ServeUntilStopped(printer, serve, error)) {
    std::fprintf(stderr, "quillon-virtual-printer: %s\n", error.c_str());
    return 1;
  }
  return SaveAll(printer, a) ? 0 : 1;
}
