// firmware / font: flashing through the same flows as the firmware and font pages.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/cli_flow_ui.h"
#include "cli/commands.h"
#include "flash/firmware_flow.h"
#include "flash/font_download.h"

namespace quillon::cli {
namespace {

const char* kFirmwareHelp =
    "usage: quillon-cli firmware update FILE [--old]   flash a firmware image\n"
    "                                                  (--old: the older one-piece protocol)\n"
    "       quillon-cli firmware enter-update-mode      ask the printer to start its boot loader\n"
    "       quillon-cli firmware unlock                 clear the boot loader's flash lock\n";
const char* kFontHelp =
    "usage: quillon-cli font download FILE [--packsize N] [--erase-all]\n"
    "  N: data bytes per packet, 1 to 20466 (default 1024; the page offers 1024, 4096, 8192)\n"
    "  --erase-all: one whole-flash erase instead of erasing sector by sector\n";

int ExitFor(FlashResult r) {
  switch (r) {
    case FlashResult::kOk:
      return kExitOk;
    case FlashResult::kNoPrinter:
    case FlashResult::kSerialPortFailed:
      return kExitNoPrinter;
    case FlashResult::kNoFile:
    case FlashResult::kFileMissing:
    case FlashResult::kFileUnreadable:
    case FlashResult::kFileEmpty:
    case FlashResult::kFileTooLarge:
    case FlashResult::kBadPackSize:
      return kExitBadInput;
    default:
      return kExitPrinterFailed;
  }
}

const char* Describe(FlashResult r) {
  switch (r) {
    case FlashResult::kOk:
      return "done";
    case FlashResult::kBusy:
      return "another printer command is running";
    case FlashResult::kNoPrinter:
      return "no printer found";
    case FlashResult::kSerialPortFailed:
      return "the serial port could not be opened";
    case FlashResult::kNoFile:
      return "no file given";
    case FlashResult::kFileMissing:
      return "the file does not exist";
    case FlashResult::kFileUnreadable:
      return "the file cannot be read";
    case FlashResult::kFileEmpty:
      return "the file is empty";
    case FlashResult::kFileTooLarge:
      return "the file is too large";
    case FlashResult::kBadPackSize:
      return "the packet size is not usable";
    case FlashResult::kEraseFailed:
      return "the printer did not acknowledge the erase";
    case FlashResult::kWriteFailed:
      return "the printer did not acknowledge a data packet";
    case FlashResult::kChecksumFailed:
      return "the printer did not confirm the image checksum";
    case FlashResult::kNoConfirmation:
      return "the printer did not confirm the update";
    case FlashResult::kNotDelivered:
      return "the image was not delivered; the printer is still in its boot loader: run the "
             "update again";
    case FlashResult::kCommandFailed:
      return "the printer did not acknowledge the command";
    case FlashResult::kCancelled:
      return "stopped by the user";
  }
  return "failed";
}

// Why the file cannot be flashed, in one line naming it; empty when it can. Checked before
// the printer is looked for, so a script gets one error about the file and nothing else.
std::string FileProblem(const std::string& path, uint64_t max_size, bool refuse_empty) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path file = fs::u8path(path);
  if (!fs::exists(file, ec)) return "'" + path + "': the file does not exist";
  if (!fs::is_regular_file(file, ec)) return "'" + path + "': not a regular file";
  const uintmax_t size = fs::file_size(file, ec);
  if (ec) return "'" + path + "': " + ec.message();
  if (size > max_size) {
    return "'" + path + "': the file is too large (" + std::to_string(size) + " bytes, at most " +
           std::to_string(max_size) + ")";
  }
  if (refuse_empty && size == 0) return "'" + path + "': the file is empty";
  if (!std::ifstream(file, std::ios::binary)) return "'" + path + "': the file cannot be read";
  return {};
}

int Report(Session& s, const std::string& command, const FlashOutcome& o) {
  if (!o.ok()) {
    std::string why = Describe(o.result);
    if (o.result == FlashResult::kEraseFailed || o.result == FlashResult::kWriteFailed) {
      why += " (at address " + std::to_string(o.failed_address) + ")";
    }
    if (o.result == FlashResult::kCancelled) {
      why = command == "font download"
                ? "stopped at flash address " + std::to_string(o.failed_address)
                : "stopped at image offset " + std::to_string(o.failed_address) +
                      "; the printer is left in its boot loader: run the update again to "
                      "recover";
    }
    if (s.link().SerialLineLost()) {
      why += "; the serial line was lost";
    }
    return s.out().Fail(command, ExitFor(o.result), why);
  }
  JsonObject j;
  j.Add("bytes", static_cast<int64_t>(o.bytes)).Add("seconds", o.seconds());
  // The older protocol's time runs to the printer's answer after flashing: no rate.
  if (!o.answered_once)
    j.Add("bytes_per_second", o.elapsed_ms ? o.bytes * 1000.0 / o.elapsed_ms : 0.0);
  s.out().Result(command, j, TransferSummary(s.messages(), o));
  return kExitOk;
}

}  // namespace

