#include "virtualprinter/virtual_printer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>

#include "core/file_locations.h"
#include "core/utf8_path.h"
#include "protocol/command_codes.h"
#include "protocol/packet_limits.h"

namespace quillon::vp {
namespace {

using namespace cmd_code;

bool KnownOrdinary(uint8_t code) {
  return (code >= kInitSyspar && code <= kSleepMode) || code == kNetSet || code == kWifiSet ||
         code == kLabelTest || code == kLabelDetection || code == kOemLcdLogo ||
         code == kFlashErase || code == kFlashWrite || code == kSerialNumber ||
         code == kEnterUpdateMode || (code >= kRfidAuth && code <= kRfidHalt);
}

bool KnownBoot(uint8_t code) {
  return code >= kBootErase && code <= kBootFlashLock;
}

// Real-time status request: DLE EOT n.
constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kOldHeader[7] = {0x1B, 0x23, 0x23, 0x55, 0x50, 0x50, 0x47};  // ESC # "#UPPG"
constexpr size_t kOldHeaderSize = 15;
// What TryFrame and TryOldHeader return when they do not consume the bytes.
constexpr int64_t kNeedMore = -1;  // the start fits, the rest has not arrived yet
constexpr int64_t kNotMine = -2;   // not a packet or header: raw output
// Reply data fits the host's 128-byte reply buffer.
constexpr size_t kMaxReplyText = kRetBufSize - kWireHeader - 1;

void PutInt(std::vector<uint8_t>& out, int32_t v) {
  uint8_t b[4];
  WirePutLe32(b, static_cast<uint32_t>(v));
  out.insert(out.end(), b, b + 4);
}

}  // namespace

std::string DefaultSampleFontPath() {
  return Files().SampleFontFile();
}

VirtualPrinter::VirtualPrinter(Clock& clock) : VirtualPrinter(Options{}, clock) {}

VirtualPrinter::VirtualPrinter(const Options& options, Clock& clock)
    : clock_(clock), paper_(options.paper_width), renderer_(paper_, state_) {
  state_.paper_width = static_cast<uint16_t>(paper_.width());
  renderer_.test_page_lines = [this] { return TestPageLines(); };
  // Status, printer ID and graphics answers of raw output: one-off bytes, no framing.
  renderer_.reply = [this](std::vector<uint8_t> bytes) { QueueBytesLocked(std::move(bytes), 0); };
  if (options.load_factory_font) {
    std::string error;
    LoadFontImage(options.factory_font.empty() ? DefaultSampleFontPath() : options.factory_font,
                  error);  // without the file the flash stays erased, as a blank chip
  }
  state_version_ = 0;
}

// ---------------------------------------------------------------------------- input ---

void VirtualPrinter::Receive(const uint8_t* data, size_t len) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!plugged_ || len == 0) return;
  in_.insert(in_.end(), data, data + len);
  size_t pos = 0;
  while (pos < in_.size() && plugged_) {
    const size_t used = StepLocked(std::span<const uint8_t>(in_.data() + pos, in_.size() - pos));
    if (used == 0) break;
    pos += used;
    stream_at_ += used;
  }
  if (!plugged_) pos = in_.size();  // vanished mid-stream: the rest went nowhere
  in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(pos));
}

void VirtualPrinter::DiscardReplies() {
  std::lock_guard<std::mutex> lock(mu_);
  replies_.clear();
}

void VirtualPrinter::ResetInput() {
  std::lock_guard<std::mutex> lock(mu_);
  in_.clear();
  replies_.clear();
  old_active_ = false;
  old_image_.clear();
  renderer_.AbortRaster();
}

size_t VirtualPrinter::StepLocked(std::span<const uint8_t> in) {
  if (old_active_) return TakeOldImage(in);
  paper_.set_stopped(state_.stopped());  // raw output prints nothing while stopped
  if (renderer_.InRaster()) return renderer_.Consume(in, stream_at_);
  const uint8_t b = in[0];
  if (b == kDle) {
    const int64_t r = TryStatusRequest(in);
    if (r > 0) return static_cast<size_t>(r);
    if (r == kNeedMore) return 0;
  }
  if (b == kWireOrdinary || b == kWireBoot) {
    const int64_t r = TryFrame(in);
    if (r > 0) return static_cast<size_t>(r);
    if (r == kNeedMore) return 0;
  } else if (b == kOldHeader[0]) {
    const int64_t r = TryOldHeader(in);
    if (r > 0) return static_cast<size_t>(r);
    if (r == kNeedMore) return 0;
  }
  return renderer_.Consume(in, stream_at_);
}

