#include "core/ulog.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/ini_file.h"

namespace quillon {
namespace {

std::tm LocalNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

const char* TagOf(int32_t kind, const LogSwitches& s) {
  switch (kind) {
    case 0:
      return s.MSG_ONOFF == 1 ? "MSG" : nullptr;
    case -1:
      return s.ERR_ONOFF == 1 ? "ERR" : nullptr;
    case 1:
      return s.RXD_ONOFF == 1 ? "RXD" : nullptr;
    case 2:
      return s.TXD_ONOFF == 1 ? "TXD" : nullptr;
    case 3:
      return s.ANY_ONOFF == 1 ? "ANY" : nullptr;
    default:
      return nullptr;
  }
}

}  // namespace

ExchangeLog::ExchangeLog(std::string folder) : ExchangeLog("", std::move(folder)) {}

ExchangeLog::ExchangeLog(std::string config_file, std::string folder)
    : now(LocalNow), config_file_(std::move(config_file)), folder_(std::move(folder)) {
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
  if (config_file_.empty()) config_file_ = folder_ + "config.ini";
}

int32_t ExchangeLog::init_log() {
  IniFile config(config_file_);
  auto read = [&](const char* key) {
    return static_cast<uint8_t>(config.ReadInteger("LOG", key, 0) & 0xFF);
  };
  switches.MSG_ONOFF = read("MSG_ONOFF");
  switches.ERR_ONOFF = read("ERR_ONOFF");
  switches.RXD_ONOFF = read("RXD_ONOFF");
  switches.TXD_ONOFF = read("TXD_ONOFF");
  switches.ANY_ONOFF = read("ANY_ONOFF");
  switches.ADD_DATETIME = read("ADD_DATETIME");
  return 0;
}

int32_t ExchangeLog::Write_Log(const std::string& filename, const std::string& MSGStr,
                               int32_t MSGType) {
  if (echo) echo(MSGType, MSGStr);
  std::string name = filename.empty() ? folder_ + "Log.txt" : filename;
  std::string line;
  if (switches.ADD_DATETIME == 1) {
    std::tm tm = now();
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "[%04d-%02d-%02d %02d:%02d:%02d]\t", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    line += stamp;
  }
  if (const char* tag = TagOf(MSGType, switches)) {
    line += tag;
    line += '\t';
    line += MSGStr;
  }
  line += "\r\n";
  std::FILE* f = std::fopen(name.c_str(), "ab");
  if (!f) return -1;
  bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok ? 0 : -1;
}

std::string ExchangeLog::DailyFileName() {
  std::string dir = folder_ + "log";
  std::error_code ec;  // the folder is created when missing; a failure shows at write
  std::filesystem::create_directories(dir, ec);
  std::tm tm = now();
  char day[48];
  std::snprintf(day, sizeof day, "%04d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return dir + "/" + day + ".txt";
}

std::string HexLine(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string line;
  line.resize(count * 3);
  for (size_t i = 0; i < count; ++i) {
    line[i * 3] = kDigits[bytes[i] >> 4];
    line[i * 3 + 1] = kDigits[bytes[i] & 0xF];
    line[i * 3 + 2] = ' ';
  }
  return line;
}

}  // namespace quillon
