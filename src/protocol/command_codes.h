// Codes of the private printer commands (byte 1 of a packet), shared by the command
// builders and the virtual printer. Code 0xF0 is the serial number in an ordinary packet
// and the boot loader's erase in a boot packet.
#pragma once

#include <cstdint>

namespace quillon::cmd_code {

enum : uint8_t {
  kInitSyspar = 0xA0,
  kLanguage = 0xA1,
  kCmdMode = 0xA2,
  kTagMode = 0xA3,
  kStepMode = 0xA4,
  kBlackness = 0xA5,
  kCharset = 0xA6,
  kBlueName = 0xA7,
  kBluePin = 0xA8,
  kBlueMac = 0xA9,
  kSysInfo = 0xAA,
  kSleepMode = 0xAB,
  kNetSet = 0xAE,
  kWifiSet = 0xAF,
  kLabelTest = 0xB0,
  kLabelDetection = 0xB1,
  kOemLcdLogo = 0xC0,
  kFlashErase = 0xE0,
  kFlashWrite = 0xE1,
  kSerialNumber = 0xF0,
  kEnterUpdateMode = 0xFF,
  kBootErase = 0xF0,
  kBootData = 0xF1,
  kBootCheckCrc = 0xF2,
  kBootFlashLock = 0xF3,
  kRfidAuth = 0x83,
  kRfidRead = 0x84,
  kRfidWrite = 0x85,
  kRfidReset = 0x86,
  kRfidHalt = 0x87,
};

}  // namespace quillon::cmd_code
