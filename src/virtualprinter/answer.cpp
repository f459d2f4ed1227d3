#include "virtualprinter/answer.h"

#include <algorithm>
#include <cstring>

#include "protocol/command_codes.h"
#include "protocol/esc_cmd.h"

namespace quillon::vp {
namespace {

using namespace cmd_code;

// Reply data fits the host's 128-byte reply buffer.
constexpr size_t kMaxReplyText = kRetBufSize - kWireHeader - 1;

void PutInt(std::vector<uint8_t>& out, int32_t v) {
  uint8_t b[4];
  WirePutLe32(b, static_cast<uint32_t>(v));
  out.insert(out.end(), b, b + 4);
}

Reply Ack(std::vector<uint8_t> data, bool changed = false) {
  return {true, std::move(data), changed};
}

Reply Refused() {
  return {};
}

// A one-byte setting: read (opera 0) or written; the reply is its value.
Reply ByteSetting(const Packet& p, uint8_t& field) {
  const bool write = p.opera != 0 && p.size >= 1;
  if (write) field = p.data[0];
  return Ack({field}, write);
}

// A text setting: read, or written when writable and within max_len; a write is answered
// 1 (taken) or 0 (refused).
Reply TextSetting(const Packet& p, std::string& field, size_t max_len, bool writable,
                  const AnswerRules& rules) {
  if (p.opera == 0) {
    const size_t n = std::min(field.size(), kMaxReplyText);
    std::vector<uint8_t> data(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(n));
    if (data.empty()) data = {0};  // an empty text still answers with one data byte
    return Ack(std::move(data));
  }
  std::string text(reinterpret_cast<const char*>(p.data), p.size);
  text = text.substr(0, text.find('\0'));  // the serial number arrives with its 0 byte
  const bool accept = writable && !rules.refuse_text_sets && text.size() <= max_len &&
                      (!text.empty() || p.code == kSerialNumber);
  if (accept) field = text;
  return Ack({static_cast<uint8_t>(accept ? 1 : 0)}, accept);
}

// A record kept as it travels (network, Wi-Fi): read whole, or written whole.
template <typename Record>
Reply RecordSetting(const Packet& p, Record& record) {
  if (p.opera == 0) {
    const auto* b = reinterpret_cast<const uint8_t*>(&record);
    return Ack(std::vector<uint8_t>(b, b + sizeof record));
  }
  if (p.size != sizeof record) return Ack({0});
  std::memcpy(&record, p.data, sizeof record);
  return Ack({1}, true);
}

// The printer's settings, texts and records; nullopt for any other code.
std::optional<Reply> AnswerSetting(PrinterState& state, const Packet& p, const AnswerRules& rules) {
  PrinterSettings& s = state.settings;
  switch (p.code) {
    case kInitSyspar:
      state.FactoryReset();
      return Ack({1}, true);
    case kLanguage:
      return ByteSetting(p, s.language);
    case kCmdMode:
      return ByteSetting(p, s.cmdmode);
    case kTagMode:
      return ByteSetting(p, s.tagmode);
    case kStepMode:
      return ByteSetting(p, s.stepmode);
    case kBlackness:
      return ByteSetting(p, s.blackness);
    case kCharset:
      return ByteSetting(p, s.charset);
    case kSleepMode:
      return ByteSetting(p, s.sleepmode);
    case kBlueName:
      return TextSetting(p, s.blue_name, kMaxBlueName, true, rules);
    case kBluePin:
      return TextSetting(p, s.blue_pin, kMaxBluePin, true, rules);
    case kBlueMac:
      return TextSetting(p, state.blue_mac, 0, false, rules);
    case kSysInfo:
      return TextSetting(p, state.sys_info, 0, false, rules);
    case kSerialNumber:
      return TextSetting(p, state.serial_number, kMaxSerialText, true, rules);
    case kNetSet:
      return RecordSetting(p, s.net);
    case kWifiSet:
      return RecordSetting(p, s.wifi);
  }
  return std::nullopt;
}

// The label sensor: its thresholds and the label positions.
std::optional<Reply> AnswerLabel(PrinterState& state, const Packet& p) {
  PrinterSettings& s = state.settings;
  Reply r = Ack({});
  switch (p.code) {
    case kLabelTest:
      // The self-test (opera 1) measures the sensor again; the virtual sensor reads the
      // same thresholds every time.
      PutInt(r.data, state.label_low);
      PutInt(r.data, state.label_high);
      return r;
    case kLabelDetection:
      if (p.opera != 0 && p.size == 8) {
        s.tag_sensor = static_cast<int32_t>(WireLe32(p.data));
        s.tag_out = static_cast<int32_t>(WireLe32(p.data + 4));
        r.changed = true;
      }
      PutInt(r.data, s.tag_sensor);
      PutInt(r.data, s.tag_out);
      return r;
  }
  return std::nullopt;
}

// The boot logo, the font flash and the way into the boot loader.
std::optional<Reply> AnswerStorage(PrinterState& state, const Packet& p) {
  switch (p.code) {
    case kOemLcdLogo:
      if (p.size < 4 || WireLe32(p.data) != p.size - 4u) return Refused();  // does not add up
      state.logo.assign(p.data + 4, p.data + p.size);
      return Ack({1}, true);
    case kFlashErase:
      if (p.size != 4) return Refused();
      if (p.opera == 0) {
        state.flash.EraseAll();
      } else if (p.opera != 1 || !state.flash.EraseSector(WireLe32(p.data))) {
        return Refused();  // an address outside the flash is not acknowledged
      }
      return Ack({1}, true);
    case kFlashWrite: {
      if (p.size < 8) return Refused();
      const uint32_t addr = WireLe32(p.data), len = WireLe32(p.data + 4);
      if (len != p.size - 8u) return Refused();
      if (!state.flash.Write(addr, std::span<const uint8_t>(p.data + 8, len))) return Refused();
      return Ack({1}, true);
    }
    case kEnterUpdateMode:
      state.flashing_mode = true;
      return Ack({1}, true);
  }
  return std::nullopt;
}

// The RFID reader and its card.
std::optional<Reply> AnswerCard(PrinterState& state, const Packet& p) {
  switch (p.code) {
    case kRfidAuth: {
      bool ok = false;
      if (p.size == 12) {
        RfidCard::Key key;
        std::copy(p.data + 2, p.data + 8, key.begin());
        ok = state.card.Authenticate(p.data[0], p.data[1], key);
      }
      Reply r = Ack({static_cast<uint8_t>(ok ? 1 : 0)});
      r.data.insert(r.data.end(), state.card.serial().begin(), state.card.serial().end());
      return r;
    }
    case kRfidRead: {
      auto block = p.size == 1 ? state.card.Read(p.data[0]) : std::nullopt;
      Reply r = Ack({static_cast<uint8_t>(block ? 1 : 0)});
      if (block) r.data.insert(r.data.end(), block->begin(), block->end());
      return r;
    }
    case kRfidWrite: {
      bool ok = false;
      if (p.size == 17) {
        RfidCard::Block b;
        std::copy(p.data + 1, p.data + 17, b.begin());
        ok = state.card.Write(p.data[0], b);
      }
      return Ack({static_cast<uint8_t>(ok ? 1 : 0)}, ok);
    }
    case kRfidReset:
    case kRfidHalt:
      state.card.Close();
      return Ack({1});
  }
  return std::nullopt;
}

// The boot loader of the newer firmware protocol: erase (announces the size), data, check.
Reply AnswerBoot(PrinterState& state, BootLoad& boot, const Packet& p) {
  switch (p.code) {
    case kBootErase: {
      if (p.size != 4 || state.flash_lock != 0) return Refused();
      const uint32_t size = WireLe32(p.data);
      if (size == 0 || size > kMaxFirmwareSize) return Refused();
      boot = {true, size, {}};
      state.flashing_mode = true;
      return Ack({1}, true);
    }
    case kBootData:
      // Data before an erase, or beyond the size the erase announced, is not taken.
      if (!boot.erased || p.size > boot.expected - boot.image.size()) return Refused();
      boot.image.insert(boot.image.end(), p.data, p.data + p.size);
      return Ack({1});
    case kBootCheckCrc: {
      if (p.size != 4 || !boot.erased) return Refused();
      uint32_t sum = 0;
      for (uint8_t b : boot.image) sum += b;
      // A verify failure is not acknowledged: the host reports the checksum failure.
      if (boot.image.size() != boot.expected || sum != WireLe32(p.data)) return Refused();
      state.firmware = boot.image;
      state.flashing_mode = false;
      boot.erased = false;
      return Ack({1}, true);
    }
    case kBootFlashLock:
      return ByteSetting(p, state.flash_lock);
  }
  return Refused();
}

}  // namespace

Reply AnswerPacket(PrinterState& state, BootLoad& boot, const Packet& packet,
                   const AnswerRules& rules) {
  if (packet.kind == kWireBoot) return AnswerBoot(state, boot, packet);
  if (auto r = AnswerSetting(state, packet, rules)) return *r;
  if (auto r = AnswerLabel(state, packet)) return *r;
  if (auto r = AnswerStorage(state, packet)) return *r;
  if (auto r = AnswerCard(state, packet)) return *r;
  return Refused();
}

std::optional<uint8_t> OldUpdate::Start(uint32_t sum, uint32_t size) {
  sum_ = sum;
  size_ = size;
  received_ = 0;
  received_sum_ = 0;
  image_.clear();
  active_ = size != 0;
  if (size == 0) return kOldUpdateFailed;  // nothing will follow: refuse at once
  return std::nullopt;
}

std::optional<uint8_t> OldUpdate::Take(std::span<const uint8_t> in, PrinterState& state,
                                       size_t& used, bool& changed) {
  const size_t take = std::min<size_t>(in.size(), size_ - received_);
  used = take;
  changed = false;
  for (size_t i = 0; i < take; ++i) received_sum_ += in[i];
  // Only an image the boot loader can hold is kept; a larger one is still counted.
  if (size_ <= kMaxFirmwareSize)
    image_.insert(image_.end(), in.begin(), in.begin() + static_cast<std::ptrdiff_t>(take));
  received_ += static_cast<uint32_t>(take);
  if (received_ != size_) return std::nullopt;
  active_ = false;
  const bool ok = received_sum_ == sum_ && size_ <= kMaxFirmwareSize && state.flash_lock == 0;
  if (ok) {
    state.firmware = std::move(image_);
    state.flashing_mode = false;
    changed = true;
  }
  image_.clear();
  return ok ? kOldUpdateOk : kOldUpdateFailed;
}

void OldUpdate::Abort() {
  active_ = false;
  image_.clear();
}

}  // namespace quillon::vp
