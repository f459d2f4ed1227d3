// records: what the production station recorded, unit by unit: list, show, export, and
// sending the records a server store could not take yet.
#include <cctype>
#include <cstdio>

#include "cli/production_cli.h"

namespace quillon::cli {
namespace {

const char* kRecordsHelp =
    "usage: quillon-cli records list [--since DATE] [--result pass|fail|interrupted]\n"
    "                                [--serial S] [--last N]\n"
    "       quillon-cli records show SERIAL\n"
    "       quillon-cli records export --csv|--jsonl [--since DATE] [--result R] [--serial S]\n"
    "       quillon-cli records sync\n"
    "  each with [--records FILE|postgresql://...] (default: records.sqlite in the state\n"
    "  folder). DATE is 2026-03-01 or 2026-03-01T09:00 (UTC). sync sends the records that\n"
    "  waited in the local buffer while the server could not be reached.\n";

bool TakeQuery(Args& args, CommandEnv& env, const std::string& command, production::RecordQuery& q,
               bool with_last, int* code) {
  if (auto since = args.Value("--since")) {
    const std::string& d = *since;
    const bool date = d.size() >= 10 && std::isdigit(static_cast<unsigned char>(d[0])) &&
                      d[4] == '-' && d[7] == '-';
    if (!date) {
      *code = env.out.Fail(command, kExitBadInput, "--since takes a date such as 2026-03-01");
      return false;
    }
    q.since = d;
  }
  if (auto result = args.Value("--result")) {
    q.result = production::UnitResultFromName(*result);
    if (!q.result) {
      *code = env.out.Fail(command, kExitBadInput,
                           "--result is pass, fail, interrupted or running, not '" + *result + "'");
      return false;
    }
  }
  if (auto serial = args.Value("--serial")) q.serial = *serial;
  if (with_last) {
    if (auto last = args.Value("--last")) {
      auto n = ParseInt(*last, 1, 1000000000);
      if (!n) {
        *code = env.out.Fail(command, kExitBadInput, "--last takes a number of records");
        return false;
      }
      q.limit = *n;
    }
  }
  return true;
}

std::string Row(const production::UnitRecord& r) {
  char text[512];
  std::snprintf(text, sizeof text, "%-6lld %-24s %-20s %-11s %-12s %-10s %s",
                static_cast<long long>(r.id), r.started.c_str(),
                r.serial.empty() ? "-" : r.serial.c_str(), production::UnitResultName(r.result),
                r.station.c_str(), r.operator_name.empty() ? "-" : r.operator_name.c_str(),
                r.reason.c_str());
  return text;
}

void Show(const production::UnitRecord& r) {
  const production::UnitIdentity& id = r.identity;
  std::printf("record %lld  %s\n", static_cast<long long>(r.id), r.uuid.c_str());
  std::printf("  serial       %s (%s)\n", r.serial.c_str(),
              production::SerialStateName(r.serial_state));
  std::printf("  result       %s%s%s, %.1f s\n", production::UnitResultName(r.result),
              r.reason.empty() ? "" : ": ", r.reason.c_str(), r.seconds);
  std::printf("  time         %s to %s\n", r.started.c_str(), r.ended.c_str());
  std::printf("  station      %s (process %lld), operator %s\n", r.station.c_str(),
              static_cast<long long>(r.station_pid),
              r.operator_name.empty() ? "-" : r.operator_name.c_str());
  std::printf("  profile      %s  sha256 %s\n", r.profile_name.c_str(), r.profile_sha256.c_str());
  std::printf("  printer      %s %s%s%s\n", id.link.c_str(), id.port.c_str(),
              id.usb_serial.empty() ? "" : "  usb serial ", id.usb_serial.c_str());
  std::printf("  information  %s\n", id.printer_info.c_str());
  if (!r.info_after.empty() && r.info_after != id.printer_info)
    std::printf("  after        %s\n", r.info_after.c_str());
  std::printf("  bluetooth    %s\n", id.bt_mac.c_str());
  std::printf("  number found %s\n", id.serial_number.c_str());
  if (!r.firmware_sha256.empty())
    std::printf("  firmware     sha256 %s\n", r.firmware_sha256.c_str());
  if (!r.font_sha256.empty()) std::printf("  font         sha256 %s\n", r.font_sha256.c_str());
  if (!r.logo_sha256.empty()) std::printf("  logo         sha256 %s\n", r.logo_sha256.c_str());
  std::printf("  quillon      %s\n  steps\n", r.version.c_str());
  for (const production::StepRecord& s : r.steps)
    std::printf("    %-9s %-11s %6.1f s  %s\n", production::StepName(s.step),
                production::StepStatusName(s.status), s.seconds, s.message.c_str());
  std::printf("  values (requested -> read back)\n");
  for (const production::ValueRecord& v : r.values) {
    if (v.read)
      std::printf("    %-14s %s -> %s%s\n", v.name.c_str(), v.requested.c_str(),
                  v.read_back.c_str(), v.equal ? "" : "  DIFFERENT");
    else
      std::printf("    %-14s %s (not read back)\n", v.name.c_str(), v.requested.c_str());
  }
}

}  // namespace

int CmdRecords(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub) {
    std::fputs(kRecordsHelp, stdout);
    return sub ? kExitOk : kExitUsage;
  }
  const std::string command = "records " + *sub;
  if (*sub != "list" && *sub != "show" && *sub != "export" && *sub != "sync")
    return env.out.Fail("records", kExitUsage,
                        "unknown records command '" + *sub + "'\n" + kRecordsHelp);
  int code = 0;
  ProductionArgs p;
  if (!TakeProductionArgs(args, env, command, false, p, &code)) return code;
  production::RecordQuery q;
  std::optional<std::string> serial;
  bool csv = false, jsonl = false;
  if (*sub == "list" || *sub == "export") {
    if (!TakeQuery(args, env, command, q, *sub == "list", &code)) return code;
  }
  if (*sub == "show") {
    serial = args.Next();
    if (!serial)
      return env.out.Fail(command, kExitUsage, std::string("missing SERIAL\n") + kRecordsHelp);
    q.serial = *serial;
  }
  if (*sub == "export") {
    csv = args.Flag("--csv");
    jsonl = args.Flag("--jsonl");
    if (csv == jsonl)
      return env.out.Fail(command, kExitUsage, "export takes one of --csv and --jsonl");
  }
  if (RejectLeftover(args, env, command, &code)) return code;
  auto store = OpenStore(env, command, p, &code);
  if (!store) return code;
  std::string error;

