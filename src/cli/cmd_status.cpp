// status: the printer's real-time status (online, cover, paper, errors), and the readiness
// check that print commands run first with --require-ready.
#include <cstdio>

#include "cli/commands.h"
#include "protocol/printer_status.h"

namespace quillon::cli {
namespace {

const char* kStatusHelp =
    "usage: quillon-cli status\n"
    "  asks the printer for its real-time status (DLE EOT 1 to 4) and prints it;\n"
    "  exit 0 when the printer is ready, 1 when it is not (the reason is named)\n";

JsonObject StatusJson(const PrinterStatus& st) {
  JsonObject o;
  o.Add("ready", st.ready());
  if (!st.ready()) o.Add("reason", st.NotReadyReason());
  o.Add("answered", st.complete())
      .Add("online", st.complete() && !st.offline)
      .Add("cover_open", st.cover_open)
      .Add("feed_button", st.feed_button)
      .Add("paper_near_end", st.paper_near_end)
      .Add("paper_out", st.paper_out)
      .Add("stopped_by_paper_out", st.stopped_by_paper_out)
      .Add("error", st.error)
      .Add("recoverable_error", st.recoverable_error)
      .Add("unrecoverable_error", st.unrecoverable_error)
      .Add("auto_recoverable_error", st.auto_recoverable_error)
      .Add("cutter_error", st.cutter_error);
  return o;
}

std::string StatusLines(const PrinterStatus& st) {
  auto yes = [](bool b) { return b ? "yes" : "no"; };
  std::string text = st.Summary();
  if (!st.complete()) return text;
  const std::pair<const char*, bool> rows[] = {
      {"online", !st.offline},
      {"cover open", st.cover_open},
      {"feed button", st.feed_button},
      {"paper near end", st.paper_near_end},
      {"paper out", st.paper_out},
      {"stopped by paper out", st.stopped_by_paper_out},
      {"error", st.error},
      {"recoverable error", st.recoverable_error},
      {"unrecoverable error", st.unrecoverable_error},
      {"auto-recoverable error", st.auto_recoverable_error},
      {"cutter error", st.cutter_error},
  };
  for (const auto& [name, value] : rows) text += "\n  " + std::string(name) + ": " + yes(value);
  return text;
}

}  // namespace

int CmdStatus(Args& args, CommandEnv& env) {
  if (args.Help()) {
    std::fputs(kStatusHelp, stdout);
    return kExitOk;
  }
  int code = 0;
  if (RejectLeftover(args, env, "status", &code)) return code;
  Session s(env.link, env.out);
  if (int c = s.Connect("status")) return c;
  const PrinterStatus st = QueryPrinterStatus(s.link());
  if (!st.ready()) {
    if (env.out.mode().json) {
      // One object with every flag, also when the printer is not ready.
      JsonObject o = StatusJson(st);
      std::printf("{\"command\":\"status\",\"ok\":false,\"exit\":%d,%s\n", kExitPrinterFailed,
                  o.str().substr(1).c_str());
      std::fflush(stdout);
      std::fprintf(stderr, "quillon-cli: status: not ready: %s\n", st.NotReadyReason().c_str());
      return kExitPrinterFailed;
    }
    std::printf("%s\n", StatusLines(st).c_str());
    return s.out().Fail("status", kExitPrinterFailed, "not ready: " + st.NotReadyReason());
  }
  s.out().Result("status", StatusJson(st), StatusLines(st));
  return kExitOk;
}

bool RequireReady(Session& s, const std::string& command, int* code) {
  const PrinterStatus st = QueryPrinterStatus(s.link());
  if (st.ready()) return true;
  *code = s.out().Fail(command, kExitPrinterFailed,
                       "the printer is not ready (" + st.NotReadyReason() + "); nothing was sent");
  return false;
}

}  // namespace quillon::cli