int64_t VirtualPrinter::TryFrame(std::span<const uint8_t> in) {
  if (in.size() < 2) return kNeedMore;
  const bool known = in[0] == kWireOrdinary ? KnownOrdinary(in[1]) : KnownBoot(in[1]);
  if (!known) return kNotMine;
  const ScanResult r = ScanPacket(in, kMaxPacketData);
  switch (r.scan) {
    case Scan::kNeedMore:
      return kNeedMore;
    case Scan::kNotAPacket:
      return kNotMine;
    case Scan::kBadChecksum:
      ++bad_checksums_;  // garbled: its bytes go the raw way, unanswered
      return kNotMine;
    case Scan::kPacket:
      break;
  }
  HandlePacket(r.packet);
  return static_cast<int64_t>(r.length);
}

int64_t VirtualPrinter::TryStatusRequest(std::span<const uint8_t> in) {
  if (in.size() < 2) return kNeedMore;
  if (in[1] != kEot) return kNotMine;
  if (in.size() < 3) return kNeedMore;
  if (in[2] < 1 || in[2] > 4) return kNotMine;
  // Answered at once, one byte, outside the framing; --drop-code 04 silences it.
  if (faults_.drop_replies_to_code != kEot) QueueBytesLocked({state_.StatusByte(in[2])}, kEot);
  return 3;
}

int64_t VirtualPrinter::TryOldHeader(std::span<const uint8_t> in) {
  const size_t n = std::min(in.size(), sizeof kOldHeader);
  if (std::memcmp(in.data(), kOldHeader, n) != 0) return kNotMine;
  if (in.size() < kOldHeaderSize) return kNeedMore;
  old_crc_ = WireLe32(&in[7]);
  old_size_ = WireLe32(&in[11]);
  old_received_ = 0;
  old_sum_ = 0;
  old_image_.clear();
  old_active_ = true;
  if (old_size_ == 0) {  // nothing will follow: refuse at once
    old_active_ = false;
    QueueBytesLocked({kOldUpdateFailed}, 0);
  }
  return static_cast<int64_t>(kOldHeaderSize);
}

size_t VirtualPrinter::TakeOldImage(std::span<const uint8_t> in) {
  const size_t take = std::min<size_t>(in.size(), old_size_ - old_received_);
  for (size_t i = 0; i < take; ++i) old_sum_ += in[i];
  // Only an image the boot loader can hold is kept; a larger one is still counted.
  if (old_size_ <= kMaxFirmwareSize)
    old_image_.insert(old_image_.end(), in.begin(), in.begin() + static_cast<std::ptrdiff_t>(take));
  old_received_ += static_cast<uint32_t>(take);
  if (old_received_ == old_size_) {
    old_active_ = false;
    const bool ok = old_sum_ == old_crc_ && old_size_ <= kMaxFirmwareSize && state_.flash_lock == 0;
    if (ok) {
      state_.firmware = std::move(old_image_);
      state_.flashing_mode = false;
      Touch();
    }
    old_image_.clear();
    QueueBytesLocked({ok ? kOldUpdateOk : kOldUpdateFailed}, 0);
  }
  return take;
}

// -------------------------------------------------------------------------- packets ---

void VirtualPrinter::HandlePacket(const Packet& packet) {
  ++frames_total_;
  if (faults_.unplug_after_packets && packets_since_plug_ >= faults_.unplug_after_packets) {
    plugged_ = false;  // gone from the bus: this packet and all after it go nowhere
    replies_.clear();
    NotifyLocked();
    return;
  }
  if (faults_.hangup_after_packets && packets_since_plug_ >= faults_.hangup_after_packets) {
    plugged_ = false;  // the line is gone: nothing is taken or answered any more
    hangup_due_ = true;
    replies_.clear();
    NotifyLocked();
    return;
  }
  ++packets_since_plug_;
  if (faults_.silent_after_packets && packets_since_plug_ > faults_.silent_after_packets) return;
  std::vector<uint8_t> reply;
  const bool acknowledged =
      packet.kind == kWireBoot ? AnswerBoot(packet, reply) : Answer(packet, reply);
  if (!acknowledged) return;
  if (faults_.drop_reply_to_packet == packets_since_plug_) return;
  if (faults_.drop_replies_to_code == packet.code) return;
  QueueFrameLocked(packet, reply);
}

