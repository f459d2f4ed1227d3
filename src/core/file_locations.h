// Where every file of the program lives. Three ways to run:
// - home: --home DIR given; every file is in DIR.
// - portable: the program's folder holds its own files (config.ini, the message file or the
//   main window's language file) and is writable (the build folder, an unpacked archive);
//   every file is beside the program.
// - installed: settings and the user's language files in the user's config folder
//   (config.ini copied there on first start from the shipped copy), the shipped defaults
//   in share/quillon/ beside bin/, the log and kept state in the user's state folder.
// Nothing else builds these paths.
#pragma once

#include <string>
#include <vector>

namespace quillon {

class FileLocations {
 public:
  enum class Mode { kHome, kPortable, kInstalled };

  // Everything the choice depends on; each folder ends with '/'.
  struct Facts {
    std::string program;      // folder of the executable
    std::string home;         // --home, or empty
    std::string user_config;  // the user's settings folder for the program
    std::string user_state;   // the user's state folder for the program
  };

  // The locations for this process: the real program folder and user folders.
  static FileLocations ForThisProgram(const std::string& home);
  // Decides the mode from facts (looks at the disk: the program's own files present, folder
  // writable).
  static FileLocations Resolve(const Facts& facts);

  Mode mode() const { return mode_; }

  // config.ini, read and written.
  std::string ConfigFile() const;
  // A language file ("language_msg.ini", "language_main.ini", ...): the files to read, the
  // user's copy first; and the file that Create Language writes.
  std::vector<std::string> LanguageReadOrder(const std::string& name) const;
  std::string LanguageWriteFile(const std::string& name) const;
  // Folder of the exchange log's "log/" and "Log.txt", and of kept state.
  std::string StateFolder() const;
  std::string LogFolder() const { return StateFolder() + "log/"; }
  std::string VirtualPrinterStateFile() const { return StateFolder() + "virtual-printer.state"; }
  // Several virtual printers keep theirs here, one file per serial number.
  std::string VirtualPrinterStateFolder() const { return VirtualPrinterStateFile() + ".d"; }
  // The shipped files (config.ini, language files, sample font library).
  const std::string& ShippedFolder() const { return shipped_; }
  // The sample font library: in the --home folder when there is one, else the shipped one.
  std::string SampleFontFile() const;

  // Installed use: creates the user's settings folder and copies the shipped config.ini
  // there when the user has none yet. False with error when that fails; other modes need
  // nothing and return true.
  bool PrepareUserFiles(std::string* error) const;
  // One paragraph for --help: which way the program runs and which folders it uses.
  std::string Describe() const;

 private:
  Mode mode_ = Mode::kPortable;
  Facts facts_;
  std::string shipped_;
};

// The locations of this run, for everyone who opens a file; SetHomeFolder (--home) wins.
FileLocations Files();
// --home DIR; an empty text returns to the program's own choice.
void SetHomeFolder(const std::string& folder);
std::string HomeFolder();

// The value of key in the first of files that has it (a read order), else def.
std::string ReadStringInOrder(const std::vector<std::string>& files, const std::string& section,
                              const std::string& key, const std::string& def);
// Copies from to to when to does not exist yet; true when to exists afterwards.
bool SeedFile(const std::string& from, const std::string& to, std::string* error);

}  // namespace quillon
