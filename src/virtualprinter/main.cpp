// quillon-virtual-printer: runs the virtual printer on a pseudo-terminal (or over a file of
// bytes) so the serial path, scripts and previews work without a printer.

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
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

// A whole number in [lo, hi] (base 16: "0x" may lead).
bool Number(const std::string& text, long long lo, long long hi, long long& out, int base = 10) {
  const char* p = text.c_str();
  const char* end = p + text.size();
  if (base == 16 && end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  auto [stop, ec] = std::from_chars(p, end, out, base);
  return ec == std::errc() && stop == end && p != end && out >= lo && out <= hi;
}

struct Args {
  bool help = false;
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
bool ParseListen(const std::string& text, Args& a) {
  std::string t = text;
  const size_t colon = t.rfind(':');
  if (colon != std::string::npos) {
    a.tcp_address = t.substr(0, colon);
    t = t.substr(colon + 1);
  }
  long long port = 0;
  if (a.tcp_address.empty() || !Number(t, 0, 65535, port)) return false;
  a.tcp_port = static_cast<uint16_t>(port);
  a.tcp = true;
  return true;
}

// An option: its names, whether it takes a value, and what one use of it does (false: the
// value is not valid).
struct Option {
  const char* names;
  bool takes_value;
  std::function<bool(const std::string& v, Args& a)> apply;
};

// A count of packets, a time in milliseconds...: a whole number in [lo, hi] into field.
template <typename T>
std::function<bool(const std::string&, Args&)> Whole(long long lo, long long hi, T Args::*field,
                                                     int base = 10) {
  return [=](const std::string& v, Args& a) {
    long long n = 0;
    if (!Number(v, lo, hi, n, base)) return false;
    a.*field = static_cast<T>(n);
    return true;
  };
}
template <typename T>
std::function<bool(const std::string&, Args&)> Fault(long long lo, long long hi, T Faults::*field,
                                                     int base = 10) {
  return [=](const std::string& v, Args& a) {
    long long n = 0;
    if (!Number(v, lo, hi, n, base)) return false;
    a.faults.*field = static_cast<T>(n);
    return true;
  };
}
std::function<bool(const std::string&, Args&)> Text(std::string Args::*field) {
  return [=](const std::string& v, Args& a) { return a.*field = v, true; };
}
std::function<bool(const std::string&, Args&)> Set(int Args::*field, int value) {
  return [=](const std::string&, Args& a) { return a.*field = value, true; };
}

const std::vector<Option>& Options() {
  static const std::vector<Option> options = {
      {"--help,-h", false, [](const std::string&, Args& a) { return a.help = true; }},
      {"--pty", false, [](const std::string&, Args& a) { return a.pty = true; }},
      {"--tcp", true, [](const std::string& v, Args& a) { return ParseListen(v, a); }},
      {"--paper-out", false, Set(&Args::paper_level, static_cast<int>(PaperLevel::kOut))},
      {"--paper-near-end", false, Set(&Args::paper_level, static_cast<int>(PaperLevel::kNearEnd))},
      {"--paper-present", false, Set(&Args::paper_level, static_cast<int>(PaperLevel::kPresent))},
      {"--cover-open", false, Set(&Args::cover_open, 1)},
      {"--cover-closed", false, Set(&Args::cover_open, 0)},
      {"--port", true, Text(&Args::port)},
      {"--baud", true, Whole(1, 4000000, &Args::baud)},
      {"--link", true, Text(&Args::link)},
      {"--capture", true, Text(&Args::capture)},
      {"--input", true, Text(&Args::input)},
      {"--state", true, Text(&Args::state)},
      {"--paper", true, Text(&Args::paper)},
      {"--report", true, Text(&Args::report)},
      {"--font", true, Text(&Args::font)},
      {"--no-font", false, [](const std::string&, Args& a) { return a.no_font = true; }},
      {"--paper-width", true,
       [](const std::string& v, Args& a) {
         long long n = 0;
         if (!Number(v, 384, 576, n) || (n != 384 && n != 576)) return false;
         a.paper_width = static_cast<int>(n);
         return true;
       }},
      {"--hangup-after", true, Fault(1, UINT32_MAX, &Faults::hangup_after_packets)},
      {"--silent-after", true, Fault(1, UINT32_MAX, &Faults::silent_after_packets)},
      {"--drop-nth", true, Fault(1, UINT32_MAX, &Faults::drop_reply_to_packet)},
      {"--drop-code", true, Fault(0, 255, &Faults::drop_replies_to_code, 16)},
      {"--unplug-after", true, Fault(1, UINT32_MAX, &Faults::unplug_after_packets)},
      {"--refuse-text-sets", false,
       [](const std::string&, Args& a) { return a.faults.refuse_text_sets = true; }},
      {"--corrupt-checksum", false,
       [](const std::string&, Args& a) { return a.faults.corrupt_checksum = true; }},
      {"--wrong-length", true,
       [](const std::string& v, Args& a) {
         long long n = 0;
         if (!Number(v, -64, 64, n) || n == 0) return false;
         a.faults.length_delta = static_cast<int>(n);
         return true;
       }},
      {"--size-excess", true, Fault(1, 65535, &Faults::size_excess)},
      {"--delay", true, Fault(1, 600000, &Faults::delay_ms)},
      {"--split", true, Fault(1, 600000, &Faults::split_gap_ms)},
      {"--fault-code", true, Fault(0, 255, &Faults::fault_code, 16)},
  };
  return options;
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "quillon-virtual-printer: %s\n", text.c_str());
  return 2;
}

// The transports exclude each other; "" when the choice is in order. Without one, the
// printer serves on a pseudo-terminal.
std::string TransportProblem(Args& a) {
  if (!a.input.empty() && (a.pty || a.tcp || !a.link.empty() || !a.port.empty()))
    return "--input does not go with --pty, --tcp, --link or --port";
  if (a.tcp && (a.pty || !a.link.empty())) return "--tcp does not go with --pty or --link";
  if (a.input.empty() && a.port.empty() && !a.tcp) a.pty = true;
  return "";
}

// Returns 0 to run, or the exit code (after printing help or an error).
int ParseArgs(const std::vector<std::string>& words, Args& a) {
  CLI::App app;
  app.set_help_flag();
  app.allow_extras();
  std::map<const CLI::Option*, const Option*> of;
  for (const Option& o : Options())
    of[o.takes_value ? app.add_option(o.names)->allow_extra_args(false)->take_all()
                     : app.add_flag(o.names)] = &o;
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {  // an option at the end without its value
    const std::string what = e.what();
    return UsageError(what.substr(0, what.find(':')) + " needs a valid value (see --help)");
  }
  std::map<const CLI::Option*, size_t> used;
  for (const CLI::Option* option : app.parse_order()) {
    if (!of.at(option)->apply(option->results().at(used[option]++), a))
      return UsageError(option->get_name() + " needs a valid value (see --help)");
  }
  if (a.help) {
    std::fputs(quillon::FormatHelp(quillon::VirtualPrinterHelp()).c_str(), stdout);
    return -1;
  }
  if (!app.remaining().empty())
    return UsageError("unknown option " + app.remaining().front() + " (see --help)");
  if (std::string problem = TransportProblem(a); !problem.empty()) return UsageError(problem);
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
  Args a;
  if (const int code = ParseArgs(quillon::Utf8Arguments(argc, argv), a); code != 0)
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
