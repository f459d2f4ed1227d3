// Arbitrary INI file content through the settings, message and window-language readers,
// and a write-back that must keep the rest of the file readable.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/ini_file.h"
#include "core/msg_ini.h"
#include "core/ulog.h"

namespace {

class NoBox final : public quillon::DialogPresenter {
 public:
  int Show(int, const std::string&, const std::string&) override { return 1; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/quillon-fuzz-ini-XXXXXX";
    return std::string(mkdtemp(tmpl)) + "/";
  }();
  const std::string path = dir + "config.ini";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  quillon::IniFile ini(path);
  (void)ini.ReadString("SYSTEM", "USB_VID", "");
  const std::string language = ini.ReadString("system", "language", "CHS");
  (void)ini.ReadInteger("LOG", "TXD_ONOFF", 0);
  (void)ini.SectionExists("CHS");
  // A window language file: every caption of a section in one pass, as the loader reads it.
  for (const char* section : {"CHS", "ENG", "CHT"}) {
    for (const auto& [key, value] : ini.ReadSection(section)) {
      // Lookups ignore case: each key read in one pass is found again by name.
      if (ini.ReadString(section, key, "\x01missing") == "\x01missing") std::abort();
    }
  }
  // The message file, in the language the file itself names.
  NoBox box;
  quillon::MsgIni messages(path, language, box);
  (void)messages.Text("MSG001");
  (void)messages.Text(language);
  quillon::ExchangeLog log(dir);
  log.init_log();
  // A write keeps the file a readable INI file holding the new value.
  if (size < 4096) {
    if (ini.WriteString("SYSTEM", "USB_PID", "7001") &&
        ini.ReadString("SYSTEM", "USB_PID", "") != "7001") {
      std::abort();
    }
  }
  return 0;
}
