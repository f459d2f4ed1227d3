// What the station keeps of one unit attempt: the printer's identity, what each step asked
// for and what was read back, each step's result, and the overall result. The records
// store keeps these; the station's events carry parts of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::production {

// The steps of a unit, in their default order after identify (which always comes first).
enum class Step {
  kIdentify,  // read printer information, Bluetooth address and serial number
  kFirmware,  // flash the firmware, check the boot loader's answer and the information
  kFont,      // download the font library (the printer cannot read it back)
  kSettings,  // byte settings, Bluetooth name and pairing code: set, read back, compare
  kNetwork,   // wired record (set, read back) and Wi-Fi record (set only: no query)
  kLabel,     // label detection and tear-off distances: set, read back
  kSerial,    // write the production serial number, read it back
  kLogo,      // the screen boot logo (no read command: the acknowledgement counts)
  kTest,      // the proof print: text, ESC/POS tests, a picture
};
inline constexpr int kStepCount = 9;
// "identify", "firmware", ...: the names in profiles, records and events.
const char* StepName(Step step);
std::optional<Step> StepFromName(std::string_view name);

enum class StepStatus {
  kPass,         // done and, where the printer can say, read back equal
  kFail,         // refused, no answer, or read back different (message says which)
  kSkipped,      // nothing to do (firmware already reported, section absent)
  kInterrupted,  // stopped by the operator before the step ended
};
const char* StepStatusName(StepStatus status);  // "pass", "fail", "skipped", "interrupted"
std::optional<StepStatus> StepStatusFromName(std::string_view name);

enum class UnitResult {
  kRunning,      // steps still going (or the station died: the next start says interrupted)
  kPass,         // every step passed or was skipped
  kFail,         // a step failed; the unit stopped there
  kInterrupted,  // stopped by the operator, or found "running" after a crash
};
const char* UnitResultName(UnitResult result);  // "running", "pass", "fail", "interrupted"
std::optional<UnitResult> UnitResultFromName(std::string_view name);

// Where the unit's serial number stands.
enum class SerialState {
  kNone,       // no number yet (or the profile has no [serial])
  kAllocated,  // taken from the store's counter, not yet written to the printer
  kKept,       // the printer already carried a number of the profile's format
  kWritten,    // written and read back
  kVoid,       // allocated, but the unit ended before it was written: never used again
};
const char* SerialStateName(SerialState state);
std::optional<SerialState> SerialStateFromName(std::string_view name);

// The printer as it was found, before the first step.
struct UnitIdentity {
  std::string link;           // "usb", "virtual", "serial", "tcp"
  std::string port;           // USB port path ("1-2.3"), serial device, or network address
  std::string usb_serial;     // the USB device's serial number; empty when none
  std::string printer_info;   // printer information text (UTF-8)
  std::string bt_mac;         // Bluetooth address
  std::string serial_number;  // production serial number it carried
};

// One step's outcome.
struct StepRecord {
  Step step = Step::kIdentify;
  StepStatus status = StepStatus::kPass;
  double seconds = 0;
  std::string message;  // one line: "blackness read back 3, wanted 5", "skipped: ...", ...
};

// One value a step asked for and what the printer gave back.
struct ValueRecord {
  Step step = Step::kSettings;
  std::string name;       // "blackness", "bt-name", "net.ip", "label.sensor", "serial", ...
  std::string requested;  // as the profile asked (byte settings: the item index)
  std::string read_back;  // what the printer reported afterwards
  bool read = true;       // false: the printer has no way to read it back ("not read back")
  bool equal = false;     // read back and equal to what was requested
};

struct UnitRecord {
  int64_t id = 0;       // row number in the store that holds it (local)
  std::string uuid;     // unique across stations; the key when records are synced
  std::string started;  // UTC, "2026-03-01T09:15:02.123Z"
  std::string ended;    // empty while running
  std::string station;  // host name
  int64_t station_pid = 0;
  std::string operator_name;
  std::string profile_name;
  std::string profile_sha256;
  UnitIdentity identity;
  std::string serial;  // the number the unit got or kept
  SerialState serial_state = SerialState::kNone;
  std::string info_after;  // printer information after the firmware step
  std::string firmware_sha256, font_sha256, logo_sha256;
  std::vector<ValueRecord> values;
  std::vector<StepRecord> steps;
  UnitResult result = UnitResult::kRunning;
  std::string reason;  // one line for a FAIL or INTERRUPTED unit, naming the step
  double seconds = 0;
  std::string version;  // Quillon's version
};

// The record as one JSON object (the JSON-lines export and store, and `records show`).
std::string RecordToJson(const UnitRecord& record);
// The record from RecordToJson's text; false when the text is not such an object.
bool RecordFromJson(std::string_view json, UnitRecord& record);
// The export columns, and one record as a CSV row of them (RFC 4180 quoting, CRLF ends).
std::string CsvHeader();
std::string RecordToCsv(const UnitRecord& record);

}  // namespace quillon::production
