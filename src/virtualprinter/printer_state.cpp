#include "virtualprinter/printer_state.h"

#include <filesystem>

#include "core/utf8_path.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>

#include "protocol/frame.h"
#include "protocol/printer_status.h"

namespace quillon::vp {
namespace {

constexpr char kMagic[8] = {'Q', 'V', 'P', 'S', 'T', 'A', 'T', 'E'};
constexpr uint32_t kVersion = 1;

// The file: magic, version, then sections of (4-byte tag, 32-bit length, bytes).
class SectionWriter {
 public:
  void Add(const char* tag, const void* data, size_t len) {
    out_.insert(out_.end(), tag, tag + 4);
    uint8_t n[4];
    PutLE32(n, static_cast<uint32_t>(len));
    out_.insert(out_.end(), n, n + 4);
    const auto* p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + len);
  }
  void Add(const char* tag, const std::string& s) { Add(tag, s.data(), s.size()); }
  void Add(const char* tag, const std::vector<uint8_t>& v) { Add(tag, v.data(), v.size()); }
  void AddInt(const char* tag, int32_t v) {
    uint8_t b[4];
    PutLE32(b, static_cast<uint32_t>(v));
    Add(tag, b, 4);
  }
  std::vector<uint8_t>& bytes() { return out_; }