void VirtualPrinter::ByteSetting(const Packet& p, uint8_t& field, std::vector<uint8_t>& reply) {
  if (p.opera != 0 && p.size >= 1) {
    field = p.data[0];
    Touch();
  }
  reply = {field};
}

void VirtualPrinter::TextSetting(const Packet& p, std::string& field, size_t max_len, bool writable,
                                 std::vector<uint8_t>& reply) {
  if (p.opera == 0) {
    const size_t n = std::min(field.size(), kMaxReplyText);
    reply.assign(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(n));
    if (reply.empty()) reply = {0};  // an empty text still answers with one data byte
    return;
  }
  std::string text(reinterpret_cast<const char*>(p.data), p.size);
  text = text.substr(0, text.find('\0'));  // the serial number arrives with its 0 byte
  const bool accept = writable && !faults_.refuse_text_sets && text.size() <= max_len &&
                      (!text.empty() || p.code == kSerialNumber);
  if (accept) {
    field = text;
    Touch();
  }
  reply = {static_cast<uint8_t>(accept ? 1 : 0)};
}

bool VirtualPrinter::Answer(const Packet& p, std::vector<uint8_t>& reply) {
  PrinterSettings& s = state_.settings;
  switch (p.code) {
    case kInitSyspar:
      state_.FactoryReset();
      Touch();
      reply = {1};
      return true;
    case kLanguage:
      ByteSetting(p, s.language, reply);
      return true;
    case kCmdMode:
      ByteSetting(p, s.cmdmode, reply);
      return true;
    case kTagMode:
      ByteSetting(p, s.tagmode, reply);
      return true;
    case kStepMode:
      ByteSetting(p, s.stepmode, reply);
      return true;
    case kBlackness:
      ByteSetting(p, s.blackness, reply);
      return true;
    case kCharset:
      ByteSetting(p, s.charset, reply);
      return true;
    case kSleepMode:
      ByteSetting(p, s.sleepmode, reply);
      return true;
    case kBlueName:
      TextSetting(p, s.blue_name, kMaxBlueName, true, reply);
      return true;
    case kBluePin:
      TextSetting(p, s.blue_pin, kMaxBluePin, true, reply);
      return true;
    case kBlueMac:
      TextSetting(p, state_.blue_mac, 0, false, reply);
      return true;
    case kSysInfo:
      TextSetting(p, state_.sys_info, 0, false, reply);
      return true;
    case kSerialNumber:
      TextSetting(p, state_.serial_number, kMaxSerialText, true, reply);
      return true;
    case kNetSet:
      if (p.opera == 0) {
        const auto* b = reinterpret_cast<const uint8_t*>(&s.net);
        reply.assign(b, b + sizeof s.net);
      } else if (p.size == sizeof s.net) {
        std::memcpy(&s.net, p.data, sizeof s.net);
        Touch();
        reply = {1};
      } else {
        reply = {0};
      }
      return true;
    case kWifiSet:
      if (p.opera == 0) {
        const auto* b = reinterpret_cast<const uint8_t*>(&s.wifi);
        reply.assign(b, b + sizeof s.wifi);
      } else if (p.size == sizeof s.wifi) {
        std::memcpy(&s.wifi, p.data, sizeof s.wifi);
        Touch();
        reply = {1};
      } else {
        reply = {0};
      }
      return true;
    case kLabelTest:
      // The self-test (opera 1) measures the sensor again; the virtual sensor reads the
      // same thresholds every time.
      PutInt(reply, state_.label_low);
      PutInt(reply, state_.label_high);
      return true;
    case kLabelDetection:
      if (p.opera != 0 && p.size == 8) {
        s.tag_sensor = static_cast<int32_t>(WireLe32(p.data));
        s.tag_out = static_cast<int32_t>(WireLe32(p.data + 4));
        Touch();
      }
      PutInt(reply, s.tag_sensor);
      PutInt(reply, s.tag_out);
      return true;
    case kOemLcdLogo: {
      if (p.size < 4 || WireLe32(p.data) != p.size - 4u) return false;  // size does not add up
      state_.logo.assign(p.data + 4, p.data + p.size);
      Touch();
      reply = {1};
      return true;
    }
    case kFlashErase: {
      if (p.size != 4) return false;
      if (p.opera == 0) {
        state_.flash.EraseAll();
      } else if (p.opera != 1 || !state_.flash.EraseSector(WireLe32(p.data))) {
        return false;  // an address outside the flash is not acknowledged
      }
      Touch();
      reply = {1};
      return true;
    }
    case kFlashWrite: {
      if (p.size < 8) return false;
      const uint32_t addr = WireLe32(p.data), len = WireLe32(p.data + 4);
      if (len != p.size - 8u) return false;
      if (!state_.flash.Write(addr, std::span<const uint8_t>(p.data + 8, len))) return false;
      Touch();
      reply = {1};
      return true;
    }
    case kEnterUpdateMode:
      state_.flashing_mode = true;
      Touch();
      reply = {1};
      return true;
    case kRfidAuth: {
      bool ok = false;
      if (p.size == 12) {
        RfidCard::Key key;
        std::copy(p.data + 2, p.data + 8, key.begin());
        ok = state_.card.Authenticate(p.data[0], p.data[1], key);
      }
      reply = {static_cast<uint8_t>(ok ? 1 : 0)};
      reply.insert(reply.end(), state_.card.serial().begin(), state_.card.serial().end());
      return true;
    }
    case kRfidRead: {
      auto block = p.size == 1 ? state_.card.Read(p.data[0]) : std::nullopt;
      reply = {static_cast<uint8_t>(block ? 1 : 0)};
      if (block) reply.insert(reply.end(), block->begin(), block->end());
      return true;
    }
    case kRfidWrite: {
      bool ok = false;
      if (p.size == 17) {
        RfidCard::Block b;
        std::copy(p.data + 1, p.data + 17, b.begin());
        ok = state_.card.Write(p.data[0], b);
        if (ok) Touch();
      }
      reply = {static_cast<uint8_t>(ok ? 1 : 0)};
      return true;
    }
    case kRfidReset:
    case kRfidHalt:
      state_.card.Close();
      reply = {1};
      return true;
  }
  return false;
}

