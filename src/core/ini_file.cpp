#include "core/ini_file.h"

// Values are kept as the bytes in the file; the callers decide their encoding.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // instantiate the templates here; no ICU dependency
#include <SimpleIni.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/platform.h"
#include "core/utf8_path.h"

namespace quillon {
namespace {

// CSimpleIniA compares section and key names without regard to case, like Windows (the
// "Case" variant of SimpleIni is the case-sensitive one).
bool Load(CSimpleIniA& ini, const std::string& path) {
  ini.SetUnicode(false);
  ini.SetMultiKey(false);
  // Only a regular file is read: a folder in its place opens on some systems and reports a
  // size that would make the reader ask for an impossible buffer.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(Utf8Path(path), ec)) return false;
  std::FILE* f = OpenFileUtf8(path, "rb");
  if (!f) return false;
  const bool ok = ini.LoadFile(f) >= 0;
  std::fclose(f);
  return ok;
}

// Writes the whole file again (UTF-8 path).
bool Save(const CSimpleIniA& ini, const std::string& path) {
  std::FILE* f = OpenFileUtf8(path, "wb");
  if (!f) return false;
  bool ok = ini.SaveFile(f, false) >= 0;
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  CSimpleIniA ini;
  if (!Load(ini, path_)) return def;
  const char* v = ini.GetValue(section.c_str(), key.c_str(), nullptr);
  return v ? std::string(v) : def;
}

int64_t IniFile::ReadInteger(const std::string& section, const std::string& key,
                             int64_t def) const {
  std::string text = ReadString(section, key, "");
  if (text.empty()) return def;
  const char* begin = text.c_str();
  int base = 10;
  // Windows INI integers accept a 0x prefix.
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    begin += 2;
    base = 16;
  }
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(begin, &end, base);
  if (errno != 0 || end == begin || *end != '\0') return def;
  return v;
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  CSimpleIniA ini;
  Load(ini, path_);  // a missing file starts empty
  if (ini.SetValue(section.c_str(), key.c_str(), value.c_str()) < 0) return false;
  return Save(ini, path_);
}

bool IniFile::SectionExists(const std::string& section) const {
  CSimpleIniA ini;
  if (!Load(ini, path_)) return false;
  return ini.GetSectionSize(section.c_str()) >= 0;
}

std::map<std::string, std::string> IniFile::ReadSection(const std::string& section) const {
  std::map<std::string, std::string> values;
  CSimpleIniA ini;
  if (!Load(ini, path_)) return values;
  CSimpleIniA::TNamesDepend keys;
  if (!ini.GetAllKeys(section.c_str(), keys)) return values;
  for (const auto& entry : keys) {
    std::string key = entry.pItem;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const char* v = ini.GetValue(section.c_str(), entry.pItem, nullptr);
    values.emplace(std::move(key), v ? v : "");
  }
  return values;
}

bool IniFile::WriteStrings(const std::string& section,
                           const std::vector<std::pair<std::string, std::string>>& values) {
  CSimpleIniA ini;
  Load(ini, path_);  // a missing file starts empty
  for (const auto& [key, value] : values) {
    if (ini.SetValue(section.c_str(), key.c_str(), value.c_str()) < 0) return false;
  }
  return Save(ini, path_);
}

}  // namespace quillon