 private:
  std::vector<uint8_t> out_;
};

using Sections = std::map<std::string, std::vector<uint8_t>>;

bool ReadSections(const std::vector<uint8_t>& file, Sections& out, std::string& error) {
  if (file.size() < 12 || std::memcmp(file.data(), kMagic, 8) != 0) {
    error = "not a virtual printer state file";
    return false;
  }
  if (GetLE32(file.data() + 8) != kVersion) {
    error = "unsupported state file version";
    return false;
  }
  size_t pos = 12;
  while (pos < file.size()) {
    if (file.size() - pos < 8) {
      error = "state file is truncated";
      return false;
    }
    std::string tag(reinterpret_cast<const char*>(file.data() + pos), 4);
    const uint32_t len = GetLE32(file.data() + pos + 4);
    pos += 8;
    if (len > file.size() - pos) {
      error = "state file is truncated";
      return false;
    }
    out[tag].assign(file.begin() + static_cast<std::ptrdiff_t>(pos),
                    file.begin() + static_cast<std::ptrdiff_t>(pos + len));
    pos += len;
  }
  return true;
}

// Copies a fixed-size section; a missing one keeps the default, a wrong size is an error.
bool Fixed(const Sections& s, const char* tag, void* dst, size_t len, std::string& error) {
  auto it = s.find(tag);
  if (it == s.end()) return true;
  if (it->second.size() != len) {
    error = std::string("state file section ") + tag + " has the wrong size";
    return false;
  }
  std::memcpy(dst, it->second.data(), len);
  return true;
}

void Text(const Sections& s, const char* tag, std::string& dst) {
  auto it = s.find(tag);
  if (it != s.end()) dst.assign(it->second.begin(), it->second.end());
}

void Bytes(const Sections& s, const char* tag, std::vector<uint8_t>& dst) {
  auto it = s.find(tag);
  if (it != s.end()) dst = it->second;
}

bool Int(const Sections& s, const char* tag, int32_t& dst, std::string& error) {
  uint8_t b[4];
  auto it = s.find(tag);
  if (it == s.end()) return true;
  if (!Fixed(s, tag, b, 4, error)) return false;
  dst = static_cast<int32_t>(GetLE32(b));
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream f(Utf8Path(path), std::ios::binary | std::ios::ate);
  if (!f) return false;
  const std::streamoff size = f.tellg();
  if (size < 0) return false;
  out.resize(static_cast<size_t>(size));
  f.seekg(0);
  f.read(reinterpret_cast<char*>(out.data()), size);
  return static_cast<bool>(f) || size == 0;
}

PrinterSettings::PrinterSettings() {
  net.set_ip(0x6401A8C0);       // 192.168.1.100
  net.set_mask(0x00FFFFFF);     // 255.255.255.0
  net.set_gateway(0x0101A8C0);  // 192.168.1.1
  net.set_dhcp(0);
  net.set_port(9100);
  std::memset(&wifi, 0, sizeof wifi);
}

uint8_t PrinterState::StatusByte(uint8_t n) const {
  using namespace status_bit;
  uint8_t b = kFixedValue;
  const bool out = paper == PaperLevel::kOut;
  switch (n) {
    case 1:
      if (stopped()) b |= kOffline;
      break;
    case 2:
      if (cover_open) b |= kCoverOpen;
      if (out) b |= kStoppedPaperOut;
      break;
    case 3:
      break;  // no mechanism to fail
    case 4:
      // The near-end sensor also reads low once the roll is out.
      if (paper != PaperLevel::kPresent) b |= kNearEnd;
      if (out) b |= kPaperOut;
      break;
  }
  return b;
}

bool PrinterState::Save(const std::string& path, std::string& error) const {
  SectionWriter w;
  w.bytes().insert(w.bytes().end(), kMagic, kMagic + 8);
  uint8_t v[4];
  PutLE32(v, kVersion);
  w.bytes().insert(w.bytes().end(), v, v + 4);
  const PrinterSettings& s = settings;
  const uint8_t bytes[] = {s.language,  s.cmdmode,   s.tagmode,
                           s.stepmode,  s.blackness, s.charset,
                           s.sleepmode, flash_lock,  static_cast<uint8_t>(flashing_mode)};
  w.Add("BYTE", bytes, sizeof bytes);
  w.Add("BNAM", s.blue_name);
  w.Add("BPIN", s.blue_pin);
  w.Add("NETP", &s.net, sizeof s.net);
  w.Add("WIFI", &s.wifi, sizeof s.wifi);
  w.AddInt("TSEN", s.tag_sensor);
  w.AddInt("TOUT", s.tag_out);
  w.Add("BMAC", blue_mac);
  w.Add("INFO", sys_info);
  w.Add("SNO ", serial_number);
  w.AddInt("LLOW", label_low);
  w.AddInt("LHIG", label_high);
  w.AddInt("PAPW", paper_width);
  const uint8_t media[] = {static_cast<uint8_t>(paper), static_cast<uint8_t>(cover_open)};
  w.Add("MEDI", media, sizeof media);
  w.Add("LOGO", logo);
  w.Add("FIRM", firmware);
  w.Add("NVGR", nv_graphics);
  w.Add("CARD", card.blocks().data(), sizeof(RfidCard::Block) * RfidCard::kBlocks);
  // The flash is mostly blank or repetitive: stored deflated it takes a fraction of 8 MiB.
  uLongf packed_len = compressBound(NorFlash::kSize);
  std::vector<uint8_t> packed(packed_len);
  if (compress2(packed.data(), &packed_len, flash.bytes().data(), NorFlash::kSize, 1) == Z_OK) {
    packed.resize(packed_len);
    w.Add("FLSZ", packed);
  } else {
    w.Add("FLSH", flash.bytes());
  }

  const std::string tmp = path + ".tmp";
  std::error_code ec;
  {
    std::ofstream f(Utf8Path(tmp), std::ios::binary | std::ios::trunc);
    if (!f) {
      error = "cannot write " + tmp;
      return false;
    }
    f.write(reinterpret_cast<const char*>(w.bytes().data()),
            static_cast<std::streamsize>(w.bytes().size()));
    f.flush();
    if (!f) {
      error = "cannot write " + tmp;
      std::filesystem::remove(Utf8Path(tmp), ec);
      return false;
    }
  }
  // Replaces an existing file on every system (std::rename refuses to on Windows).
  std::filesystem::rename(Utf8Path(tmp), Utf8Path(path), ec);
  if (ec) {
    error = "cannot replace " + path;
    std::filesystem::remove(Utf8Path(tmp), ec);
    return false;
  }
  return true;
}

bool PrinterState::Load(const std::string& path, std::string& error) {
  std::vector<uint8_t> file;
  if (!ReadWholeFile(path, file)) {
    error = "cannot read " + path;
    return false;
  }
  Sections sec;
  if (!ReadSections(file, sec, error)) return false;

  PrinterState next;
  PrinterSettings& s = next.settings;
  uint8_t bytes[9] = {s.language, s.cmdmode,   s.tagmode, s.stepmode, s.blackness,
                      s.charset,  s.sleepmode, 0,         0};
  int32_t paper = paper_width;
  uint8_t media[2] = {0, 0};
  std::vector<uint8_t> flash_image;
  if (!Fixed(sec, "BYTE", bytes, sizeof bytes, error) ||
      !Fixed(sec, "NETP", &s.net, sizeof s.net, error) ||
      !Fixed(sec, "WIFI", &s.wifi, sizeof s.wifi, error) ||
      !Int(sec, "TSEN", s.tag_sensor, error) || !Int(sec, "TOUT", s.tag_out, error) ||
      !Int(sec, "LLOW", next.label_low, error) || !Int(sec, "LHIG", next.label_high, error) ||
      !Int(sec, "PAPW", paper, error) || !Fixed(sec, "MEDI", media, sizeof media, error) ||
      !Fixed(sec, "CARD", next.card.blocks().data(), sizeof(RfidCard::Block) * RfidCard::kBlocks,
             error)) {
    return false;
  }
  s.language = bytes[0];
  s.cmdmode = bytes[1];
  s.tagmode = bytes[2];
  s.stepmode = bytes[3];
  s.blackness = bytes[4];
  s.charset = bytes[5];
  s.sleepmode = bytes[6];
  next.flash_lock = bytes[7];
  next.flashing_mode = bytes[8] != 0;
  next.paper_width = paper == 576 ? 576 : 384;
  if (media[0] > static_cast<uint8_t>(PaperLevel::kOut)) {
    error = "state file section MEDI has an unknown paper level";
    return false;
  }
  next.paper = static_cast<PaperLevel>(media[0]);
  next.cover_open = media[1] != 0;
  Text(sec, "BNAM", s.blue_name);
  Text(sec, "BPIN", s.blue_pin);
  Text(sec, "BMAC", next.blue_mac);
  Text(sec, "INFO", next.sys_info);
  Text(sec, "SNO ", next.serial_number);
  Bytes(sec, "LOGO", next.logo);
  Bytes(sec, "FIRM", next.firmware);
  Bytes(sec, "NVGR", next.nv_graphics);
  auto fl = sec.find("FLSH");
  if (fl != sec.end()) {
    if (fl->second.size() != NorFlash::kSize) {
      error = "state file section FLSH has the wrong size";
      return false;
    }
    next.flash.Load(fl->second);
  }
  auto fz = sec.find("FLSZ");
  if (fz != sec.end()) {
    std::vector<uint8_t> image(NorFlash::kSize);
    uLongf len = NorFlash::kSize;
    if (uncompress(image.data(), &len, fz->second.data(), static_cast<uLong>(fz->second.size())) !=
            Z_OK ||
        len != NorFlash::kSize) {
      error = "state file section FLSZ is damaged";
      return false;
    }
    next.flash.Load(image);
  }
  *this = std::move(next);
  return true;
}

}  // namespace quillon::vp
