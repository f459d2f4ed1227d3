#include "virtualprinter/virtual_printer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>

#include "core/file_locations.h"
#include "core/utf8_path.h"

namespace quillon::vp {
namespace {

// The code the faults know status replies by (--fault-code 04, --drop-code 04).
constexpr uint8_t kStatusReplyCode = 0x04;
// Replies of the older firmware protocol have no code: code 0.
constexpr uint8_t kOldUpdateReplyCode = 0;

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
  if (!faults_.plugged() || len == 0) return;
  in_.insert(in_.end(), data, data + len);
  size_t pos = 0;
  while (pos < in_.size() && faults_.plugged()) {
    const size_t used = StepLocked(std::span<const uint8_t>(in_.data() + pos, in_.size() - pos));
    if (used == 0) break;
    pos += used;
    stream_at_ += used;
  }
  if (!faults_.plugged()) pos = in_.size();  // vanished mid-stream: the rest went nowhere
  in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(pos));
}

void VirtualPrinter::DiscardReplies() {
  std::lock_guard<std::mutex> lock(mu_);
  replies_.Clear();
}

void VirtualPrinter::ResetInput() {
  std::lock_guard<std::mutex> lock(mu_);
  in_.clear();
  replies_.Clear();
  old_update_.Abort();
  renderer_.AbortRaster();
}

size_t VirtualPrinter::StepLocked(std::span<const uint8_t> in) {
  if (old_update_.active()) {
    size_t used = 0;
    bool changed = false;
    const std::optional<uint8_t> status = old_update_.Take(in, state_, used, changed);
    if (changed) Touch();
    if (status) QueueBytesLocked({*status}, kOldUpdateReplyCode);
    return used;
  }
  paper_.set_stopped(state_.stopped());  // raw output prints nothing while stopped
  if (renderer_.InRaster()) return PrintRawLocked(in);
  const Piece piece = NextPiece(in);
  switch (piece.kind) {
    case Piece::kNeedMore:
      return 0;
    case Piece::kPacket:
      HandlePacketLocked(piece.packet);
      return piece.length;
    case Piece::kStatusRequest:
      // Answered at once, one byte, outside the framing.
      if (!faults_.DropsStatusReplies())
        QueueBytesLocked({state_.StatusByte(piece.status)}, kStatusReplyCode);
      return piece.length;
    case Piece::kOldHeader:
      if (const auto status = old_update_.Start(piece.image_sum, piece.image_size))
        QueueBytesLocked({*status}, kOldUpdateReplyCode);
      return piece.length;
    case Piece::kRaw:
      if (piece.bad_checksum) ++bad_checksums_;
      break;
  }
  return PrintRawLocked(in);
}

size_t VirtualPrinter::PrintRawLocked(std::span<const uint8_t> in) {
  return renderer_.Consume(in, stream_at_);
}

// -------------------------------------------------------------------------- packets ---

void VirtualPrinter::HandlePacketLocked(const Packet& packet) {
  ++frames_total_;
  switch (faults_.OnPacket()) {
    case FaultSwitch::Fate::kUnplug:
    case FaultSwitch::Fate::kHangUp:
      replies_.Clear();
      NotifyLocked();
      return;
    case FaultSwitch::Fate::kIgnore:
      return;
    case FaultSwitch::Fate::kAnswer:
      break;
  }
  const Reply reply =
      AnswerPacket(state_, boot_, packet, {.refuse_text_sets = faults_.faults().refuse_text_sets});
  if (reply.changed) Touch();
  if (!reply.acknowledged || faults_.DropsReply(packet.code)) return;
  QueueFrameLocked(packet, reply.data);
}

// -------------------------------------------------------------------------- replies ---

void VirtualPrinter::QueueFrameLocked(const Packet& request, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> frame = BuildPacket(request.kind, request.code, request.opera, data);
  faults_.Mangle(frame, request.code);
  QueueBytesLocked(std::move(frame), request.code);
}

void VirtualPrinter::QueueBytesLocked(std::vector<uint8_t> bytes, uint8_t code) {
  replies_.Push(std::move(bytes), clock_.NowMs() + faults_.DelayMs(code), faults_.SplitGapMs(code));
  NotifyLocked();
}

void VirtualPrinter::NotifyLocked() {
  reply_cv_.notify_all();
  if (notify_) notify_();
}

size_t VirtualPrinter::TakeReply(uint8_t* buf, size_t cap) {
  std::lock_guard<std::mutex> lock(mu_);
  return replies_.TakeReady(buf, cap, clock_.NowMs());
}

int64_t VirtualPrinter::MsUntilReply() {
  std::lock_guard<std::mutex> lock(mu_);
  return replies_.MsUntilNext(clock_.NowMs());
}

int VirtualPrinter::WaitReply(uint8_t* buf, size_t cap, uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mu_);
  const uint32_t start = clock_.NowMs();
  for (;;) {
    if (!faults_.plugged()) return -1;
    const size_t n = replies_.TakeReady(buf, cap, clock_.NowMs());
    if (n > 0) return static_cast<int>(n);
    const uint32_t elapsed = ElapsedMs(start, clock_.NowMs());
    if (elapsed >= timeout_ms) return 0;
    uint32_t wait = timeout_ms - elapsed;
    const int64_t next = replies_.MsUntilNext(clock_.NowMs());
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
  return faults_.plugged();
}

void VirtualPrinter::Unplug() {
  std::lock_guard<std::mutex> lock(mu_);
  faults_.Unplug();
  replies_.Clear();
  NotifyLocked();
}

bool VirtualPrinter::HangUpDue() {
  std::lock_guard<std::mutex> lock(mu_);
  return faults_.hangup_due();
}

void VirtualPrinter::Plug() {
  std::lock_guard<std::mutex> lock(mu_);
  faults_.Plug();
  in_.clear();
  old_update_.Abort();
  renderer_.AbortRaster();
}

void VirtualPrinter::SetFaults(const Faults& faults) {
  std::lock_guard<std::mutex> lock(mu_);
  faults_.Set(faults);
}

Faults VirtualPrinter::faults() {
  std::lock_guard<std::mutex> lock(mu_);
  return faults_.faults();
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
