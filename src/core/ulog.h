// uLog: the daily exchange log. Every block sent and every reply received is written as
// a line of hexadecimal bytes into log/yyyymmdd.txt (beside the program, or in the user's
// state folder when installed: FileLocations).
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace quillon {

struct LogSwitches {
  uint8_t MSG_ONOFF = 0;     // kind 0, "MSG"
  uint8_t ERR_ONOFF = 0;     // kind -1, "ERR"
  uint8_t RXD_ONOFF = 0;     // kind 1, "RXD" (bytes received)
  uint8_t TXD_ONOFF = 0;     // kind 2, "TXD" (bytes sent)
  uint8_t ANY_ONOFF = 0;     // kind 3, "ANY"
  uint8_t ADD_DATETIME = 0;  // "[YYYY-MM-DD HH:NN:SS]" + tab at the start of every line
};

class ExchangeLog {
 public:
  // folder: the program folder (ends with '/'); config.ini is read there, log files go to
  // folder + "log/".
  explicit ExchangeLog(std::string folder);
  // config_file: where the switches are read; folder: where "log/" and "Log.txt" go.
  ExchangeLog(std::string config_file, std::string folder);

  // Reads the six switches from section LOG of the config file; returns 0.
  int32_t init_log();
  // Appends one line (CR LF ended); 0, or -1 when the file cannot be written.
  int32_t Write_Log(const std::string& filename, const std::string& MSGStr, int32_t MSGType);

  // folder + "log/" + yyyymmdd + ".txt" for today; creates the log folder (and the folders
  // above it) when missing.
  std::string DailyFileName();

  LogSwitches switches;
  // Local time source, replaceable in tests.
  std::function<std::tm()> now;
  // Sees every line's kind and text whatever the switches (the CLI's --verbose trace).
  std::function<void(int32_t kind, const std::string& text)> echo;
  const std::string& folder() const { return folder_; }

 private:
  std::string config_file_;
  std::string folder_;
};

// "10 A1 00 " for the bytes 10 A1 00: two upper-case digits and a space per byte.
std::string HexLine(const uint8_t* bytes, size_t count);

}  // namespace quillon
