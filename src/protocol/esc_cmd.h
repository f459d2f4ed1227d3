// esc_cmd: the packet and reply buffers and the builder of every private printer command.
// Each builder frames its packet, runs one exchange through the printer exchange (the link)
// and checks the reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/frame.h"
#include "protocol/packet_limits.h"
#include "protocol/printer_exchange.h"
#include "protocol/records.h"

namespace quillon {

// Why the last builder returned false, so callers can say something precise.
enum class CmdFailure {
  kNone,         // the command succeeded
  kNoReply,      // nothing (or less than a whole frame) came back in time
  kWrongLength,  // a reply of another length than the command demands
  kBadChecksum,  // the reply's checksum did not match
  kBadReply,     // the reply's size field reaches past the bytes received or the buffer
  kRefused,      // the printer answered with a refusal (status or accepted byte 0)
  kTooLong,      // the data is longer than the command can carry; nothing was sent
};

const char* CmdFailureText(CmdFailure failure);

class EscCmd {
 public:
  explicit EscCmd(PrinterExchange& link) : link_(link) {}
  EscCmd(const EscCmd&) = delete;
  EscCmd& operator=(const EscCmd&) = delete;

  // Framing into cmdbuf; returns size + 7.
  int32_t cmd_create_pack(uint8_t c, uint16_t opera, uint16_t size, const uint8_t* data);
  int32_t cmd_create_bootpack(uint8_t c, uint16_t opera, uint16_t size, const uint8_t* data);
  // Parses the reply at data into ret; true when a whole frame lies within size bytes
  // (and within retbuf when data is retbuf).
  bool cmd_build_pack(const uint8_t* data, int32_t size);

  // Single-byte settings: opera 0 queries into value, 1 sets value.
  bool cmd_language(uint8_t opera, uint8_t& value);
  bool cmd_cmdmode(uint8_t opera, uint8_t& value);
  bool cmd_tagmode(uint8_t opera, uint8_t& value);
  bool cmd_stepmode(uint8_t opera, uint8_t& value);
  bool cmd_blackness(uint8_t opera, uint8_t& value);
  bool cmd_charset(uint8_t opera, uint8_t& value);
  bool cmd_sleepmode(uint8_t opera, uint8_t& value);
  bool cmd_boot_flash_lock(uint8_t opera, uint8_t& value);

  // Text settings (8-bit text in the printer's code page).
  bool cmd_blue_name(uint8_t opera, std::string& value);
  bool cmd_blue_pin(uint8_t opera, std::string& value);
  bool cmd_blue_mac(uint8_t opera, std::string& value);
  bool cmd_sys_info(uint8_t opera, std::string& value);
  bool cmd_serial_number(uint8_t opera, std::string& value);

  bool cmd_wifi_set(uint8_t opera, TWifiPar& wifi);
  bool cmd_net_set(uint8_t opera, TNetPar& net);
  bool cmd_label_test(uint8_t opera, int32_t test_long, int32_t& vL, int32_t& vH);
  bool cmd_label_Detection(uint8_t opera, int32_t& TagSensor, int32_t& TagOut);
  bool cmd_init_syspar();
  bool cmd_enter_updatemode(uint8_t opera);
  bool cmd_oem_lcdlogo(uint8_t opera, int32_t size, const uint8_t* logo);

  // Font flash (the caller opens and closes the link around its loop).
  bool cmd_flash_erase(uint32_t addr, uint8_t flag);
  bool cmd_flash_write(uint32_t addr, uint32_t size, const uint8_t* data);

  // Boot loader (newer firmware protocol; the caller opens and closes the link).
  bool cmd_boot_update_erase(uint32_t& value);
  bool cmd_boot_update_data(uint16_t packsize, const uint8_t* data);
  bool cmd_boot_update_checkcrc(uint32_t crc);

  // RFID reader (these open the link and leave it open; the caller closes it).
  bool cmd_rfid_auth(uint8_t opera, uint8_t keymode, uint8_t addr, const uint8_t key[6],
                     uint8_t cardsnr[4]);
  bool cmd_rfid_read(uint8_t opera, uint8_t addr, uint8_t data[16]);
  bool cmd_rfid_write(uint8_t opera, uint8_t addr, const uint8_t data[16]);
  bool cmd_rfid_reset(uint8_t opera);
  bool cmd_rfid_halt(uint8_t opera);

  CmdFailure last_failure() const { return last_failure_; }
  PrinterExchange& link() { return link_; }

  // Module state, as the rest of the program knows it.
  TCMD cmd{};
  TCMD ret{};
  uint8_t cmdbuf[kCmdBufSize] = {};
  uint8_t retbuf[kRetBufSize] = {};
  int32_t cmdsize = 0;
  int32_t retsize = 0;

 private:
  bool ByteSetting(uint8_t code, uint8_t kind, uint8_t opera, uint8_t& value);
  bool TextSetting(uint8_t code, uint8_t opera, std::string& value);
  bool Rfid(uint8_t code, uint8_t opera, const uint8_t* data, uint16_t size);
  // Sends cmdbuf and checks the reply; exact_count demands exactly `expected` bytes,
  // at_least accepts more; otherwise one whole valid frame must have arrived.
  enum class CountTest { kEqual, kAtLeast, kFrame };
  bool Exchange(int32_t expected, uint32_t timeout, CountTest test);
  bool Fail(CmdFailure why) {
    last_failure_ = why;
    return false;
  }

  PrinterExchange& link_;
  CmdFailure last_failure_ = CmdFailure::kNone;
};

}  // namespace quillon
