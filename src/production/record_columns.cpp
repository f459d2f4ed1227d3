#include "production/record_columns.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "production/json_text.h"
#include "production/station_os.h"

namespace quillon::production {

const std::vector<std::string>& RecordColumnNames() {
  static const std::vector<std::string> names = {
      "uuid",          "started",      "ended",           "station",     "station_pid",
      "operator_name", "profile",      "profile_sha256",  "link",        "port",
      "usb_serial",    "info_before",  "info_after",      "bt_mac",      "serial_before",
      "serial",        "serial_state", "firmware_sha256", "font_sha256", "logo_sha256",
      "result",        "reason",       "seconds",         "version",     "value_list",
      "step_list"};
  return names;
}

std::string RecordColumnList() {
  std::string list;
  for (const std::string& n : RecordColumnNames()) list += (list.empty() ? "" : ", ") + n;
  return list;
}

std::vector<std::string> RecordColumnValues(const UnitRecord& r) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
  const UnitIdentity& id = r.identity;
  return {r.uuid,
          r.started,
          r.ended,
          r.station,
          std::to_string(r.station_pid),
          r.operator_name,
          r.profile_name,
          r.profile_sha256,
          id.link,
          id.port,
          id.usb_serial,
          id.printer_info,
          r.info_after,
          id.bt_mac,
          id.serial_number,
          r.serial,
          SerialStateName(r.serial_state),
          r.firmware_sha256,
          r.font_sha256,
          r.logo_sha256,
          UnitResultName(r.result),
          r.reason,
          seconds,
          r.version,
          ValueListJson(r.values),
          StepListJson(r.steps)};
}

bool RecordFromColumnValues(const std::vector<std::string>& v, UnitRecord& r) {
  if (v.size() != RecordColumnNames().size()) return false;
  auto result = UnitResultFromName(v[20]);
  if (v[0].empty() || !result) return false;
  const int64_t id = r.id;
  r = UnitRecord();
  r.id = id;
  r.uuid = v[0];
  r.started = v[1];
  r.ended = v[2];
  r.station = v[3];
  r.station_pid = std::atoll(v[4].c_str());
  r.operator_name = v[5];
  r.profile_name = v[6];
  r.profile_sha256 = v[7];
  r.identity.link = v[8];
  r.identity.port = v[9];
  r.identity.usb_serial = v[10];
  r.identity.printer_info = v[11];
  r.info_after = v[12];
  r.identity.bt_mac = v[13];
  r.identity.serial_number = v[14];
  r.serial = v[15];
  r.serial_state = SerialStateFromName(v[16]).value_or(SerialState::kNone);
  r.firmware_sha256 = v[17];
  r.font_sha256 = v[18];
  r.logo_sha256 = v[19];
  r.result = *result;
  r.reason = v[21];
  r.seconds = std::atof(v[22].c_str());
  r.version = v[23];
  // The lists are read flat (an export reads every record of a year).
  const bool values_ok =
      v[24].empty() ||
      ScanFlatArray(v[24], [&r](size_t i, const std::string& key, const FlatValue& x) {
        if (i >= r.values.size()) r.values.emplace_back().read = false;
        ValueRecord& value = r.values.back();
        if (key == "step")
          value.step = StepFromName(x.text).value_or(Step::kSettings);
        else if (key == "name")
          value.name = x.text;
        else if (key == "requested")
          value.requested = x.text;
        else if (key == "read_back")
          value.read_back = x.text;
        else if (key == "equal")
          value.read = true, value.equal = x.boolean;
      });
  for (ValueRecord& value : r.values)
    if (!value.read) value.read_back.clear();
  const bool steps_ok = v[25].empty() || ScanFlatArray(v[25], [&r](size_t i, const std::string& key,
                                                                   const FlatValue& x) {
                          if (i >= r.steps.size()) r.steps.emplace_back();
                          StepRecord& step = r.steps.back();
                          if (key == "step")
                            step.step = StepFromName(x.text).value_or(Step::kIdentify);
                          else if (key == "result")
                            step.status = StepStatusFromName(x.text).value_or(StepStatus::kFail);
                          else if (key == "seconds")
                            step.seconds = x.number;
                          else if (key == "message")
                            step.message = x.text;
                        });
  return values_ok && steps_ok;
}

std::string UtcNowText() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  const std::tm tm = UtcTime(t);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(ms.count()));
  return text;
}

std::string NewUuid() {
  static thread_local std::mt19937_64 rng([] {
    std::random_device rd;
    std::seed_seq seq{
        rd(),
        rd(),
        rd(),
        rd(),
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()),
        static_cast<unsigned>(ProcessId())};
    return std::mt19937_64(seq);
  }());
  uint8_t b[16];
  for (int i = 0; i < 16; i += 8) {
    const uint64_t r = rng();
    for (int k = 0; k < 8; ++k) b[i + k] = static_cast<uint8_t>(r >> (8 * k));
  }
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
  char text[40];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return text;
}

void MarkRecordInterrupted(UnitRecord& r) {
  r.result = UnitResult::kInterrupted;
  if (r.reason.empty()) {
    const char* step = r.steps.empty() ? "identify" : StepName(r.steps.back().step);
    r.reason =
        std::string("the station stopped during the unit (after ") + step + "): crash or power cut";
  }
  if (r.serial_state == SerialState::kAllocated) r.serial_state = SerialState::kVoid;
  if (r.ended.empty()) r.ended = UtcNowText();
}

}  // namespace quillon::production