  if (*sub == "sync") {
    const int64_t sent = store->Sync(&error);
    if (sent < 0) return env.out.Fail(command, kExitPrinterFailed, error);
    JsonObject o;
    o.Add("sent", sent).Add("waiting", store->Pending());
    env.out.Result(command, o,
                   "sent " + std::to_string(sent) + " record(s) to " + store->Describe() + "; " +
                       std::to_string(store->Pending()) + " wait");
    return kExitOk;
  }
  if (*sub == "export") {
    // One large buffer: an export of a whole year's units goes out in big writes.
    std::string out;
    out.reserve(1 << 20);
    if (csv) out = production::CsvHeader();
    const bool ok = store->ForEach(
        q,
        [&](const production::UnitRecord& r) {
          out += csv ? production::RecordToCsv(r) : production::RecordToJson(r) + "\n";
          if (out.size() >= (1u << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
          }
          return true;
        },
        &error);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    if (!ok) return env.out.Fail(command, kExitPrinterFailed, error);
    return kExitOk;
  }
  std::vector<production::UnitRecord> records = store->List(q, &error);
  if (!error.empty()) return env.out.Fail(command, kExitPrinterFailed, error);
  if (*sub == "show" && records.empty())
    return env.out.Fail(command, kExitBadInput, "no record of serial number '" + *serial + "'");
  for (const production::UnitRecord& r : records) {
    if (env.out.mode().json) {
      std::printf("%s\n", production::RecordToJson(r).c_str());
    } else if (*sub == "show") {
      Show(r);
    } else {
      std::printf("%s\n", Row(r).c_str());
    }
  }
  if (*sub == "list" && !env.out.mode().json && !env.out.mode().quiet) {
    const production::Counters c = store->Count(q, &error);
    std::printf("%lld record(s): %lld pass, %lld fail, %lld interrupted, %lld running\n",
                static_cast<long long>(c.total()), static_cast<long long>(c.pass),
                static_cast<long long>(c.fail), static_cast<long long>(c.interrupted),
                static_cast<long long>(c.running));
  }
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace quillon::cli
