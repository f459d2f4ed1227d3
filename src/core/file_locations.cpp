#include "core/file_locations.h"

#include <filesystem>
#include <mutex>
#include <system_error>

#include "core/ini_file.h"
#include "core/platform_folders.h"

// Where the shipped files are installed, relative to the folder of the programs.
#ifndef QUILLON_SHIPPED_RELATIVE
#define QUILLON_SHIPPED_RELATIVE "../share/quillon"
#endif

namespace quillon {
namespace fs = std::filesystem;
namespace {

std::mutex g_home_mutex;
std::string g_home;

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

}  // namespace

FileLocations FileLocations::ForThisProgram(const std::string& home) {
  return Resolve({ExecutableFolder(), home, UserConfigFolder(), UserStateFolder()});
}

FileLocations FileLocations::Resolve(const Facts& facts) {
  FileLocations f;
  f.facts_ = facts;
  f.facts_.program = WithSlash(facts.program);
  f.facts_.home = WithSlash(facts.home);
  f.facts_.user_config = WithSlash(facts.user_config);
  f.facts_.user_state = WithSlash(facts.user_state);
  const std::string& program = f.facts_.program;
  // A program folder with its own settings, message file or main window language file is
  // a complete set of files (the build folder, an unpacked archive), even when it cannot be
  // written. Any one of them decides, so a deleted config.ini only means default settings
  // (no USB identifiers, language CHS), never another folder's messages. An installed
  // program's folder (bin/) holds none of them.
  const bool beside = Exists(program + "config.ini") || Exists(program + "language_msg.ini") ||
                      Exists(program + "language_main.ini");
  f.shipped_ =
      beside
          ? program
          : WithSlash((fs::path(program) / QUILLON_SHIPPED_RELATIVE).lexically_normal().string());
  if (!f.facts_.home.empty())
    f.mode_ = Mode::kHome;
  else if (beside && FolderIsWritable(program))
    f.mode_ = Mode::kPortable;
  else
    f.mode_ = Mode::kInstalled;
  return f;
}

std::string FileLocations::ConfigFile() const {
  switch (mode_) {
    case Mode::kHome:
      return facts_.home + "config.ini";
    case Mode::kPortable:
      return facts_.program + "config.ini";
    case Mode::kInstalled:
      break;
  }
  return facts_.user_config + "config.ini";
}

std::vector<std::string> FileLocations::LanguageReadOrder(const std::string& name) const {
  if (mode_ != Mode::kInstalled) return {LanguageWriteFile(name)};
  return {facts_.user_config + name, shipped_ + name};
}

std::string FileLocations::LanguageWriteFile(const std::string& name) const {
  switch (mode_) {
    case Mode::kHome:
      return facts_.home + name;
    case Mode::kPortable:
      return facts_.program + name;
    case Mode::kInstalled:
      break;
  }
  return facts_.user_config + name;
}

std::string FileLocations::StateFolder() const {
  switch (mode_) {
    case Mode::kHome:
      return facts_.home;
    case Mode::kPortable:
      return facts_.program;
    case Mode::kInstalled:
      break;
  }
  return facts_.user_state;
}

std::string FileLocations::SampleFontFile() const {
  if (mode_ == Mode::kHome && Exists(facts_.home + "sample_font.bin"))
    return facts_.home + "sample_font.bin";
  return shipped_ + "sample_font.bin";
}

bool FileLocations::PrepareUserFiles(std::string* error) const {
  if (mode_ != Mode::kInstalled) return true;
  std::error_code ec;
  fs::create_directories(facts_.user_config, ec);
  if (ec) {
    *error = "cannot create " + facts_.user_config + ": " + ec.message();
    return false;
  }
  return SeedFile(shipped_ + "config.ini", ConfigFile(), error);
}

std::string FileLocations::Describe() const {
  switch (mode_) {
    case Mode::kHome:
      return "Files: every file (config.ini, language files, log/) is in the --home folder\n  " +
             facts_.home + "\n";
    case Mode::kPortable:
      return "Files: portable use; every file (config.ini, language files, log/) is beside\n"
             "the program in\n  " +
             facts_.program + "\n";
    case Mode::kInstalled:
      break;
  }
  return "Files: installed use; settings and your language files in\n  " + facts_.user_config +
         "\nshipped defaults in\n  " + shipped_ + "\nlog and kept state in\n  " +
         facts_.user_state + "\n";
}

FileLocations Files() {
  return FileLocations::ForThisProgram(HomeFolder());
}

void SetHomeFolder(const std::string& folder) {
  std::lock_guard lock(g_home_mutex);
  g_home = WithSlash(folder);
}

std::string HomeFolder() {
  std::lock_guard lock(g_home_mutex);
  return g_home;
}

std::string ReadStringInOrder(const std::vector<std::string>& files, const std::string& section,
                              const std::string& key, const std::string& def) {
  // A default no file can hold (INI values are one line) tells a missing key apart.
  static const std::string kMissing = "\n";
  for (const std::string& file : files) {
    std::string value = IniFile(file).ReadString(section, key, kMissing);
    if (value != kMissing) return value;
  }
  return def;
}

bool SeedFile(const std::string& from, const std::string& to, std::string* error) {
  if (Exists(to)) return true;
  std::error_code ec;
  fs::copy_file(from, to, ec);
  if (ec && !Exists(to)) {
    *error = "cannot copy " + from + " to " + to + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace quillon