bool VirtualPrinter::AnswerBoot(const Packet& p, std::vector<uint8_t>& reply) {
  switch (p.code) {
    case kBootErase: {
      if (p.size != 4 || state_.flash_lock != 0) return false;
      const uint32_t size = WireLe32(p.data);
      if (size == 0 || size > kMaxFirmwareSize) return false;
      boot_erased_ = true;
      boot_expected_ = size;
      boot_image_.clear();
      state_.flashing_mode = true;
      Touch();
      reply = {1};
      return true;
    }
    case kBootData:
      // Data before an erase, or beyond the size the erase announced, is not taken.
      if (!boot_erased_ || p.size > boot_expected_ - boot_image_.size()) return false;
      boot_image_.insert(boot_image_.end(), p.data, p.data + p.size);
      reply = {1};
      return true;
    case kBootCheckCrc: {
      if (p.size != 4 || !boot_erased_) return false;
      uint32_t sum = 0;
      for (uint8_t b : boot_image_) sum += b;
      // A verify failure is not acknowledged: the host reports the checksum failure.
      if (boot_image_.size() != boot_expected_ || sum != WireLe32(p.data)) return false;
      state_.firmware = boot_image_;
      state_.flashing_mode = false;
      boot_erased_ = false;
      Touch();
      reply = {1};
      return true;
    }
    case kBootFlashLock:
      ByteSetting(p, state_.flash_lock, reply);
      return true;
  }
  return false;
}

// -------------------------------------------------------------------------- replies ---

void VirtualPrinter::QueueFrameLocked(const Packet& request, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> frame = BuildPacket(request.kind, request.code, request.opera, data);
  const uint8_t code = request.code;
  if (FaultApplies(code)) {
    if (faults_.corrupt_checksum) frame.back() = static_cast<uint8_t>(frame.back() + 1);
    if (faults_.size_excess) {
      WirePutLe16(&frame[4], static_cast<uint16_t>(WireLe16(&frame[4]) + faults_.size_excess));
    }
    if (faults_.length_delta > 0) {
      frame.insert(frame.end(), static_cast<size_t>(faults_.length_delta), uint8_t{0});
    } else if (faults_.length_delta < 0) {
      const size_t cut = std::min(frame.size() - 1, static_cast<size_t>(-faults_.length_delta));
      frame.resize(frame.size() - cut);
    }
  }
  QueueBytesLocked(std::move(frame), code);
}

