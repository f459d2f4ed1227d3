// A profile (an INI file saying what a finished printer looks like) checked whole and
// turned into a plan before any printer is touched: every value against what the
// printer accepts, every file read once and its SHA-256 kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/bitmap_conv.h"
#include "core/text_conv.h"
#include "production/unit_record.h"
#include "protocol/records.h"

namespace quillon::production {

// Why a profile was refused: one message naming the file and the line (0: the whole file).
struct ProfileError {
  std::string file;
  int line = 0;
  std::string message;
  std::string Text() const;  // "profile.ini:12: ..." or "profile.ini: ..."
};

// A file the profile names, read once.
struct PlanFile {
  std::string path;  // resolved against the profile's folder
  std::vector<uint8_t> bytes;
  std::string sha256;  // lower-case hex
};

struct FirmwarePlan {
  PlanFile file;
  bool old_protocol = false;  // the older one-piece protocol
  std::string expect_info;    // the printer information must contain it afterwards (UTF-8)
};

struct FontPlan {
  PlanFile file;
  uint32_t packsize = 1024;
  bool erase_all = false;
};

// A byte setting of `quillon-cli set`: value is the item index.
struct ByteSettingPlan {
  std::string name;  // "blackness"
  uint8_t value = 0;
  std::string item;  // the item's text ("2:正常"), for records and messages
};

struct NetworkPlan {
  TNetPar record{};
  std::string ip, mask, gateway;  // as written in the profile, for records
  bool dhcp = false;
};

struct WifiPlan {
  TWifiPar record{};
  std::string ssid;  // for records (the password is never recorded)
};

struct LabelPlan {
  int32_t sensor = 0;
  int32_t out = 0;
};

struct SerialPlan {
  std::string format;  // "QL58-{yyyy}{seq:06}"
  int64_t first_seq = 1;
};

struct TestPlan {
  std::string text;  // UTF-8; may hold {serial} and {mac4}; empty: no text
  TextEncoding encoding = TextEncoding::kAnsi;  // as `send text --encoding`
  std::optional<PlanFile> text_file;            // where the text came from (text-file)
  std::vector<std::string> escpos;              // ESC/POS test names, in order
  std::optional<PlanFile> picture_file;         // printed last
  Picture picture;
};

struct Plan {
  std::string profile_path;
  std::string name;         // [profile] name; the file's stem when absent
  std::string sha256;       // of the profile file itself
  std::vector<Step> steps;  // identify is implied first; the order of [steps] order
  std::optional<FirmwarePlan> firmware;
  std::optional<FontPlan> font;
  std::vector<ByteSettingPlan> byte_settings;
  std::optional<std::string> bt_name;  // UTF-8; may hold {serial} and {mac4}
  std::optional<std::string> bt_pin;
  std::optional<NetworkPlan> network;
  std::optional<WifiPlan> wifi;
  std::optional<LabelPlan> label;
  std::optional<SerialPlan> serial;
  std::optional<PlanFile> logo_file;
  Picture logo;
  std::optional<TestPlan> test;
};

// Reads and checks the profile at path. nullopt with error (file and line) on the first
// problem: an unknown section or key, a value outside what the setting accepts, a missing
// or unreadable file, a serial format that can give more than 31 bytes, a bad address.
std::optional<Plan> LoadPlan(const std::string& path, ProfileError* error);

// The serial number of format for seq at the given UTC time ({yyyy} {yy} {mm} {dd} and
// {seq} or {seq:0N}); the text the printer stores (printer code page bytes are the same
// for the ASCII a format allows).
std::string RenderSerial(const std::string& format, int64_t seq, int64_t unix_time);
// True when text is a number format could have produced (any date, any seq).
bool MatchesSerialFormat(const std::string& format, const std::string& text);
// "{serial}" and "{mac4}" (last four hex digits of the Bluetooth address) filled in, in a
// Bluetooth name or a test text.
std::string FillUnitFields(const std::string& pattern, const std::string& serial,
                           const std::string& bt_mac);

}  // namespace quillon::production
