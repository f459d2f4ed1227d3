// Everything the virtual printer keeps across power cycles: settings, identity texts,
// network records, label values, logo, firmware, font flash and the card in its reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/records.h"
#include "virtualprinter/nor_flash.h"
#include "virtualprinter/rfid_card.h"

namespace quillon::vp {

// The values a factory reset (command A0) restores.
struct PrinterSettings {
  uint8_t language = 0;   // display language
  uint8_t cmdmode = 0;    // command set
  uint8_t tagmode = 0;    // paper type: 0 continuous, 1 labels
  uint8_t stepmode = 1;   // print speed
  uint8_t blackness = 2;  // print density
  uint8_t charset = 0;    // character set
  uint8_t sleepmode = 0;  // sleep time, 0 = never
  std::string blue_name = "Quillon-VP";
  std::string blue_pin = "1234";
  TNetPar net{};
  TWifiPar wifi{};
  int32_t tag_sensor = 0;  // label detection distance
  int32_t tag_out = 0;     // tear-off distance

  PrinterSettings();
};

// Longest texts the printer stores; longer sets are refused.
inline constexpr size_t kMaxBlueName = 32;
inline constexpr size_t kMaxBluePin = 16;
inline constexpr size_t kMaxSerialText = 31;
// Largest firmware image the boot loader takes (its buffer is 256 KiB + 1).
inline constexpr uint32_t kMaxFirmwareSize = 262145;

// Reads a whole file in one go; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);

// The paper roll as the printer's sensors see it.
enum class PaperLevel : uint8_t {
  kPresent = 0,
  kNearEnd = 1,  // still printing, the roll is running low
  kOut = 2,      // printing stops until paper is put in
};

struct PrinterState {
  PrinterSettings settings;
  // Identity, kept by a factory reset.
  std::string blue_mac = "00:1B:35:7A:C0:DE";
  std::string sys_info = "Quillon virtual printer, firmware VP-1.0";
  std::string serial_number = "VP20260001";
  int32_t label_low = 1234;  // label sensor thresholds, hundredths
  int32_t label_high = 2567;
  uint8_t flash_lock = 0;  // boot loader flash lock: 0 unlocked
  bool flashing_mode = false;
  std::vector<uint8_t> logo;         // screen logo raster as last received
  std::vector<uint8_t> firmware;     // last firmware image that verified
  std::vector<uint8_t> nv_graphics;  // NV graphics and bit images (ESC/POS), packed
  uint16_t paper_width = 384;        // dots: 384 (58 mm) or 576 (80 mm)
  NorFlash flash;
  RfidCard card;
  PaperLevel paper = PaperLevel::kPresent;
  bool cover_open = false;

  // Printing stops with paper out or the cover open.
  bool stopped() const { return paper == PaperLevel::kOut || cover_open; }
  // The reply byte to real-time status request n (1 to 4).
  uint8_t StatusByte(uint8_t n) const;

  // Back to factory settings (command A0): identity, logo, flash and card stay.
  void FactoryReset() { settings = PrinterSettings(); }

  // Writes the state to path (through a temporary file and a rename, so a crash never
  // leaves half a file). False with a reason in error.
  bool Save(const std::string& path, std::string& error) const;
  // Reads a state written by Save. On any failure the state is left as it was and
  // error says why.
  bool Load(const std::string& path, std::string& error);
};

}  // namespace quillon::vp
