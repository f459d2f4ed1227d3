// What quillon-cli's production commands (provision, station, records) share: their own
// options, opening the records store, the status lines (one per port, updated in place, or
// JSON events), and running a station until it ends or is stopped by Ctrl-C / SIGTERM.
#pragma once

#include <optional>
#include <string>

#include "cli/commands.h"
#include "production/plan.h"
#include "production/printer_source.h"
#include "production/record_store.h"
#include "production/station.h"

namespace quillon::cli {

struct ProductionArgs {
  std::string records;  // --records FILE|postgresql://...; empty: the default file
  std::string operator_name;
  bool force = false;
};

// Takes --records, --operator and (with_force) --force from args. False with the usage
// failure reported (code set) when a value is missing.
bool TakeProductionArgs(Args& args, CommandEnv& env, const std::string& command, bool with_force,
                        ProductionArgs& out, int* code);

// The profile checked into a plan; the failure ("file:line: why") reported with exit 4.
std::optional<production::Plan> LoadProfile(CommandEnv& env, const std::string& command,
                                            const std::string& path, int* code);

// The store --records names; the failure reported (code set) when it cannot be opened.
std::unique_ptr<production::RecordStore> OpenStore(CommandEnv& env, const std::string& command,
                                                   const ProductionArgs& p, int* code);

// Runs a station on source until it ends (once, or an exhausted virtual bench) or is
// stopped: the first SIGINT/SIGTERM lets the units in progress finish, the second stops
// them at once (recorded "interrupted"). Draws the status lines. Returns 0 when every unit
// passed (and at least one ran, for once), 1 when any failed or was interrupted, 3 when a
// once-station found no printer.
int RunStation(CommandEnv& env, const std::string& command, const production::Plan& plan,
               production::RecordStore& store, production::PrinterSource& source,
               const ProductionArgs& p, bool once);

}  // namespace quillon::cli
