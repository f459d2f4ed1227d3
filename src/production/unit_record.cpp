#include "production/unit_record.h"

#include <cstdio>

#include "production/json_text.h"
#include "production/record_columns.h"

namespace quillon::production {
namespace {

constexpr const char* kStepNames[kStepCount] = {
    "identify", "firmware", "font", "settings", "network", "label", "serial", "logo", "test"};
constexpr const char* kStepStatusNames[] = {"pass", "fail", "skipped", "interrupted"};
constexpr const char* kResultNames[] = {"running", "pass", "fail", "interrupted"};
constexpr const char* kSerialStateNames[] = {"", "allocated", "kept", "written", "void"};

template <typename E, size_t N>
std::optional<E> FromName(const char* const (&names)[N], std::string_view name) {
  for (size_t i = 0; i < N; ++i)
    if (name == names[i]) return static_cast<E>(i);
  return std::nullopt;
}

// One CSV field, quoted when it holds a comma, a quote or a line break (RFC 4180).
void AppendCsvField(std::string& out, const std::string& text) {
  bool quote = false;
  for (char c : text)
    if (c == ',' || c == '"' || c == '\r' || c == '\n') {
      quote = true;
      break;
    }
  if (!quote) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// Seconds with one decimal ("41.2"), without the C library's general float formatting.
void AppendSeconds(std::string& out, double s) {
  if (!(s >= 0) || s > 1e12) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", s);
    out += text;
    return;
  }
  const auto tenths = static_cast<long long>(s * 10 + 0.5);
  out += std::to_string(tenths / 10);
  out += '.';
  out += static_cast<char>('0' + tenths % 10);
}

}  // namespace

const char* StepName(Step step) {
  return kStepNames[static_cast<int>(step)];
}
std::optional<Step> StepFromName(std::string_view name) {
  return FromName<Step>(kStepNames, name);
}
const char* StepStatusName(StepStatus status) {
  return kStepStatusNames[static_cast<int>(status)];
}
std::optional<StepStatus> StepStatusFromName(std::string_view name) {
  return FromName<StepStatus>(kStepStatusNames, name);
}
const char* UnitResultName(UnitResult result) {
  return kResultNames[static_cast<int>(result)];
}
std::optional<UnitResult> UnitResultFromName(std::string_view name) {
  return FromName<UnitResult>(kResultNames, name);
}
const char* SerialStateName(SerialState state) {
  return kSerialStateNames[static_cast<int>(state)];
}
std::optional<SerialState> SerialStateFromName(std::string_view name) {
  return FromName<SerialState>(kSerialStateNames, name);
}

std::string StepListJson(const std::vector<StepRecord>& steps) {
  std::string out = "[";
  for (const StepRecord& s : steps) {
    if (out.size() > 1) out += ',';
    out += JsonWriter()
               .Field("step", StepName(s.step))
               .Field("result", StepStatusName(s.status))
               .Field("seconds", s.seconds)
               .Field("message", s.message)
               .str();
  }
  return out + "]";
}

std::string ValueListJson(const std::vector<ValueRecord>& values) {
  std::string out = "[";
  for (const ValueRecord& v : values) {
    if (out.size() > 1) out += ',';
    JsonWriter w;
    w.Field("step", StepName(v.step)).Field("name", v.name).Field("requested", v.requested);
    if (v.read)
      w.Field("read_back", v.read_back).Field("equal", v.equal);
    else
      w.Field("read_back", "not read back");
    out += w.str();
  }
  return out + "]";
}

std::string RecordToJson(const UnitRecord& r) {
  const std::string values = ValueListJson(r.values);
  const std::string steps = StepListJson(r.steps);
  const UnitIdentity& id = r.identity;
  JsonWriter w;
  w.Field("id", r.id).Field("uuid", r.uuid).Field("started", r.started).Field("ended", r.ended);
  w.Field("station", r.station).Field("station_pid", r.station_pid);
  w.Field("operator", r.operator_name).Field("profile", r.profile_name);
  w.Field("profile_sha256", r.profile_sha256).Field("link", id.link).Field("port", id.port);
  w.Field("usb_serial", id.usb_serial).Field("info_before", id.printer_info);
  w.Field("info_after", r.info_after).Field("bt_mac", id.bt_mac);
  w.Field("serial_before", id.serial_number).Field("serial", r.serial);
  w.Field("serial_state", SerialStateName(r.serial_state));
  w.Field("firmware_sha256", r.firmware_sha256).Field("font_sha256", r.font_sha256);
  w.Field("logo_sha256", r.logo_sha256).Field("result", UnitResultName(r.result));
  w.Field("reason", r.reason).Field("seconds", r.seconds).Field("version", r.version);
  w.Raw("values", values).Raw("steps", steps);
  return w.str();
}

bool RecordFromJson(std::string_view json, UnitRecord& r) {
  JsonValue v;
  if (!ParseJson(json, v) || v.type != JsonValue::Type::kObject) return false;
  auto result = UnitResultFromName(v["result"].Str());
  if (v["uuid"].Str().empty() || !result) return false;
  r = UnitRecord();
  r.id = v["id"].Int();
  r.uuid = v["uuid"].Str();
  r.started = v["started"].Str();
  r.ended = v["ended"].Str();
  r.station = v["station"].Str();
  r.station_pid = v["station_pid"].Int();
  r.operator_name = v["operator"].Str();
  r.profile_name = v["profile"].Str();
  r.profile_sha256 = v["profile_sha256"].Str();
  r.identity.link = v["link"].Str();
  r.identity.port = v["port"].Str();
  r.identity.usb_serial = v["usb_serial"].Str();
  r.identity.printer_info = v["info_before"].Str();
  r.info_after = v["info_after"].Str();
  r.identity.bt_mac = v["bt_mac"].Str();
  r.identity.serial_number = v["serial_before"].Str();
  r.serial = v["serial"].Str();
  r.serial_state = SerialStateFromName(v["serial_state"].Str()).value_or(SerialState::kNone);
  r.firmware_sha256 = v["firmware_sha256"].Str();
  r.font_sha256 = v["font_sha256"].Str();
  r.logo_sha256 = v["logo_sha256"].Str();
  r.result = *result;
  r.reason = v["reason"].Str();
  r.seconds = v["seconds"].Num();
  r.version = v["version"].Str();
  for (const JsonValue& item : v["values"].items) {
    ValueRecord x;
    x.step = StepFromName(item["step"].Str()).value_or(Step::kSettings);
    x.name = item["name"].Str();
    x.requested = item["requested"].Str();
    x.read = item["equal"].type == JsonValue::Type::kBool;
    x.read_back = x.read ? item["read_back"].Str() : "";
    x.equal = item["equal"].Bool();
    r.values.push_back(std::move(x));
  }
  for (const JsonValue& item : v["steps"].items) {
    StepRecord s;
    s.step = StepFromName(item["step"].Str()).value_or(Step::kIdentify);
    s.status = StepStatusFromName(item["result"].Str()).value_or(StepStatus::kFail);
    s.seconds = item["seconds"].Num();
    s.message = item["message"].Str();
    r.steps.push_back(std::move(s));
  }
  return true;
}

std::string CsvHeader() {
  return "id,uuid,started,ended,station,operator,profile,profile_sha256,link,port,usb_serial,"
         "serial,serial_state,serial_before,info_before,info_after,bt_mac,firmware_sha256,"
         "font_sha256,logo_sha256,result,reason,seconds,version,steps,values\r\n";
}

std::string RecordToCsv(const UnitRecord& r) {
  const UnitIdentity& id = r.identity;
  std::string row;
  row.reserve(1024);
  row += std::to_string(r.id);
  for (const std::string* f :
       {&r.uuid, &r.started, &r.ended, &r.station, &r.operator_name, &r.profile_name,
        &r.profile_sha256, &id.link, &id.port, &id.usb_serial, &r.serial}) {
    row += ',';
    AppendCsvField(row, *f);
  }
  row += ',';
  row += SerialStateName(r.serial_state);
  for (const std::string* f : {&id.serial_number, &id.printer_info, &r.info_after, &id.bt_mac,
                               &r.firmware_sha256, &r.font_sha256, &r.logo_sha256}) {
    row += ',';
    AppendCsvField(row, *f);
  }
  row += ',';
  row += UnitResultName(r.result);
  row += ',';
  AppendCsvField(row, r.reason);
  row += ',';
  AppendSeconds(row, r.seconds);
  row += ',';
  AppendCsvField(row, r.version);
  // The steps and values, each list one field: "identify pass 0.1s; font pass 12.0s; ...".
  std::string list;
  for (const StepRecord& s : r.steps) {
    if (!list.empty()) list += "; ";
    list += StepName(s.step);
    list += ' ';
    list += StepStatusName(s.status);
    list += ' ';
    AppendSeconds(list, s.seconds);
    list += 's';
  }
  row += ',';
  AppendCsvField(row, list);
  list.clear();
  for (const ValueRecord& v : r.values) {
    if (!list.empty()) list += "; ";
    list += v.name;
    list += ' ';
    list += v.requested;
    if (v.read) {
      list += " -> ";
      list += v.read_back;
    } else {
      list += " (not read back)";
    }
  }
  row += ',';
  AppendCsvField(row, list);
  row += "\r\n";
  return row;
}

}  // namespace quillon::production
