// The subcommands of quillon-cli. Each takes its words from Args, opens a session and
// returns an exit code (cli_output.h).
#pragma once

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_session.h"

namespace quillon::cli {

struct CommandEnv {
  LinkOptions link;
  Output& out;
};

// A command: it takes its words, opens a session and returns an exit code. Its entry in the
// table of commands (cli_main.cpp) names the options it takes, so they may stand anywhere
// among its words.
using Command = int (*)(Args&, CommandEnv&);
struct CommandEntry {
  Command run;
  CommandOptions options;
};

int CmdDevices(Args& args, CommandEnv& env);
int CmdGet(Args& args, CommandEnv& env);
int CmdSet(Args& args, CommandEnv& env);
int CmdFactoryReset(Args& args, CommandEnv& env);
int CmdWifi(Args& args, CommandEnv& env);
int CmdNet(Args& args, CommandEnv& env);
int CmdLabel(Args& args, CommandEnv& env);
int CmdRfid(Args& args, CommandEnv& env);
int CmdPaperRoll(Args& args, CommandEnv& env);
int CmdFirmware(Args& args, CommandEnv& env);
int CmdFont(Args& args, CommandEnv& env);
int CmdSend(Args& args, CommandEnv& env);
int CmdPrint(Args& args, CommandEnv& env);
int CmdLogo(Args& args, CommandEnv& env);
int CmdStatus(Args& args, CommandEnv& env);
int CmdProvision(Args& args, CommandEnv& env);
int CmdProvisionEachUsb(Args& args, CommandEnv& env);  // provision with --each-usb
int CmdStation(Args& args, CommandEnv& env);
int CmdRecords(Args& args, CommandEnv& env);

// --require-ready: asks the printer's status first; false (with the failure reported and
// its exit code in code) when it is not ready to print.
bool RequireReady(Session& s, const std::string& command, int* code);

// Shared by the commands: reports leftover words as a usage error (returns true if any).
bool RejectLeftover(Args& args, CommandEnv& env, const std::string& command, int* code);

// The ANSI code page from config.ini (ANSI_CODEPAGE) or the locale.
void LoadCodePageSetting(const LinkOptions& link);
// UTF-8 text from the command line to the printer's code page and back.
std::string ToPrinterText(const std::string& utf8);
std::string FromPrinterText(const std::string& bytes);

}  // namespace quillon::cli
