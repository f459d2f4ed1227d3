#include "protocol/esc_cmd.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "protocol/command_codes.h"

namespace quillon {
namespace {

using namespace cmd_code;

constexpr int32_t kShortReply = 8;
constexpr int32_t kLabelReply = 15;
constexpr uint32_t kWait = 1000;

// Closes the USB link when the builder returns, whatever the outcome.
class LinkScope {
 public:
  explicit LinkScope(PrinterExchange& link) : link_(link) { link_.OpenUsb(); }
  ~LinkScope() { link_.CloseUSB(); }
  LinkScope(const LinkScope&) = delete;
  LinkScope& operator=(const LinkScope&) = delete;

 private:
  PrinterExchange& link_;
};

int32_t ToInt32(const uint8_t* p) {
  return static_cast<int32_t>(GetLE32(p));
}

}  // namespace

const char* CmdFailureText(CmdFailure failure) {
  switch (failure) {
    case CmdFailure::kNone:
      return "no error";
    case CmdFailure::kNoReply:
      return "no reply";
    case CmdFailure::kWrongLength:
      return "reply of the wrong length";
    case CmdFailure::kBadChecksum:
      return "bad checksum";
    case CmdFailure::kBadReply:
      return "malformed reply";
    case CmdFailure::kRefused:
      return "refused by the printer";
    case CmdFailure::kTooLong:
      return "data too long for the command";
  }
  return "unknown error";
}

static int32_t CreatePack(EscCmd& e, uint8_t kind, uint8_t c, uint16_t opera, uint16_t size,
                          const uint8_t* data) {
  if (size > kMaxPacketData) return 0;  // the builders refuse such data before this point
  e.cmd = TCMD{};
  e.cmd.cmd[0] = kind;
  e.cmd.cmd[1] = c;
  e.cmd.opera = opera;
  e.cmd.size = size;
  e.cmd.data = data;
  e.cmd.crc = cmd_getcrc(e.cmd);
  return static_cast<int32_t>(WriteFrame(e.cmd, e.cmdbuf));
}

int32_t EscCmd::cmd_create_pack(uint8_t c, uint16_t opera, uint16_t size, const uint8_t* data) {
  return CreatePack(*this, kKindOrdinary, c, opera, size, data);
}

int32_t EscCmd::cmd_create_bootpack(uint8_t c, uint16_t opera, uint16_t size, const uint8_t* data) {
  return CreatePack(*this, kKindBoot, c, opera, size, data);
}

bool EscCmd::cmd_build_pack(const uint8_t* data, int32_t size) {
  int32_t limit = size;
  if (data == retbuf) limit = std::min<int32_t>(limit, kRetBufSize);
  if (limit < static_cast<int32_t>(kFrameOverhead)) return false;
  auto frame = ParseFrame(std::span<const uint8_t>(data, static_cast<size_t>(limit)));
  if (!frame) return false;  // size reaches past the bytes received or past retbuf
  ret = frame->header;
  return true;
}

bool EscCmd::Exchange(int32_t expected, uint32_t timeout, CountTest test) {
  last_failure_ = CmdFailure::kNone;
  const ReplyEnd end = test == CountTest::kEqual ? ReplyEnd::kCount : ReplyEnd::kFrame;
  retsize = link_.SendAndRecv(cmdbuf, cmdsize, std::span<uint8_t>(retbuf, kRetBufSize), expected,
                              timeout, end);
  if (retsize <= 0) return Fail(CmdFailure::kNoReply);
  switch (test) {
    case CountTest::kEqual:
      if (retsize != expected) return Fail(CmdFailure::kWrongLength);
      break;
    case CountTest::kAtLeast:
      if (retsize < expected) return Fail(CmdFailure::kWrongLength);
      break;
    case CountTest::kFrame:
      break;
  }
  if (!cmd_build_pack(retbuf, retsize)) {
    return Fail(retsize < static_cast<int32_t>(kFrameOverhead) ? CmdFailure::kNoReply
                                                               : CmdFailure::kBadReply);
  }
  if (cmd_getcrc(ret) != ret.crc) return Fail(CmdFailure::kBadChecksum);
  return true;
}

bool EscCmd::ByteSetting(uint8_t code, uint8_t kind, uint8_t opera, uint8_t& value) {
  const uint8_t data = value;
  const uint16_t size = opera == 0 ? 0 : 1;
  cmdsize = CreatePack(*this, kind, code, opera, size, size ? &data : nullptr);
  LinkScope scope(link_);
  if (!Exchange(kShortReply, kWait, CountTest::kEqual)) return false;
  if (opera == 0 && ret.size > 0) value = ret.data[0];
  return true;
}

bool EscCmd::cmd_language(uint8_t opera, uint8_t& value) {
  return ByteSetting(kLanguage, kKindOrdinary, opera, value);
}
bool EscCmd::cmd_cmdmode(uint8_t opera, uint8_t& value) {
  return ByteSetting(kCmdMode, kKindOrdinary, opera, value);
}
bool EscCmd::cmd_tagmode(uint8_t opera, uint8_t& value) {
  return ByteSetting(kTagMode, kKindOrdinary, opera, value);
}
bool EscCmd::cmd_stepmode(uint8_t opera, uint8_t& value) {
  return ByteSetting(kStepMode, kKindOrdinary, opera, value);
}
bool EscCmd::cmd_blackness(uint8_t opera, uint8_t& value) {
  return ByteSetting(kBlackness, kKindOrdinary, opera, value);
}
bool EscCmd::cmd_charset(uint8_t opera, uint8_t& value) {
  return ByteSetting(kCharset, kKindOrdinary, opera, value);
}
bool EscCmd::cmd_sleepmode(uint8_t opera, uint8_t& value) {
  return ByteSetting(kSleepMode, kKindOrdinary, opera, value);
}
bool EscCmd::cmd_boot_flash_lock(uint8_t opera, uint8_t& value) {
  return ByteSetting(kBootFlashLock, kKindBoot, opera, value);
}

bool EscCmd::TextSetting(uint8_t code, uint8_t opera, std::string& value) {
  last_failure_ = CmdFailure::kNone;
  uint8_t serial[32] = {};
  if (opera == 0) {
    cmdsize = cmd_create_pack(code, 0, 0, nullptr);
  } else if (code == kSerialNumber) {
    if (value.size() > kMaxSerialNumber) return Fail(CmdFailure::kTooLong);
    std::memcpy(serial, value.data(), value.size());
    cmdsize = cmd_create_pack(code, opera, static_cast<uint16_t>(value.size() + 1), serial);
  } else {
    if (value.size() > kMaxPacketData) return Fail(CmdFailure::kTooLong);
    cmdsize = cmd_create_pack(code, opera, static_cast<uint16_t>(value.size()),
                              reinterpret_cast<const uint8_t*>(value.data()));
  }
  LinkScope scope(link_);
  // A missing or partial reply fails here rather than decoding an older reply in retbuf.
  if (!Exchange(kShortReply, kWait, CountTest::kFrame)) return false;
  if (ret.size == 0) return Fail(CmdFailure::kBadReply);
  if (opera == 0) {
    value.assign(reinterpret_cast<const char*>(ret.data), ret.size);
    return true;
  }
  return ret.data[0] != 0 ? true : Fail(CmdFailure::kRefused);
}

bool EscCmd::cmd_blue_name(uint8_t opera, std::string& value) {
  return TextSetting(kBlueName, opera, value);
}
bool EscCmd::cmd_blue_pin(uint8_t opera, std::string& value) {
  return TextSetting(kBluePin, opera, value);
}
bool EscCmd::cmd_blue_mac(uint8_t opera, std::string& value) {
  return TextSetting(kBlueMac, opera, value);
}
bool EscCmd::cmd_sys_info(uint8_t opera, std::string& value) {
  return TextSetting(kSysInfo, opera, value);
}
bool EscCmd::cmd_serial_number(uint8_t opera, std::string& value) {
  return TextSetting(kSerialNumber, opera, value);
}

bool EscCmd::cmd_wifi_set(uint8_t opera, TWifiPar& wifi) {
  if (opera == 0) {
    cmdsize = cmd_create_pack(kWifiSet, opera, 0, nullptr);
  } else {
    cmdsize =
        cmd_create_pack(kWifiSet, opera, sizeof(TWifiPar), reinterpret_cast<const uint8_t*>(&wifi));
  }
  LinkScope scope(link_);
  return Exchange(kShortReply, kWait, CountTest::kEqual);
}

bool EscCmd::cmd_net_set(uint8_t opera, TNetPar& net) {
  if (opera == 0) {
    cmdsize = cmd_create_pack(kNetSet, opera, 0, nullptr);
  } else {
    cmdsize =
        cmd_create_pack(kNetSet, opera, sizeof(TNetPar), reinterpret_cast<const uint8_t*>(&net));
  }
  LinkScope scope(link_);
  if (!Exchange(kShortReply, kWait, CountTest::kAtLeast)) return false;
  if (opera == 0 && ret.size > 0) {
    if (ret.size < sizeof(TNetPar)) return Fail(CmdFailure::kBadReply);  // not a whole record
    std::memcpy(&net, ret.data, sizeof(TNetPar));
  }
  return true;
}

bool EscCmd::cmd_label_test(uint8_t opera, int32_t test_long, int32_t& vL, int32_t& vH) {
  uint8_t data[4];
  PutLE32(data, static_cast<uint32_t>(test_long));
  cmdsize = cmd_create_pack(kLabelTest, opera, opera == 0 ? 0 : 4, opera == 0 ? nullptr : data);
  LinkScope scope(link_);
  if (!Exchange(kLabelReply, kWait, CountTest::kEqual)) return false;
  if (ret.size > 0) {
    if (ret.size < 8) return Fail(CmdFailure::kBadReply);
    vL = ToInt32(ret.data);
    vH = ToInt32(ret.data + 4);
  }
  return true;
}

bool EscCmd::cmd_label_Detection(uint8_t opera, int32_t& TagSensor, int32_t& TagOut) {
  uint8_t data[8];
  PutLE32(data, static_cast<uint32_t>(TagSensor));
  PutLE32(data + 4, static_cast<uint32_t>(TagOut));
  cmdsize =
      cmd_create_pack(kLabelDetection, opera, opera == 0 ? 0 : 8, opera == 0 ? nullptr : data);
  LinkScope scope(link_);
  if (!Exchange(kLabelReply, kWait, CountTest::kEqual)) return false;
  if (ret.size > 0) {
    if (ret.size < 8) return Fail(CmdFailure::kBadReply);
    TagSensor = ToInt32(ret.data);
    TagOut = ToInt32(ret.data + 4);
  }
  return true;
}

bool EscCmd::cmd_init_syspar() {
  cmdsize = cmd_create_pack(kInitSyspar, 1, 0, nullptr);
  LinkScope scope(link_);
  return Exchange(kShortReply, kWait, CountTest::kEqual);
}

bool EscCmd::cmd_enter_updatemode(uint8_t /*opera*/) {
  cmdsize = cmd_create_pack(kEnterUpdateMode, 1, 0, nullptr);
  LinkScope scope(link_);
  return Exchange(kShortReply, kWait, CountTest::kEqual);
}

bool EscCmd::cmd_oem_lcdlogo(uint8_t /*opera*/, int32_t size, const uint8_t* logo) {
  last_failure_ = CmdFailure::kNone;
  if (size < 0 || static_cast<size_t>(size) > kMaxLogoData) return Fail(CmdFailure::kTooLong);
  uint8_t data[4 + kMaxLogoData];
  PutLE32(data, static_cast<uint32_t>(size));
  if (size > 0) std::memcpy(data + 4, logo, static_cast<size_t>(size));
  cmdsize = cmd_create_pack(kOemLcdLogo, 1, static_cast<uint16_t>(size + 4), data);
  LinkScope scope(link_);
  return Exchange(kShortReply, kWait, CountTest::kEqual);
}

bool EscCmd::cmd_flash_erase(uint32_t addr, uint8_t flag) {
  uint8_t data[4];
  PutLE32(data, addr);
  cmdsize = cmd_create_pack(kFlashErase, flag, 4, data);
  return Exchange(kShortReply, 120000, CountTest::kEqual);
}

bool EscCmd::cmd_flash_write(uint32_t addr, uint32_t size, const uint8_t* data) {
  last_failure_ = CmdFailure::kNone;
  if (size > kMaxFlashWriteData) return Fail(CmdFailure::kTooLong);
  // Built straight into cmdbuf's data field to avoid a second 20 KB copy.
  uint8_t* payload = cmdbuf + kHeaderSize;
  PutLE32(payload, addr);
  PutLE32(payload + 4, size);
  if (size > 0) std::memmove(payload + 8, data, size);
  cmdsize = cmd_create_pack(kFlashWrite, 1, static_cast<uint16_t>(size + 8), payload);
  return Exchange(kShortReply, kWait, CountTest::kEqual);
}

bool EscCmd::cmd_boot_update_erase(uint32_t& value) {
  uint8_t data[4];
  PutLE32(data, value);
  cmdsize = cmd_create_bootpack(kBootErase, 1, 4, data);
  return Exchange(kShortReply, 10000, CountTest::kEqual);
}

bool EscCmd::cmd_boot_update_data(uint16_t packsize, const uint8_t* data) {
  last_failure_ = CmdFailure::kNone;
  if (packsize > kMaxPacketData) return Fail(CmdFailure::kTooLong);
  cmdsize = cmd_create_bootpack(kBootData, 1, packsize, data);
  return Exchange(kShortReply, 5000, CountTest::kEqual);
}

bool EscCmd::cmd_boot_update_checkcrc(uint32_t crc) {
  uint8_t data[4];
  PutLE32(data, crc);
  cmdsize = cmd_create_bootpack(kBootCheckCrc, 1, 4, data);
  return Exchange(kShortReply, 5000, CountTest::kEqual);
}

bool EscCmd::Rfid(uint8_t code, uint8_t opera, const uint8_t* data, uint16_t size) {
  cmdsize = cmd_create_pack(code, opera, size, data);
  link_.OpenUsb();  // left open: the RFID dialog closes the link itself
  if (!Exchange(kShortReply, kWait, CountTest::kFrame)) return false;
  if (ret.size == 0) return Fail(CmdFailure::kBadReply);
  return true;
}

bool EscCmd::cmd_rfid_auth(uint8_t opera, uint8_t keymode, uint8_t addr, const uint8_t key[6],
                           uint8_t cardsnr[4]) {
  uint8_t data[12];
  data[0] = keymode;
  data[1] = addr;
  std::memcpy(data + 2, key, 6);
  std::memcpy(data + 8, cardsnr, 4);
  if (!Rfid(kRfidAuth, opera, data, sizeof data)) return false;
  if (ret.size >= 5) std::memcpy(cardsnr, ret.data + 1, 4);  // copied whatever the status
  if (ret.data[0] == 0) return Fail(CmdFailure::kRefused);
  return ret.size >= 5 ? true : Fail(CmdFailure::kBadReply);
}

bool EscCmd::cmd_rfid_read(uint8_t opera, uint8_t addr, uint8_t data[16]) {
  if (!Rfid(kRfidRead, opera, &addr, 1)) return false;
  if (ret.data[0] == 0) return Fail(CmdFailure::kRefused);
  if (ret.size < 17) return Fail(CmdFailure::kBadReply);
  std::memcpy(data, ret.data + 1, 16);
  return true;
}

bool EscCmd::cmd_rfid_write(uint8_t opera, uint8_t addr, const uint8_t data[16]) {
  uint8_t payload[17];
  payload[0] = addr;
  std::memcpy(payload + 1, data, 16);
  if (!Rfid(kRfidWrite, opera, payload, sizeof payload)) return false;
  return ret.data[0] != 0 ? true : Fail(CmdFailure::kRefused);
}

bool EscCmd::cmd_rfid_reset(uint8_t opera) {
  if (!Rfid(kRfidReset, opera, nullptr, 0)) return false;
  return ret.data[0] != 0 ? true : Fail(CmdFailure::kRefused);
}

bool EscCmd::cmd_rfid_halt(uint8_t opera) {
  if (!Rfid(kRfidHalt, opera, nullptr, 0)) return false;
  return ret.data[0] != 0 ? true : Fail(CmdFailure::kRefused);
}

}  // namespace quillon