int CmdFirmware(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub) {
    std::fputs(kFirmwareHelp, stdout);
    return sub ? kExitOk : kExitUsage;
  }
  const std::string command = "firmware " + *sub;
  if (*sub == "enter-update-mode" || *sub == "unlock") {
    int code = 0;
    if (RejectLeftover(args, env, command, &code)) return code;
    Session s(env.link, env.out);
    if (int c = s.Connect(command)) return c;
    FlashResult r = *sub == "unlock" ? FlashUnlock(s.context()) : EnterFlashingMode(s.context());
    if (r != FlashResult::kOk)
      return s.out().Fail(command, ExitFor(r), Describe(r) + std::string(": ") + s.Why());
    s.out().Result(command, JsonObject(), "ok");
    return kExitOk;
  }
  if (*sub != "update") {
    return env.out.Fail("firmware", kExitUsage,
                        "unknown firmware command '" + *sub + "'\n" + kFirmwareHelp);
  }
  auto file = args.Next();
  const bool old = args.Flag("--old");
  int code = 0;
  if (RejectLeftover(args, env, command, &code)) return code;
  if (!file)
    return env.out.Fail(command, kExitUsage, std::string("missing FILE\n") + kFirmwareHelp);
  if (std::string why = FileProblem(*file, kFirmwareImageMax, true); !why.empty())
    return env.out.Fail(command, kExitBadInput, why);
  Session s(env.link, env.out);
  if (int c = s.Connect(command)) return c;
  FirmwareJob job;
  job.path = *file;
  job.serial.Restart = [&s](std::string& error) { return s.RestartSerial(error); };
  job.serial.Close = [&s] { s.CloseSerial(); };
  CliFlowUi ui(s.out(), s.messages(), "firmware");
  FlashOutcome o = old ? OldUpdate(s.context(), ui, job) : NewUpdate(s.context(), ui, job);
  return Report(s, command, o);
}

int CmdFont(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub) {
    std::fputs(kFontHelp, stdout);
    return sub ? kExitOk : kExitUsage;
  }
  if (*sub != "download") {
    return env.out.Fail("font", kExitUsage, "unknown font command '" + *sub + "'\n" + kFontHelp);
  }
  auto file = args.Next();
  FontJob job;
  if (auto p = args.Value("--packsize")) job.packsize_text = *p;
  job.erase_all = args.Flag("--erase-all");
  int code = 0;
  if (RejectLeftover(args, env, "font download", &code)) return code;
  if (!file)
    return env.out.Fail("font download", kExitUsage, std::string("missing FILE\n") + kFontHelp);
  if (!ParsePackSize(job.packsize_text)) {
    return env.out.Fail(
        "font download", kExitBadInput,
        "packet size '" + job.packsize_text + "' is not a whole number from 1 to 20466");
  }
  if (std::string why = FileProblem(*file, kFontFileMax, false); !why.empty())
    return env.out.Fail("font download", kExitBadInput, why);
  job.path = *file;
  Session s(env.link, env.out);
  if (int c = s.Connect("font download")) return c;
  CliFlowUi ui(s.out(), s.messages(), "font");
  return Report(s, "font download", FontDownload(s.context(), ui, job));
}

}  // namespace quillon::cli