void VirtualPrinter::QueueBytesLocked(std::vector<uint8_t> bytes, uint8_t code) {
  const uint32_t now = clock_.NowMs();
  const bool mangle = FaultApplies(code);
  const uint32_t ready = now + (mangle ? faults_.delay_ms : 0);
  if (mangle && faults_.split_gap_ms && bytes.size() > 1) {
    const size_t half = bytes.size() / 2;
    std::vector<uint8_t> rest(bytes.begin() + static_cast<std::ptrdiff_t>(half), bytes.end());
    bytes.resize(half);
    replies_.push_back({std::move(bytes), 0, ready});
    replies_.push_back({std::move(rest), 0, ready + faults_.split_gap_ms});
  } else {
    replies_.push_back({std::move(bytes), 0, ready});
  }
  NotifyLocked();
}

void VirtualPrinter::NotifyLocked() {
  reply_cv_.notify_all();
  if (notify_) notify_();
}

size_t VirtualPrinter::TakeReadyLocked(uint8_t* buf, size_t cap) {
  const uint32_t now = clock_.NowMs();
  size_t n = 0;
  while (n < cap && !replies_.empty()) {
    PendingReply& r = replies_.front();
    if (static_cast<int32_t>(r.ready_at - now) > 0) break;  // later bytes wait their turn
    const size_t take = std::min(cap - n, r.bytes.size() - r.offset);
    std::memcpy(buf + n, r.bytes.data() + r.offset, take);
    n += take;
    r.offset += take;
    if (r.offset == r.bytes.size()) replies_.pop_front();
  }
  return n;
}

int64_t VirtualPrinter::MsUntilReplyLocked() {
  if (replies_.empty()) return -1;
  const int32_t wait = static_cast<int32_t>(replies_.front().ready_at - clock_.NowMs());
  return wait > 0 ? wait : 0;
}

size_t VirtualPrinter::TakeReply(uint8_t* buf, size_t cap) {
  std::lock_guard<std::mutex> lock(mu_);
  return TakeReadyLocked(buf, cap);
}

int64_t VirtualPrinter::MsUntilReply() {
  std::lock_guard<std::mutex> lock(mu_);
  return MsUntilReplyLocked();
}

int VirtualPrinter::WaitReply(uint8_t* buf, size_t cap, uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mu_);
  const uint32_t start = clock_.NowMs();
  for (;;) {
    if (!plugged_) return -1;
    const size_t n = TakeReadyLocked(buf, cap);
    if (n > 0) return static_cast<int>(n);
    const uint32_t elapsed = ElapsedMs(start, clock_.NowMs());
    if (elapsed >= timeout_ms) return 0;
    uint32_t wait = timeout_ms - elapsed;
    const int64_t next = MsUntilReplyLocked();
    if (next > 0) wait = std::min<uint32_t>(wait, static_cast<uint32_t>(next));
    if (advance_) {
      auto advance = advance_;
      lock.unlock();
      advance(wait);
      lock.lock();
    } else {
      reply_cv_.wait_for(lock, std::chrono::milliseconds(wait));
    }
  }
}

void VirtualPrinter::SetReplyNotifier(std::function<void()> notify) {
  std::lock_guard<std::mutex> lock(mu_);
  notify_ = std::move(notify);
}

void VirtualPrinter::UseManualTime(std::function<void(uint32_t)> advance) {
  std::lock_guard<std::mutex> lock(mu_);
  advance_ = std::move(advance);
}

// ------------------------------------------------------------------ presence, faults ---

bool VirtualPrinter::Plugged() {
  std::lock_guard<std::mutex> lock(mu_);
  return plugged_;
}

void VirtualPrinter::Unplug() {
  std::lock_guard<std::mutex> lock(mu_);
  plugged_ = false;
  replies_.clear();
  NotifyLocked();
}

bool VirtualPrinter::HangUpDue() {
  std::lock_guard<std::mutex> lock(mu_);
  return hangup_due_;
}

void VirtualPrinter::Plug() {
  std::lock_guard<std::mutex> lock(mu_);
  plugged_ = true;
  hangup_due_ = false;
  packets_since_plug_ = 0;
  in_.clear();
  old_active_ = false;
  renderer_.AbortRaster();
}

