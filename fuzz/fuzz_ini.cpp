// Arbitrary INI file content through the settings and message readers.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/ini_file.h"
#include "app/ulog.h"

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
  (void)ini.ReadString("system", "language", "CHS");
  (void)ini.ReadInteger("LOG", "TXD_ONOFF", 0);
  (void)ini.SectionExists("CHS");
  quillon::ExchangeLog log(dir);
  log.init_log();
  return 0;
}
