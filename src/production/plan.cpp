// Profiles: every line located, every name and value checked, every file read once.
#include "production/plan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "core/ansi_codepage.h"
#include "core/file_locations.h"
#include "core/help_texts.h"
#include "core/ini_file.h"
#include "core/platform.h"
#include "core/utf8_path.h"
#include "flash/firmware_flow.h"
#include "flash/font_download.h"
#include "output/oem_logo.h"
#include "output/picture_decode.h"
#include "output/raster_print.h"
#include "production/sha256.h"
#include "protocol/esc_cmd.h"
#include "settings/net_records.h"

namespace quillon::production {
namespace {

// A font library larger than this cannot be meant for a printer's font flash (8 MiB).
constexpr uint64_t kFontFileLimit = 64ull << 20;
constexpr int kSeqDigitsMax = 18;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// Where each section and key of the file is, in the INI syntax of config.ini.
struct Located {
  std::string section, key, value;
  int line = 0;
};

struct Fail {
  int line;
  std::string message;
};

// The byte settings of `quillon-cli set`, with the settings page's combo box of each and
// its items as shipped in both languages (a profile must mean the same on every bench,
// whatever language files a bench has; their texts are accepted too).
struct ByteSettingInfo {
  const char* name;
  const char* combo;
  int items;
  const char* chs;
  const char* en;
};
constexpr ByteSettingInfo kByteSettings[] = {
    {"language", "cbb_language", 2, "0:中文（默认）#1:English", "0:Chinese (default)#1:English"},
    {"cmdmode", "cbb_cmdmode", 2, "0:ESC/POS#1:TSPL", "0:ESC/POS#1:TSPL"},
    {"tagmode", "cbb_tagmode", 2, "0:小票纸#1:间隙纸", "0:Receipt paper#1:Gap paper (labels)"},
    {"stepmode", "cbb_stepmode", 4, "0:系统默认(自动调整)#1:较慢#2:正常#3:较快",
     "0:System default (automatic)#1:Slower#2:Normal#3:Faster"},
    {"blackness", "cbb_blackness", 4, "0:系统默认#1:较淡#2:正常#3:较浓",
     "0:System default#1:Lighter#2:Normal#3:Darker"},
    {"charset", "cbb_charset", 3, "0:GB18030(中文)#1:UTF-8#2:UNICODE",
     "0:GB18030 (Chinese)#1:UTF-8#2:UNICODE"},
    {"sleep", "cbb_sleep", 8, "0:一直开启#1:30s#2:60s#3:120s#4:180s#5:210s#6:240s#7:关闭电源",
     "0:Always on#1:30s#2:60s#3:120s#4:180s#5:210s#6:240s#7:Power off"}};

const std::map<std::string, std::set<std::string>>& KnownKeys() {
  static const std::map<std::string, std::set<std::string>> keys = {
      {"profile", {"name"}},
      {"firmware", {"file", "protocol", "expect_info"}},
      {"font", {"file", "packsize", "erase-all"}},
      {"logo", {"file"}},
      {"settings",
       {"language", "cmdmode", "tagmode", "stepmode", "blackness", "charset", "sleep", "bt-name",
        "bt-pin"}},
      {"network", {"ip", "mask", "gateway", "dhcp"}},
      {"wifi",
       {"ssid", "password", "dhcp", "ip", "mask", "gateway", "dns", "server-ip", "server-port"}},
      {"label", {"sensor", "out"}},
      {"serial", {"format", "seq"}},
      {"test", {"text", "text-file", "encoding", "escpos", "picture"}},
      {"steps", {"order"}},
  };
  return keys;
}

std::optional<bool> ParseBool(const std::string& text) {
  const std::string t = Lower(text);
  if (t == "yes" || t == "true" || t == "1" || t == "on") return true;
  if (t == "no" || t == "false" || t == "0" || t == "off") return false;
  return std::nullopt;
}

std::optional<int64_t> ParseNumber(const std::string& text, int64_t min, int64_t max) {
  auto v = ParseWholeNumber(text);
  if (!v || *v < min || *v > max) return std::nullopt;
  return v;
}

// A dotted IPv4 address of four numbers 0-255 (the dialogs accept more; a profile is
// written once and applied to thousands of printers, so it must say exactly one address).
bool StrictAddress(const std::string& text) {
  int groups = 0;
  size_t start = 0;
  for (;;) {
    const size_t dot = text.find('.', start);
    const std::string g = text.substr(start, dot == std::string::npos ? dot : dot - start);
    if (g.empty() || g.size() > 3 ||
        !std::all_of(g.begin(), g.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::atoi(g.c_str()) > 255)
      return false;
    ++groups;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return groups == 4;
}

std::vector<std::string> SplitItems(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (!list.empty()) {
    const size_t hash = list.find('#', start);
    items.push_back(list.substr(start, hash == std::string::npos ? hash : hash - start));
    if (hash == std::string::npos) break;
    start = hash + 1;
  }
  return items;
}

// The item lists a value may name: the shipped ones, then those of the language files.
std::vector<std::vector<std::string>> ItemLists(const ByteSettingInfo& s) {
  std::vector<std::vector<std::string>> lists = {SplitItems(s.chs), SplitItems(s.en)};
  for (const char* language : {"CHS", "EN"}) {
    const std::string list =
        ReadStringInOrder(Files().LanguageReadOrder("language_main.ini"), language, s.combo, "");
    if (!list.empty()) lists.push_back(SplitItems(list));
  }
  return lists;
}

// The item a value names: its index, its whole text ("2:正常") or the text after the
// index ("正常", "normal"), in either language.
std::optional<int> ItemIndex(const ByteSettingInfo& s, const std::string& value,
                             std::string* item_text) {
  if (auto n = ParseNumber(value, 0, s.items - 1)) {
    *item_text = SplitItems(s.en)[static_cast<size_t>(*n)];
    return static_cast<int>(*n);
  }
  const std::string wanted = Lower(value);
  for (const auto& items : ItemLists(s)) {
    for (size_t i = 0; i < items.size() && i < static_cast<size_t>(s.items); ++i) {
      const std::string& item = items[i];
      const size_t colon = item.find(':');
      const std::string bare = colon == std::string::npos ? item : item.substr(colon + 1);
      if (Lower(item) == wanted || Lower(bare) == wanted) {
        *item_text = item;
        return static_cast<int>(i);
      }
    }
  }
  return std::nullopt;
}

std::string ItemChoices(const ByteSettingInfo& s) {
  std::string text = "0 to " + std::to_string(s.items - 1) + " or an item's text (";
  const auto en = SplitItems(s.en);
  for (size_t i = 0; i < en.size(); ++i) text += (i ? ", " : "") + en[i];
  return text + ")";
}

// ---------------------------------------------------------------------- serial format

struct FormatToken {
  enum Kind { kText, kYear4, kYear2, kMonth, kDay, kSeq } kind = kText;
  std::string text;
  int width = 0;  // kSeq: digits (0: as many as needed)
};

bool ParseFormat(const std::string& format, std::vector<FormatToken>& tokens, std::string* why) {
  int seqs = 0;
  for (size_t i = 0; i < format.size();) {
    const char c = format[i];
    if (c == '{') {
      const size_t end = format.find('}', i);
      if (end == std::string::npos) {
        *why = "'{' without '}'";
        return false;
      }
      const std::string name = format.substr(i + 1, end - i - 1);
      FormatToken t;
      if (name == "yyyy") {
        t.kind = FormatToken::kYear4;
      } else if (name == "yy") {
        t.kind = FormatToken::kYear2;
      } else if (name == "mm") {
        t.kind = FormatToken::kMonth;
      } else if (name == "dd") {
        t.kind = FormatToken::kDay;
      } else if (name == "seq") {
        t.kind = FormatToken::kSeq;
      } else if (name.rfind("seq:0", 0) == 0 && name.size() > 5 &&
                 std::all_of(name.begin() + 5, name.end(), ::isdigit)) {
        t.kind = FormatToken::kSeq;
        t.width = std::atoi(name.c_str() + 5);
        if (t.width < 1 || t.width > kSeqDigitsMax) {
          *why = "{" + name + "}: from 1 to " + std::to_string(kSeqDigitsMax) + " digits";
          return false;
        }
      } else {
        *why = "unknown field {" + name + "} (known: {yyyy} {yy} {mm} {dd} {seq} {seq:0N})";
        return false;
      }
      if (t.kind == FormatToken::kSeq) ++seqs;
      tokens.push_back(t);
      i = end + 1;
      continue;
    }
    if (c == '}' || c <= 0x20 || c >= 0x7F) {
      *why = std::string("the character '") + c +
             "' cannot be in a serial number (letters, digits and punctuation only)";
      return false;
    }
    if (tokens.empty() || tokens.back().kind != FormatToken::kText) tokens.push_back({});
    tokens.back().text += c;
    ++i;
  }
  if (seqs != 1) {
    *why =
        "the format needs exactly one {seq} or {seq:0N}, so that every unit gets its own "
        "number";
    return false;
  }
  return true;
}

size_t LongestSerial(const std::vector<FormatToken>& tokens) {
  size_t n = 0;
  for (const FormatToken& t : tokens) {
    switch (t.kind) {
      case FormatToken::kText:
        n += t.text.size();
        break;
      case FormatToken::kYear4:
        n += 4;
        break;
      case FormatToken::kSeq:
        n += t.width ? static_cast<size_t>(t.width) : kSeqDigitsMax;
        break;
      default:
        n += 2;
    }
  }
  return n;
}

int64_t SeqLimit(const std::vector<FormatToken>& tokens) {
  for (const FormatToken& t : tokens) {
    if (t.kind != FormatToken::kSeq) continue;
    int64_t limit = 1;
    for (int i = 0; i < (t.width ? t.width : kSeqDigitsMax); ++i) limit *= 10;
    return limit - 1;
  }
  return 0;
}

bool MatchTokens(const std::vector<FormatToken>& tokens, size_t k, const std::string& text,
                 size_t at) {
  if (k == tokens.size()) return at == text.size();
  const FormatToken& t = tokens[k];
  auto digits = [&](size_t n) {
    if (at + n > text.size()) return false;
    for (size_t i = at; i < at + n; ++i)
      if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
  };
  switch (t.kind) {
    case FormatToken::kText:
      return text.compare(at, t.text.size(), t.text) == 0 &&
             MatchTokens(tokens, k + 1, text, at + t.text.size());
    case FormatToken::kYear4:
      return digits(4) && MatchTokens(tokens, k + 1, text, at + 4);
    case FormatToken::kSeq:
      if (t.width)
        return digits(static_cast<size_t>(t.width)) &&
               MatchTokens(tokens, k + 1, text, at + static_cast<size_t>(t.width));
      for (size_t n = 1; n <= kSeqDigitsMax && digits(n); ++n)
        if (MatchTokens(tokens, k + 1, text, at + n)) return true;
      return false;
    default:
      return digits(2) && MatchTokens(tokens, k + 1, text, at + 2);
  }
}

// ------------------------------------------------------------------------------ files

class Checker {
 public:
  Checker(const std::string& path) : path_(path) { folder_ = Utf8Path(path).parent_path(); }

  // The file a value names, resolved against the profile's folder and read once.
  std::optional<PlanFile> ReadFile(const Located& at, uint64_t max_size, bool refuse_empty) {
    namespace fs = std::filesystem;
    if (at.value.empty()) return Failed(at.line, at.key + " names no file");
    fs::path p = Utf8Path(at.value);
    if (p.is_relative()) p = folder_ / p;
    PlanFile file;
    file.path = PathUtf8(p.lexically_normal());
    std::error_code ec;
    if (!fs::exists(p, ec)) return Failed(at.line, "'" + file.path + "' does not exist");
    if (!fs::is_regular_file(p, ec)) return Failed(at.line, "'" + file.path + "' is not a file");
    const uintmax_t size = fs::file_size(p, ec);
    if (ec) return Failed(at.line, "'" + file.path + "': " + ec.message());
    if (size > max_size)
      return Failed(at.line, "'" + file.path + "' is too large (" + std::to_string(size) +
                                 " bytes, at most " + std::to_string(max_size) + ")");
    std::ifstream in(p, std::ios::binary);
    if (!in) return Failed(at.line, "'" + file.path + "' cannot be read");
    file.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return Failed(at.line, "'" + file.path + "' cannot be read");
    if (refuse_empty && file.bytes.empty()) return Failed(at.line, "'" + file.path + "' is empty");
    file.sha256 = Sha256Hex(file.bytes);
    return file;
  }

  std::optional<PlanFile> Failed(int line, std::string message) {
    if (!fail_) fail_ = Fail{line, std::move(message)};
    return std::nullopt;
  }
  bool Error(int line, std::string message) {
    if (!fail_) fail_ = Fail{line, std::move(message)};
    return false;
  }
  const std::optional<Fail>& fail() const { return fail_; }

 private:
  std::string path_;
  std::filesystem::path folder_;
  std::optional<Fail> fail_;
};

// Reads the lines of the profile: sections, keys, their lines; refuses what is not INI.
bool Locate(const std::string& text, std::vector<Located>& out,
            std::map<std::string, int>& sections, Checker& check) {
  std::string section;
  int line = 0;
  size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  std::set<std::string> seen;
  while (pos <= text.size()) {
    const size_t nl = text.find('\n', pos);
    const std::string raw = text.substr(pos, nl == std::string::npos ? nl : nl - pos);
    pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
    ++line;
    const std::string t = Trim(raw);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t[0] == '[') {
      if (t.back() != ']') return check.Error(line, "a section line must end with ']'");
      section = Lower(Trim(t.substr(1, t.size() - 2)));
      if (!KnownKeys().count(section)) {
        std::string known;
        for (const auto& [name, keys] : KnownKeys()) known += (known.empty() ? "" : " ") + name;
        return check.Error(line, "unknown section [" + section + "] (known: " + known + ")");
      }
      if (sections.count(section))
        return check.Error(line, "section [" + section + "] appears twice (first on line " +
                                     std::to_string(sections[section]) + ")");
      sections[section] = line;
      continue;
    }
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return check.Error(line, "not a 'key = value' line: " + t);
    if (section.empty()) return check.Error(line, "a key before the first [section]");
    const std::string key = Lower(Trim(t.substr(0, eq)));
    const auto& known = KnownKeys().at(section);
    if (!known.count(key)) {
      std::string list;
      for (const std::string& k : known) list += (list.empty() ? "" : " ") + k;
      return check.Error(line,
                         "unknown key '" + key + "' in [" + section + "] (known: " + list + ")");
    }
    if (!seen.insert(section + "\n" + key).second)
      return check.Error(line, "key '" + key + "' appears twice in [" + section + "]");
    out.push_back({section, key, Trim(t.substr(eq + 1)), line});
  }
  return true;
}

}  // namespace

std::string ProfileError::Text() const {
  return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
}

std::string RenderSerial(const std::string& format, int64_t seq, int64_t unix_time) {
  std::vector<FormatToken> tokens;
  std::string why;
  if (!ParseFormat(format, tokens, &why)) return "";
  const std::tm tm = LocalTime(static_cast<std::time_t>(unix_time));
  std::string out;
  char text[32];
  for (const FormatToken& t : tokens) {
    switch (t.kind) {
      case FormatToken::kText:
        out += t.text;
        break;
      case FormatToken::kYear4:
        std::snprintf(text, sizeof text, "%04d", tm.tm_year + 1900);
        out += text;
        break;
      case FormatToken::kYear2:
        std::snprintf(text, sizeof text, "%02d", (tm.tm_year + 1900) % 100);
        out += text;
        break;
      case FormatToken::kMonth:
        std::snprintf(text, sizeof text, "%02d", tm.tm_mon + 1);
        out += text;
        break;
      case FormatToken::kDay:
        std::snprintf(text, sizeof text, "%02d", tm.tm_mday);
        out += text;
        break;
      case FormatToken::kSeq:
        std::snprintf(text, sizeof text, "%0*lld", t.width, static_cast<long long>(seq));
        out += text;
        break;
    }
  }
  return out;
}

bool MatchesSerialFormat(const std::string& format, const std::string& text) {
  std::vector<FormatToken> tokens;
  std::string why;
  return ParseFormat(format, tokens, &why) && MatchTokens(tokens, 0, text, 0);
}

std::string FillUnitFields(const std::string& pattern, const std::string& serial,
                           const std::string& bt_mac) {
  std::string hex;
  for (char c : bt_mac)
    if (std::isxdigit(static_cast<unsigned char>(c)))
      hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string mac4 = hex.size() >= 4 ? hex.substr(hex.size() - 4) : hex;
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    if (pattern.compare(i, 8, "{serial}") == 0) {
      out += serial;
      i += 8;
    } else if (pattern.compare(i, 6, "{mac4}") == 0) {
      out += mac4;
      i += 6;
    } else {
      out += pattern[i++];
    }
  }
  return out;
}

std::optional<Plan> LoadPlan(const std::string& path, ProfileError* error) {
  Checker check(path);
  error->file = path;
  error->line = 0;
  auto fail = [&](int line, const std::string& message) -> std::optional<Plan> {
    error->line = line;
    error->message = message;
    return std::nullopt;
  };
  PlanFile profile;
  {
    Located at{"", "profile", path, 0};
    std::error_code ec;
    // The profile's own name is resolved against the working folder, not its own folder.
    if (!std::filesystem::exists(Utf8Path(path), ec)) return fail(0, "the profile does not exist");
    std::ifstream in(Utf8Path(path), std::ios::binary);
    if (!in || std::filesystem::is_directory(Utf8Path(path), ec))
      return fail(0, "the profile cannot be read");
    profile.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  Plan plan;
  plan.profile_path = path;
  plan.sha256 = Sha256Hex(profile.bytes);
  plan.name = PathUtf8(Utf8Path(path).stem());

  std::vector<Located> lines;
  std::map<std::string, int> sections;
  const std::string text(profile.bytes.begin(), profile.bytes.end());
  if (!Locate(text, lines, sections, check)) return fail(check.fail()->line, check.fail()->message);

  // Values come from the INI reader the settings file uses; lines from the scan above.
  const IniFile ini(path);
  std::map<std::string, std::map<std::string, std::string>> values;
  for (const auto& [section, line] : sections) values[section] = ini.ReadSection(section);
  std::map<std::string, Located> at;  // "section\nkey"
  for (Located& l : lines) {
    auto& sec = values[l.section];
    auto it = sec.find(l.key);
    if (it != sec.end()) l.value = Trim(it->second);
    at[l.section + "\n" + l.key] = l;
  }
  auto has = [&](const std::string& s, const std::string& k) { return at.count(s + "\n" + k) > 0; };
  auto get = [&](const std::string& s, const std::string& k) -> const Located& {
    return at.at(s + "\n" + k);
  };
  auto need = [&](const std::string& s, const std::string& k) -> const Located* {
    if (has(s, k)) return &get(s, k);
    check.Error(sections.at(s), "[" + s + "] needs " + k);
    return nullptr;
  };
  auto failed = [&]() { return fail(check.fail()->line, check.fail()->message); };
  auto boolean = [&](const std::string& s, const std::string& k, bool def) -> std::optional<bool> {
    if (!has(s, k)) return def;
    const Located& l = get(s, k);
    auto v = ParseBool(l.value);
    if (!v) check.Error(l.line, k + " is yes or no, not '" + l.value + "'");
    return v;
  };

  if (has("profile", "name") && !get("profile", "name").value.empty())
    plan.name = get("profile", "name").value;

  // [steps]
  plan.steps = {Step::kFirmware, Step::kFont,   Step::kSettings, Step::kNetwork,
                Step::kLabel,    Step::kSerial, Step::kLogo,     Step::kTest};
  if (has("steps", "order")) {
    const Located& l = get("steps", "order");
    plan.steps.clear();
    std::string word;
    std::string list = l.value + ",";
    for (char& c : list)
      if (c == ' ' || c == '\t') c = ',';
    for (char c : list) {
      if (c != ',') {
        word += c;
        continue;
      }
      if (word.empty()) continue;
      auto step = StepFromName(Lower(word));
      if (!step || *step == Step::kIdentify)
        return fail(l.line, "unknown step '" + word +
                                "' (steps: firmware font settings network label serial logo test)");
      if (std::find(plan.steps.begin(), plan.steps.end(), *step) != plan.steps.end())
        return fail(l.line, "step '" + word + "' is named twice");
      plan.steps.push_back(*step);
      word.clear();
    }
  }

  // [firmware]
  if (sections.count("firmware")) {
    const Located* file = need("firmware", "file");
    if (!file) return failed();
    FirmwarePlan fw;
    auto bytes = check.ReadFile(*file, kFirmwareImageMax, true);
    if (!bytes) return failed();
    fw.file = std::move(*bytes);
    if (has("firmware", "protocol")) {
      const Located& l = get("firmware", "protocol");
      if (Lower(l.value) != "new" && Lower(l.value) != "old")
        return fail(l.line, "protocol is new or old, not '" + l.value + "'");
      fw.old_protocol = Lower(l.value) == "old";
    }
    if (has("firmware", "expect_info")) fw.expect_info = get("firmware", "expect_info").value;
    plan.firmware = std::move(fw);
  }

  // [font]
  if (sections.count("font")) {
    const Located* file = need("font", "file");
    if (!file) return failed();
    FontPlan font;
    if (has("font", "packsize")) {
      const Located& l = get("font", "packsize");
      auto n = ParsePackSize(l.value);
      if (!n)
        return fail(l.line, "packsize is a whole number from 1 to " +
                                std::to_string(kMaxFlashWriteData) + ", not '" + l.value + "'");
      font.packsize = *n;
    }
    auto erase = boolean("font", "erase-all", false);
    if (!erase) return failed();
    font.erase_all = *erase;
    auto bytes = check.ReadFile(*file, kFontFileLimit, true);
    if (!bytes) return failed();
    font.file = std::move(*bytes);
    plan.font = std::move(font);
  }

  // [logo]
  if (sections.count("logo")) {
    const Located* file = need("logo", "file");
    if (!file) return failed();
    auto bytes = check.ReadFile(*file, kMaxPictureFileBytes, true);
    if (!bytes) return failed();
    std::string why;
    if (!DecodePicture(bytes->bytes.data(), bytes->bytes.size(), plan.logo, why))
      return fail(file->line, "'" + bytes->path + "': " + why);
    why = CheckLogoPicture(plan.logo);
    if (!why.empty()) return fail(file->line, "'" + bytes->path + "': " + why);
    plan.logo_file = std::move(*bytes);
  }

  // [settings]
  for (const ByteSettingInfo& s : kByteSettings) {
    if (!has("settings", s.name)) continue;
    const Located& l = get("settings", s.name);
    ByteSettingPlan b;
    b.name = s.name;
    auto index = ItemIndex(s, l.value, &b.item);
    if (!index)
      return fail(l.line, std::string(s.name) + " '" + l.value +
                              "' is not one of its items: " + ItemChoices(s));
    b.value = static_cast<uint8_t>(*index);
    plan.byte_settings.push_back(b);
  }
  if (has("settings", "bt-name")) {
    const Located& l = get("settings", "bt-name");
    if (l.value.empty()) return fail(l.line, "bt-name is empty");
    // The longest number the format can give stands in for {serial}.
    const std::string sample = FillUnitFields(l.value, std::string(31, '0'), "00:00:00:00:00:00");
    size_t replaced = 0;
    Utf8ToAnsi(sample, &replaced);
    if (replaced)
      return fail(l.line, "bt-name has characters the printer's code page (" +
                              std::to_string(AnsiCodePage()) + ") cannot hold");
    plan.bt_name = l.value;
  }
  if (has("settings", "bt-pin")) {
    const Located& l = get("settings", "bt-pin");
    if (l.value.empty()) return fail(l.line, "bt-pin is empty");
    plan.bt_pin = l.value;
  }

  // [network]
  if (sections.count("network")) {
    NetworkPlan net;
    auto dhcp = boolean("network", "dhcp", false);
    if (!dhcp) return failed();
    net.dhcp = *dhcp;
    std::string* fields[3] = {&net.ip, &net.mask, &net.gateway};
    const char* names[3] = {"ip", "mask", "gateway"};
    for (int i = 0; i < 3; ++i) {
      if (!has("network", names[i])) {
        if (net.dhcp) {
          *fields[i] = "0.0.0.0";
          continue;
        }
        need("network", names[i]);
        return failed();
      }
      const Located& l = get("network", names[i]);
      if (!StrictAddress(l.value))
        return fail(l.line, std::string(names[i]) + " '" + l.value +
                                "' is not an address (four numbers 0-255 with dots)");
      *fields[i] = l.value;
    }
    std::string why;
    auto record = BuildNetPar(net.ip, net.mask, net.gateway, net.dhcp, &why);
    if (!record) return fail(sections.at("network"), why);
    net.record = *record;
    plan.network = net;
  }

  // [wifi]
  if (sections.count("wifi")) {
    const Located* ssid = need("wifi", "ssid");
    if (!ssid) return failed();
    WifiPlan wifi;
    WifiTexts t;
    wifi.ssid = ssid->value;
    t.ssid = Utf8ToAnsi(ssid->value);
    if (has("wifi", "password")) t.password = Utf8ToAnsi(get("wifi", "password").value);
    auto dhcp = boolean("wifi", "dhcp", true);
    if (!dhcp) return failed();
    std::string* addrs[4] = {&t.ip, &t.mask, &t.gateway, &t.dns};
    const char* names[4] = {"ip", "mask", "gateway", "dns"};
    for (int i = 0; i < 4; ++i) {
      if (!has("wifi", names[i])) continue;
      const Located& l = get("wifi", names[i]);
      if (!StrictAddress(l.value))
        return fail(l.line, std::string(names[i]) + " '" + l.value +
                                "' is not an address (four numbers 0-255 with dots)");
      *addrs[i] = l.value;
    }
    if (!*dhcp && t.ip.empty()) {
      need("wifi", "ip");
      return failed();
    }
    if (has("wifi", "server-ip")) t.server_ip = Utf8ToAnsi(get("wifi", "server-ip").value);
    int32_t port = 0;
    if (has("wifi", "server-port")) {
      const Located& l = get("wifi", "server-port");
      auto n = ParseNumber(l.value, 0, 65535);
      if (!n) return fail(l.line, "server-port is a number from 0 to 65535, not '" + l.value + "'");
      port = static_cast<int32_t>(*n);
    }
    std::string why;
    auto record = BuildWifiPar(t, *dhcp, port, &why);
    if (!record) {
      // Name the line of the field that is too long.
      int line = sections.at("wifi");
      for (const char* k : {"ssid", "password", "server-ip"})
        if (has("wifi", k) && why.find(k == std::string("server-ip") ? "server" : k) == 0)
          line = get("wifi", k).line;
      return fail(line, why);
    }
    wifi.record = *record;
    plan.wifi = wifi;
  }

  // [label]
  if (sections.count("label")) {
    LabelPlan label;
    for (const char* k : {"sensor", "out"}) {
      const Located* l = need("label", k);
      if (!l) return failed();
      auto n = ParseNumber(l->value, INT32_MIN, INT32_MAX);
      if (!n) return fail(l->line, std::string(k) + " is a whole number, not '" + l->value + "'");
      (std::string(k) == "sensor" ? label.sensor : label.out) = static_cast<int32_t>(*n);
    }
    plan.label = label;
  }

  // [serial]
  if (sections.count("serial")) {
    const Located* format = need("serial", "format");
    if (!format) return failed();
    std::vector<FormatToken> tokens;
    std::string why;
    if (!ParseFormat(format->value, tokens, &why))
      return fail(format->line, "serial format: " + why);
    const size_t longest = LongestSerial(tokens);
    if (longest > kMaxSerialNumber)
      return fail(format->line, "serial format '" + format->value + "' can give " +
                                    std::to_string(longest) + " bytes; at most " +
                                    std::to_string(kMaxSerialNumber) + " fit in the printer");
    SerialPlan serial;
    serial.format = format->value;
    if (has("serial", "seq")) {
      const Located& l = get("serial", "seq");
      auto n = ParseNumber(l.value, 0, SeqLimit(tokens));
      if (!n)
        return fail(l.line, "seq is a whole number from 0 to " + std::to_string(SeqLimit(tokens)) +
                                ", not '" + l.value + "'");
      serial.first_seq = *n;
    }
    plan.serial = serial;
  }
  if (plan.bt_name && plan.bt_name->find("{serial}") != std::string::npos && !plan.serial)
    return fail(get("settings", "bt-name").line, "bt-name uses {serial} but there is no [serial]");

  // [test]
  if (sections.count("test")) {
    TestPlan test;
    if (has("test", "text") && has("test", "text-file"))
      return fail(get("test", "text-file").line, "text and text-file exclude each other");
    if (has("test", "text")) test.text = get("test", "text").value;
    if (has("test", "text-file")) {
      auto file = check.ReadFile(get("test", "text-file"), kSendBufferSize, false);
      if (!file) return failed();
      test.text.assign(file->bytes.begin(), file->bytes.end());
      if (test.text.compare(0, 3, "\xEF\xBB\xBF") == 0) test.text.erase(0, 3);
      test.text_file = std::move(*file);
    }
    if (has("test", "encoding")) {
      const Located& l = get("test", "encoding");
      const std::string e = Lower(l.value);
      if (e == "ansi")
        test.encoding = TextEncoding::kAnsi;
      else if (e == "utf-8" || e == "utf8")
        test.encoding = TextEncoding::kUtf8;
      else if (e == "unicode" || e == "utf-16")
        test.encoding = TextEncoding::kUnicode;
      else if (e == "hex")
        test.encoding = TextEncoding::kHex;
      else
        return fail(l.line, "encoding is ansi, utf-8, unicode or hex, not '" + l.value + "'");
    }
    if (!test.text.empty()) {
      const int line =
          has("test", "text") ? get("test", "text").line : get("test", "text-file").line;
      const std::string sample =
          FillUnitFields(test.text, std::string(31, '0'), "00:00:00:00:00:00");
      TextBytes bytes = ConvertTextForSending(test.encoding, sample, false, AnsiCodePage());
      if (!bytes.ok) return fail(line, "test text: " + bytes.error);
    }
    if (has("test", "escpos")) {
      const Located& l = get("test", "escpos");
      std::string list = l.value;
      for (char& c : list)
        if (c == ',') c = ' ';
      const auto& names = QuillonCliWords().escpos_names;
      size_t start = 0;
      while (start < list.size()) {
        const size_t end = std::min(list.find(' ', start), list.size());
        const std::string name = list.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        if (std::find(names.begin(), names.end(), name) == names.end()) {
          std::string known;
          for (const std::string& n : names) known += (known.empty() ? "" : " ") + n;
          return fail(l.line, "unknown ESC/POS test '" + name + "' (known: " + known + ")");
        }
        test.escpos.push_back(name);
      }
    }
    if (has("test", "picture")) {
      const Located& l = get("test", "picture");
      auto file = check.ReadFile(l, kMaxPictureFileBytes, true);
      if (!file) return failed();
      std::string why;
      if (!DecodePicture(file->bytes.data(), file->bytes.size(), test.picture, why))
        return fail(l.line, "'" + file->path + "': " + why);
      why = CheckPrintablePicture(test.picture);
      if (!why.empty()) return fail(l.line, "'" + file->path + "': " + why);
      test.picture_file = std::move(*file);
    }
    plan.test = std::move(test);
  }
  return plan;
}

}  // namespace quillon::production
