#include "app/station/station_texts.h"

#include <cstdio>

#include "core/message_text.h"

namespace quillon {
namespace {

using production::Step;
using production::UnitResult;

// Every key of the window with its English text.
constexpr std::pair<const char*, const char*> kTexts[] = {
    {"STN_STEP_IDENTIFY", "identify"},
    {"STN_STEP_FIRMWARE", "firmware"},
    {"STN_STEP_FONT", "font"},
    {"STN_STEP_SETTINGS", "settings"},
    {"STN_STEP_NETWORK", "network"},
    {"STN_STEP_LABEL", "label"},
    {"STN_STEP_SERIAL", "serial number"},
    {"STN_STEP_LOGO", "boot logo"},
    {"STN_STEP_TEST", "test print"},
    {"STN_PASS", "PASS"},
    {"STN_FAIL", "FAIL"},
    {"STN_INTERRUPTED", "INTERRUPTED"},
    {"STN_RUNNING_WORD", "running"},
    {"STN_SECONDS", "{seconds} s"},
    {"STN_TILE_WAITING", "Waiting for a printer"},
    {"STN_TILE_LAST", "Last: {result} {serial}"},
    {"STN_TILE_STORE_WAIT", "Waits for the records store: no serial number can be allocated"},
    {"STN_TILE_USB", "USB serial: {serial}"},
    {"STN_READY", "Choose a profile, then press Start."},
    {"STN_PRESS_START", "Press Start, then plug the printers in."},
    {"STN_RUNNING", "Running: plug printers in and each is provisioned."},
    {"STN_STOPPING",
     "Stopping: units in progress finish, no new unit starts. Press Stop now to stop them at "
     "once."},
    {"STN_STOPPING_NOW", "Stopping now: units in progress are recorded as interrupted."},
    {"STN_STOPPING_FIRMWARE",
     "A unit stopped during its firmware update stays in its boot loader: provisioning it again "
     "recovers it."},
    {"STN_STOPPED", "Stopped."},
    {"STN_STOP_NOW", "Stop now"},
    {"STN_START_FAILED", "Cannot start: {why}"},
    {"STN_PROFILE_NONE", "No profile chosen"},
    {"STN_PROFILE_ERROR", "Error in the profile: {why}"},
    {"STN_PROFILE_NOTHING", "nothing to do"},
    {"STN_CHOOSE_TITLE", "Choose a profile"},
    {"STN_PROFILE_FILTER", "Profiles (*.ini)"},
    {"STN_STORE_FILE", "Records: local file {where}"},
    {"STN_STORE_SERVER", "Records: PostgreSQL server {where}"},
    {"STN_STORE_OPENING", "opening…"},
    {"STN_STORE_CONNECTED", "connected"},
    {"STN_STORE_UNREACHABLE", "unreachable: new units wait"},
    {"STN_STORE_READY", "ready"},
    {"STN_STORE_FAILED", "The records store cannot be opened: {why}"},
    {"STN_BANNER_UNREACHABLE",
     "Attention: the records server cannot be reached ({why}). Units in progress finish and "
     "their records wait in the local file ({pending} waiting); new units wait until the server "
     "is back."},
    {"STN_BANNER_PROBLEM", "Attention: a record could not be written: {why}"},
    {"STN_COL_TIME", "Time"},
    {"STN_COL_SERIAL", "Serial number"},
    {"STN_COL_RESULT", "Result"},
    {"STN_COL_REASON", "Reason"},
    {"STN_FILTER_HINT", "Filter: serial number or reason"},
    {"STN_EXPORT_TITLE", "Export records"},
    {"STN_EXPORT_FILTER", "CSV files (*.csv)"},
    {"STN_EXPORT_DONE", "{count} records exported to {path}"},
    {"STN_EXPORT_FAILED", "Export failed: {why}"},
    {"STN_RECORD_TITLE", "Record of {serial}"},
    {"STN_RECORD_VALUES", "Requested and read back"},
    {"STN_RECORD_STEPS", "Steps"},
    {"STN_NOT_READ_BACK", "not read back"},
    {"STN_CLOSE", "Close"},
};

}  // namespace

StationTexts::StationTexts(Messages& messages) {
  for (const auto& [key, english] : kTexts) texts_[key] = TextOr(messages, key, english);
}

QString StationTexts::Text(
    const char* key, std::initializer_list<std::pair<const char*, std::string>> fields) const {
  auto it = texts_.find(key);
  return QString::fromStdString(FillFields(it == texts_.end() ? key : it->second, fields));
}

QString StationTexts::StepName(Step step) const {
  static constexpr const char* kKeys[production::kStepCount] = {
      "STN_STEP_IDENTIFY", "STN_STEP_FIRMWARE", "STN_STEP_FONT",
      "STN_STEP_SETTINGS", "STN_STEP_NETWORK",  "STN_STEP_LABEL",
      "STN_STEP_SERIAL",   "STN_STEP_LOGO",     "STN_STEP_TEST"};
  const int i = static_cast<int>(step);
  return i >= 0 && i < production::kStepCount ? Text(kKeys[i])
                                              : QString::fromLatin1(production::StepName(step));
}

QString StationTexts::ResultWord(UnitResult result) const {
  switch (result) {
    case UnitResult::kPass:
      return Text("STN_PASS");
    case UnitResult::kFail:
      return Text("STN_FAIL");
    case UnitResult::kInterrupted:
      return Text("STN_INTERRUPTED");
    case UnitResult::kRunning:
      break;
  }
  return Text("STN_RUNNING_WORD");
}

QString StationTexts::Seconds(double seconds) const {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return Text("STN_SECONDS", {{"seconds", text}});
}

QString StationTexts::Reason(const std::string& reason) const {
  const size_t colon = reason.find(": ");
  if (colon != std::string::npos) {
    if (auto step = production::StepFromName(reason.substr(0, colon)))
      return StepName(*step) + QString::fromStdString(reason.substr(colon));
  }
  return QString::fromStdString(reason);
}

}  // namespace quillon