void VirtualPrinter::SetFaults(const Faults& faults) {
  std::lock_guard<std::mutex> lock(mu_);
  faults_ = faults;
}

Faults VirtualPrinter::faults() {
  std::lock_guard<std::mutex> lock(mu_);
  return faults_;
}

uint32_t VirtualPrinter::packets() {
  std::lock_guard<std::mutex> lock(mu_);
  return frames_total_;
}

uint32_t VirtualPrinter::bad_checksums() {
  std::lock_guard<std::mutex> lock(mu_);
  return bad_checksums_;
}

// ---------------------------------------------------------------------------- state ---

void VirtualPrinter::WithState(const std::function<void(PrinterState&)>& fn) {
  std::lock_guard<std::mutex> lock(mu_);
  fn(state_);
  Touch();
  renderer_.StatusChanged();  // paper or cover may have changed: automatic status back
}

void VirtualPrinter::WithRenderer(const std::function<void(EscPosRenderer&)>& fn) {
  std::lock_guard<std::mutex> lock(mu_);
  fn(renderer_);
}

bool VirtualPrinter::SaveReport(const std::string& path, std::string& error) {
  std::string json;
  {
    std::lock_guard<std::mutex> lock(mu_);
    renderer_.FlushLine();
    json = renderer_.report().ToJson();
  }
  std::ofstream f(Utf8Path(path), std::ios::binary | std::ios::trunc);
  f.write(json.data(), static_cast<std::streamsize>(json.size()));
  f.close();
  if (!f) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool VirtualPrinter::SaveState(const std::string& path, std::string& error) {
  std::lock_guard<std::mutex> lock(mu_);
  return state_.Save(path, error);
}

bool VirtualPrinter::LoadState(const std::string& path, std::string& error) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!state_.Load(path, error)) return false;
  if (state_.paper_width != paper_.width() && paper_.height() == 0) {
    paper_.Clear(state_.paper_width);
  }
  state_.paper_width = static_cast<uint16_t>(paper_.width());
  renderer_.Reset();  // the loaded settings (the charset) are the start-up defaults
  Touch();
  return true;
}

uint64_t VirtualPrinter::state_version() {
  std::lock_guard<std::mutex> lock(mu_);
  return state_version_;
}

bool VirtualPrinter::LoadFontImage(const std::string& path, std::string& error) {
  std::vector<uint8_t> image;
  if (!ReadWholeFile(path, image)) {
    error = "cannot read " + path;
    return false;
  }
  if (image.size() > NorFlash::kSize) {
    error = path + " is larger than the 8 MiB font flash";
    return false;
  }
  std::lock_guard<std::mutex> lock(mu_);
  state_.flash.Load(image);
  Touch();
  return true;
}

std::vector<std::string> VirtualPrinter::TestPageLines() const {
  const PrinterSettings& s = state_.settings;
  const uint32_t ip = s.net.ip();
  auto num = [](int v) { return std::to_string(v); };
  return {
      state_.sys_info,
      "S/N: " + state_.serial_number,
      "BT: " + s.blue_name + " " + state_.blue_mac,
      "IP: " + num(ip & 0xFF) + "." + num((ip >> 8) & 0xFF) + "." + num((ip >> 16) & 0xFF) + "." +
          num(ip >> 24) + (s.net.dhcp() ? " (DHCP)" : ""),
      "Language " + num(s.language) + "  Cmd " + num(s.cmdmode) + "  Paper " + num(s.tagmode),
      "Speed " + num(s.stepmode) + "  Density " + num(s.blackness) + "  Charset " + num(s.charset),
      "Width " + num(state_.paper_width) + " dots",
  };
}

// ---------------------------------------------------------------------------- paper ---

bool VirtualPrinter::SavePng(const std::string& path, std::string& error) {
  std::lock_guard<std::mutex> lock(mu_);
  renderer_.FlushLine();
  return paper_.SavePng(path, error);
}

void VirtualPrinter::ClearPaper() {
  std::lock_guard<std::mutex> lock(mu_);
  paper_.Clear();
}

void VirtualPrinter::SetPaperWidth(int dots) {
  std::lock_guard<std::mutex> lock(mu_);
  renderer_.FlushLine();
  paper_.Clear(dots);
  state_.paper_width = static_cast<uint16_t>(paper_.width());
  Touch();
}

}  // namespace quillon::vp
