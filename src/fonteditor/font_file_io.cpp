// The name the save dialog proposes for a font file.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/platform.h"
#include "fonteditor/font_file_io.h"

namespace quillon {

std::string DefaultFontFileName(int year, int month, int day) {
  char name[40];
  std::snprintf(name, sizeof name, "FOnt_KX_8M_%04d%02d%02d.bin", year, month, day);
  return name;
}

std::string DefaultFontFileNameToday() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  const std::tm local = LocalTime(now);
  return DefaultFontFileName(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace quillon
